#include "g2/ComboBoxWidget.h"

#include "g2/Game.h"
#include "g2/LabelWidget.h"
#include "g2/ListWidget.h"
#include "g2/Messages.h"
#include "g2/View.h"
#include "props/AbstractTree.h"

namespace G2 {

G2_DEFINE_CLASS_INFO(ComboBoxWidget, LabelPushButtonWidget, "ComboBoxWidget")

ComboBoxWidget::ComboBoxWidget(AbstractTree* data, int32_t buttonId)
    : LabelPushButtonWidget("", buttonId), ownedList_(std::make_unique<TextListWidget>()),
      list_(ownedList_.get()) {
    label()->hJustify = LabelWidget::Start;
    label()->vJustify = LabelWidget::Center;
    label()->margin = 8;
    label()->colour = 0;
    list_->setData(data);
    if (list_->holds(0) && (list_->data()->itemFlags(0) & AbstractTree::itemSelectable))
        choose(0);
    emitter().connect(this, Msg::Toggled);
    list_->emitter().connect(this, Msg::ItemSelected);
    toolkit().emitter.connect(this, Msg::Tick);
}

ComboBoxWidget::~ComboBoxWidget() {
    toolkit().emitter.disconnect(this, Msg::Tick);
    // The list goes with the combo box, even from the popup layer.
    takeListBack();
}

std::string ComboBoxWidget::itemLabel(int index) const {
    AbstractTree* data = list_->data();
    if (!list_->holds(index))
        return std::string();
    ItemValue value = data->itemValue(index);
    if (AbstractTree::isKindOf(data->itemType(index), AbstractTree::typeTree)) {
        if (value.tree == nullptr)
            return std::string();
        const char* text = value.tree->itemValue(0).text;
        return text != nullptr ? text : "";
    }
    const char* text = data->itemText(index);
    return text != nullptr ? text : "";
}

void ComboBoxWidget::choose(int index) {
    // Only a choice made through the drop-down is announced (Msg::SelectionChanged).
    if (list_->setSelection(index))
        label()->setText(itemLabel(index).c_str());
}

bool ComboBoxWidget::isOpen() const {
    return list_->parent() != nullptr;
}

void ComboBoxWidget::screenPosition(int& sx, int& sy) const {
    sx = x;
    sy = y;
    for (const Widget* p = parentWidget(); p != nullptr; p = p->parentWidget()) {
        sx += p->x + p->border;
        sy += p->y + p->border;
    }
    if (const View* view = viewShowing(this)) {
        sx += view->rect().x;
        sy += view->rect().y;
    }
}

void ComboBoxWidget::open() {
    if (isOpen())
        return;
    takeListBack(); // Escape may have closed it since it was opened last
    int rows = static_cast<int>(list_->data()->count());
    int height = rows * list_->itemHeight + 2 * list_->border;
    list_->setSize(w, height);
    int sx = 0, sy = 0;
    screenPosition(sx, sy);
    Toolkit& tk = toolkit();
    if (!tk.popupRoot)
        Game::popupRoot(tk.screenRect.w, tk.screenRect.h);
    Game::showPopup(std::move(ownedList_), sx, sy - height);
    deadline_ = tk.now + closeDelay;
    if (deadline_ == 0)
        deadline_ = 1;
}

void ComboBoxWidget::close() {
    takeListBack();
    deadline_ = 0;
}

void ComboBoxWidget::takeListBack() {
    if (ownedList_)
        return;
    std::unique_ptr<Widget> owner = Game::hidePopup(list_);
    ownedList_.reset(static_cast<TextListWidget*>(owner.release()));
}

int ComboBoxWidget::onEvent(uint32_t code, void* sender, intptr_t data) {
    Toolkit& tk = toolkit();
    if (code == Msg::Toggled && sender == this) {
        if (*reinterpret_cast<const uint8_t*>(data) != 0)
            open();
        else
            close();
        return 1;
    }
    if (code == Msg::ItemSelected && sender == list_) {
        setToggled(false);
        label()->setText(itemLabel(static_cast<int>(data)).c_str());
        close();
        emitter().emit(Msg::SelectionChanged, data);
        return 1;
    }
    if (code == Msg::Tick && sender == nullptr) {
        if (deadline_ != 0) {
            if (!isOpen()) {
                // The list was taken out of the popup layer (by Escape).
                takeListBack();
                deadline_ = 0;
                setToggled(false);
            } else if ((list_->state & PointerOver) || (state & PointerOver)) {
                deadline_ = tk.now + closeDelay;
            } else if (static_cast<int32_t>(tk.now - deadline_) >= 0) {
                close();
                setToggled(false);
            }
        }
        return 0;
    }
    return LabelPushButtonWidget::onEvent(code, sender, data);
}

} // namespace G2
