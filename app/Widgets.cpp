#include "app/Widgets.h"

#include "g2/ButtonWidget.h"
#include "g2/EditWidget.h"
#include "g2/LabelWidget.h"
#include "g2/ProgressWidget.h"

namespace app {

G2::Widget* addBox(G2::Widget* parent, uint8_t flow, int spacing, int border, TKAL::Frame* frame) {
    auto box = std::make_unique<G2::Widget>();
    box->flow = flow;
    box->gravity = G2::GravityStart; // children one after another, `spacing` apart
    box->spacing = static_cast<uint8_t>(spacing);
    box->border = static_cast<uint8_t>(border);
    box->setSize(0, 0);
    box->setStyle(frame);
    return parent->append(std::move(box));
}

void fitToContent(G2::Widget* widget) {
    widget->measure();
    widget->setSize(widget->preferredW, widget->preferredH);
}

G2::LabelWidget* addLabel(G2::Widget* parent, const std::string& text, int height, TKAL::Font* font,
                          uint8_t justify) {
    auto label = std::make_unique<G2::LabelWidget>(text.c_str());
    if (font != nullptr)
        label->font = font;
    label->hJustify = justify;
    label->expand = G2::ExpandHorizontal;
    label->setSize(0, height);
    return parent->append(std::move(label));
}

G2::LabelButtonWidget* addButton(G2::Widget* parent, const std::string& text, int id, int w, int h) {
    auto button = std::make_unique<G2::LabelButtonWidget>(text.c_str(), id);
    button->setSize(w, h);
    return parent->append(std::move(button));
}

G2::PushButtonWidget* addCheckBox(G2::Widget* parent, int id, int w, int h, G2::PushButtonStyle* look) {
    auto box = std::make_unique<G2::PushButtonWidget>(id);
    if (look != nullptr)
        box->setPushStyle(look);
    box->setSize(w, h);
    return parent->append(std::move(box));
}

G2::EditWidget* addEdit(G2::Widget* parent, int w, int h, TKAL::Frame* frame) {
    auto edit = std::make_unique<G2::EditWidget>();
    edit->setSize(w, h);
    edit->setStyle(frame);
    edit->border = 2;
    edit->hJustify = G2::LabelWidget::Start;
    edit->margin = 4;
    edit->caretWidth = 2;
    edit->caretColour = 0xFF0000;
    return parent->append(std::move(edit));
}

G2::ProgressFrameWidget* addBar(G2::Widget* parent, int height, G2::ProgressFrameStyle* style) {
    auto bar = std::make_unique<G2::ProgressFrameWidget>();
    bar->setProgressStyle(style);
    bar->expand = G2::ExpandHorizontal;
    bar->setSize(0, height);
    return parent->append(std::move(bar));
}

} // namespace app
