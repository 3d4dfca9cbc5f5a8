// Lists, tables and their cell painters, and the list container.
#include "g2/ListWidget.h"

#include "g2/Game.h"
#include "g2/Messages.h"
#include "g2/ScrollWidget.h"
#include "g2/Styles.h"
#include "props/Properties.h"
#include "props/RCache.h"
#include "tkal/Canvas.h"
#include "tkal/Font.h"
#include "tkal/Frame.h"

#include <algorithm>

namespace G2 {

G2_DEFINE_CLASS_INFO(ListWidget, Widget, "ListWidget")
G2_DEFINE_CLASS_INFO(TableWidget, ListWidget, "TableWidget")
G2_DEFINE_CLASS_INFO(TextListWidget, TableWidget, "TextListWidget")
G2_DEFINE_CLASS_INFO(ListContainerWidget, Widget, "ListContainerWidget")

namespace {

class EmptyTree : public AbstractTree {
public:
    unsigned count() const override { return 0; }
};

AbstractTree* emptyData() {
    static EmptyTree empty;
    return &empty;
}

} // namespace

// Cell painters ----------------------------------------------------------

ItemRender::~ItemRender() = default;

void TCR_Text::render(TKAL::Canvas* canvas, const TKAL::Rect& rect, ItemValue value, int) {
    if (font == nullptr || value.text == nullptr)
        return;
    int ty = (rect.h - font->height()) / 2;
    int tx = 0;
    if (justify > 0)
        tx = rect.w - font->textWidth(value.text, 0);
    else if (justify == 0)
        tx = (rect.w - font->textWidth(value.text, 0)) / 2;
    font->drawText(rect.x + tx, rect.y + ty, canvas, value.text, colour, 0);
}

// Lists ------------------------------------------------------------------

ListWidget::ListWidget() : itemStyle_(defaultListItemStyle()), data_(emptyData()) {}

ListWidget::~ListWidget() = default;

void ListWidget::parentChanged() {
    Widget::parentChanged();
    if (parent() != nullptr && parent()->isKindOf(ListContainerWidget::classRecord))
        static_cast<ListContainerWidget*>(parent())->attachList(this);
}

void ListWidget::setData(AbstractTree* data) {
    data_ = data != nullptr ? data : emptyData();
    selected_ = hovered_ = -1;
    first_ = 0;
    refresh();
    needsLayout = 1;
    state |= NeedsRedraw;
}

bool ListWidget::holds(int index) const {
    return index >= 0 && static_cast<unsigned>(index) < data_->count();
}

void ListWidget::setItemStyle(ListItemStyle* style) {
    if (style != nullptr)
        itemStyle_ = style;
}

void ListWidget::load(RCache* cache, const Property* props) {
    Widget::load(cache, props);
    if (props == nullptr || cache == nullptr)
        return;
    std::string name = props->getString("item_style", "");
    if (!name.empty())
        setItemStyle(static_cast<ListItemStyle*>(cache->get("ListItemStyle", name, nullptr)));
}

bool ListWidget::isShown(int index) const {
    return itemCount_ >= 1 && first_ <= index && index < first_ + page_;
}

void ListWidget::reveal(int index) {
    if (!isShown(index))
        scrollTo(index);
}

void ListWidget::scrollTo(int first) {
    if (itemCount_ < 1) {
        state |= ListRevealSelected | NeedsRedraw;
        return;
    }
    first_ = std::max(0, std::min(first, itemCount_ - page_));
    if (scrollBar_ != nullptr)
        scrollBar_->setPosition(first_);
    state |= NeedsRedraw;
}

int ListWidget::itemAt(int, int) const {
    return -1;
}

bool ListWidget::setSelection(int index) {
    if (!holds(index) || !(data_->itemFlags(index) & AbstractTree::itemSelectable))
        return false;
    selected_ = index;
    data_->select(index);
    state |= NeedsRedraw;
    return true;
}

void ListWidget::select(int index) {
    if (setSelection(index))
        emitter().emit(Msg::ItemSelected, index);
}

void ListWidget::pressAt(uint32_t, int x, int y) {
    select(itemAt(x, y));
}

void ListWidget::refresh() {
    itemCount_ = static_cast<int>(data_->count());
    if (scrollBar_ != nullptr) {
        scrollBar_->setView(page_, itemCount_);
        scrollBar_->setPosition(first_);
    }
}

void ListWidget::arrange(const TKAL::Rect& content) {
    Widget::arrange(content);
    refresh();
}

int ListWidget::onEvent(uint32_t code, void* sender, intptr_t data) {
    switch (code) {
    case Msg::MousePress: {
        const auto* press = reinterpret_cast<const TKAL::Event*>(data);
        pressAt(static_cast<uint32_t>(press->arg1), press->arg2, press->arg3);
        return 0;
    }
    case Msg::MouseMotion: {
        const auto* motion = reinterpret_cast<const TKAL::Event*>(data);
        int over = itemAt(motion->arg2, motion->arg3);
        if (over != hovered_) {
            hovered_ = over;
            state |= NeedsRedraw;
        }
        return 0;
    }
    case Msg::PointerLeft:
        if (hovered_ != -1) {
            hovered_ = -1;
            state |= NeedsRedraw;
        }
        return 0;
    case Msg::ScrollUp:
    case Msg::ScrollLeft:
        scrollTo(first_ - 1);
        return 1;
    case Msg::ScrollDown:
    case Msg::ScrollRight:
        scrollTo(first_ + 1);
        return 1;
    case Msg::PageUp:
    case Msg::PageLeft:
        scrollTo(first_ - page_);
        return 1;
    case Msg::PageDown:
    case Msg::PageRight:
        scrollTo(first_ + page_);
        return 1;
    case Msg::DragVertical:
    case Msg::DragHorizontal:
        scrollTo(static_cast<int>(data));
        return 1;
    default:
        return Widget::onEvent(code, sender, data);
    }
}

// Tables -----------------------------------------------------------------

TableWidget::TableWidget() : tableStyle_(defaultTableStyle()) {
    border = static_cast<uint8_t>(tableStyle_->border);
    itemMargin = tableStyle_->margin;
    setStyle(tableStyle_->frame);
}

TableWidget::~TableWidget() = default;

void TableWidget::setTableStyle(TableStyle* style) {
    if (style == nullptr)
        return;
    tableStyle_ = style;
    border = static_cast<uint8_t>(style->border);
    itemMargin = style->margin;
    setStyle(style->frame);
    needsLayout = 1;
}

void TableWidget::load(RCache* cache, const Property* props) {
    ListWidget::load(cache, props);
    if (props == nullptr)
        return;
    if (cache != nullptr) {
        std::string name = props->getString("tstyle", "");
        if (!name.empty())
            setTableStyle(static_cast<TableStyle*>(cache->get("TableStyle", name, nullptr)));
        std::string fontName = props->getString("header_font", "");
        if (!fontName.empty()) {
            auto* font = static_cast<TKAL::Font*>(cache->getOfKind("Font", fontName, nullptr));
            if (font != nullptr)
                headerFont = font;
        }
    }
    if (props->find("header_color") != nullptr) {
        int rgb[3] = {0, 0, 0};
        props->getInts("header_color", rgb, 3);
        headerColour = static_cast<uint32_t>(rgb[0] * 65536 + rgb[1] * 256 + rgb[2]);
    }
    headerHeight = props->getInt("header_height", 0);
    itemHeight = props->getInt("item_height", 22);
    itemMargin = props->getInt("item_margin", 2);
    needsLayout = 1;
}

void TableWidget::arrange(const TKAL::Rect& content) {
    Widget::arrange(content);
    itemCount_ = static_cast<int>(data_->count());
    int rows = itemHeight > 0 ? (content.h - headerHeight) / itemHeight : 0;
    page_ = std::min(std::max(rows, 1), itemCount_);
    refresh();
    if (state & ListRevealSelected) {
        state &= ~ListRevealSelected;
        scrollTo(selected_);
    }
}

int TableWidget::itemAt(int, int y) const {
    if (itemHeight <= 0)
        return -1;
    return (y - border - headerHeight) / itemHeight + first_;
}

std::vector<int> TableWidget::columnWidths(int width) const {
    int fixed = 0;
    int shares = 0;
    for (const Column& c : columns) {
        if (c.width > 0)
            fixed += c.width;
        else
            ++shares;
    }
    int share = shares > 0 && width > fixed ? (width - fixed) / shares : 0;
    std::vector<int> widths;
    for (const Column& c : columns)
        widths.push_back(c.width > 0 ? c.width : c.width < 0 ? share : 0);
    return widths;
}

void TableWidget::draw(TKAL::Canvas* canvas, int dx, int dy, uint32_t drawParam) {
    if (drawParam != 0)
        return;
    ListWidget::draw(canvas, dx, dy, drawParam);
}

void TableWidget::drawContent(TKAL::Canvas* canvas, uint32_t) {
    TKAL::Rect content = contentRect();
    const int cw = content.w;
    const int ch = content.h;
    std::vector<int> widths = columnWidths(cw);
    if (itemHeight <= 0)
        return;
    // Only whole rows; their bands alternate from the first one shown.
    int y = headerHeight;
    for (int r = 0; y <= ch - itemHeight; ++r, y += itemHeight) {
        TKAL::Rect row{0, int16_t(y), uint16_t(cw), uint16_t(itemHeight)};
        canvas->setClip(row);
        TKAL::Frame* band = (r % 2) ? tableStyle_->odd : tableStyle_->even;
        if (band != nullptr)
            band->draw(canvas, row);
        if (holds(first_ + r))
            drawItem(canvas, first_ + r, row, widths);
    }
    if (headerFont != nullptr && headerHeight > 0)
        drawHeader(canvas, widths);
}

void TableWidget::drawItem(TKAL::Canvas* canvas, int i, const TKAL::Rect& row,
                           const std::vector<int>& widths) {
    const bool selectable = (data_->itemFlags(i) & AbstractTree::itemSelectable) != 0;
    int itemState = 0;
    if (i == hovered_ && selectable)
        itemState |= 2;
    if (i == selected_)
        itemState |= 1;
    TKAL::Frame* look = (itemState & 1)   ? itemStyle_->selected
                        : (itemState & 2) ? itemStyle_->over
                                          : itemStyle_->normal;
    if (look != nullptr)
        look->draw(canvas, row);
    ItemValue value = data_->itemValue(i);
    if (AbstractTree::isKindOf(data_->itemType(i), AbstractTree::typeTree) && value.tree != nullptr) {
        // A row of values: each column shows its own, clipped to its cell.
        int x = 0;
        for (size_t c = 0; c < columns.size(); ++c) {
            int w = widths[c];
            if (w == 0)
                continue;
            TKAL::Rect cell{int16_t(x + itemMargin), row.y, uint16_t(std::max(0, w - 2 * itemMargin)),
                            uint16_t(itemHeight)};
            x += w;
            canvas->setClip(cell);
            if (columns[c].renderer != nullptr)
                columns[c].renderer->render(canvas, cell, value.tree->itemValue(columns[c].dataIndex),
                                            itemState);
        }
    } else if (!columns.empty() && columns[0].renderer != nullptr) {
        TKAL::Rect cell{int16_t(itemMargin), row.y, uint16_t(std::max(0, row.w - 2 * itemMargin)),
                        uint16_t(itemHeight)};
        columns[0].renderer->render(canvas, cell, value, itemState);
    }
}

void TableWidget::drawHeader(TKAL::Canvas* canvas, const std::vector<int>& widths) {
    int ty = (headerHeight - headerFont->height()) / 2;
    int x = 0;
    for (size_t c = 0; c < columns.size(); ++c) {
        int w = widths[c];
        if (w == 0)
            continue;
        TKAL::Rect head{int16_t(x), 0, uint16_t(w), uint16_t(headerHeight)};
        canvas->setClip(head);
        if (tableStyle_->header != nullptr)
            tableStyle_->header->draw(canvas, head);
        int inner = w - 2 * itemMargin;
        TKAL::Rect cell{int16_t(x + itemMargin), 0, uint16_t(std::max(0, inner)), uint16_t(headerHeight)};
        canvas->setClip(cell);
        const char* title = columns[c].title.c_str();
        int tw = headerFont->textWidth(title, 0);
        int tx = columns[c].titleJustify < 0    ? 0
                 : columns[c].titleJustify == 0 ? (inner - tw) / 2
                                                : inner - tw;
        headerFont->drawText(cell.x + tx, ty, canvas, title, headerColour, 0);
        x += w;
    }
}

// Text lists -------------------------------------------------------------

TextListWidget::TextListWidget() : render_(std::make_unique<TCR_Text>(toolkit().defaultFont, 0xFFFFFF, -1)) {
    Column column;
    column.dataIndex = 0;
    column.width = -1;
    column.titleJustify = -1;
    column.renderer = render_.get();
    addColumn(column);
}

TextListWidget::~TextListWidget() = default;

// List containers ----------------------------------------------------------

ListContainerWidget::ListContainerWidget() {
    flow = FlowHorizontal;
    expand = ExpandBoth;
    scrollBar_ = append(std::make_unique<ScrollWidget>());
    scrollBar_->border = 0;
}

ListContainerWidget::~ListContainerWidget() = default;

void ListContainerWidget::attachList(ListWidget* list) {
    if (list_ != nullptr || list == nullptr)
        return;
    list_ = list;
    list->insertInto(this, nullptr); // to the front, before the scroll bar
    list->expand = ExpandBoth;
    list->setScrollBar(scrollBar_);
    for (uint32_t code : {Msg::ScrollUp, Msg::ScrollDown, Msg::PageUp, Msg::PageDown, Msg::DragVertical})
        scrollBar_->emitter().connect(list, code);
    markLayoutAround();
}

void ListContainerWidget::load(RCache* cache, const Property* props) {
    Widget::load(cache, props);
    if (props == nullptr || cache == nullptr)
        return;
    std::string name = props->getString("scroll_style", "");
    if (!name.empty())
        scrollBar_->setStyle(static_cast<ScrollStyle*>(cache->get("ScrollStyle", name, nullptr)));
}

} // namespace G2
