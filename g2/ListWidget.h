#pragma once
#include "g2/Widget.h"
#include "props/AbstractTree.h"

#include <memory>
#include <string>
#include <vector>

namespace TKAL {
class Font;
}

namespace G2 {

class ScrollWidget;
struct ListItemStyle;
struct TableStyle;

/// Paints one cell of a list. `state` bit 0: selected; bit 1: hovered.
class ItemRender {
public:
    virtual ~ItemRender();
    virtual void render(TKAL::Canvas* canvas, const TKAL::Rect& rect, ItemValue value, int state) = 0;
};

/// Paints a text cell: the value is a zero-terminated text (null: nothing).
/// Justification below 0 left, 0 centre, above 0 right.
class TCR_Text : public ItemRender {
public:
    TCR_Text(TKAL::Font* font, uint32_t colour, int justify) : font(font), colour(colour), justify(justify) {}
    void render(TKAL::Canvas* canvas, const TKAL::Rect& rect, ItemValue value, int state) override;

    TKAL::Font* font;
    uint32_t colour;
    int justify;
};

/// A list of the items of a list-data object (not owned), with a first
/// visible item, a selection and a hovered item. An item can be chosen only
/// when the data flags it selectable; indexes the data does not hold are
/// never drawn nor chosen. Emits Msg::ItemSelected with the chosen index.
class ListWidget : public Widget {
    G2_CLASS_INFO()
public:
    ListWidget();
    ~ListWidget() override;

    /// Reads "item_style".
    void load(RCache* cache, const Property* props) override;
    void arrange(const TKAL::Rect& content) override;
    int onEvent(uint32_t code, void* sender, intptr_t data) override;

    virtual bool isShown(int index) const;
    /// Scrolls just enough to show `index`.
    virtual void reveal(int index);
    virtual void scrollTo(int first);
    virtual void pressAt(uint32_t buttons, int x, int y);
    /// The item under (x, y) (the base knows none: -1).
    virtual int itemAt(int x, int y) const;
    /// Re-reads the item count and hands the view to the scroll bar.
    virtual void refresh();

    /// Null gives an empty data object.
    void setData(AbstractTree* data);
    AbstractTree* data() const { return data_; }
    /// Whether the data holds `index`.
    bool holds(int index) const;
    void setScrollBar(ScrollWidget* bar) { scrollBar_ = bar; }
    ScrollWidget* scrollBar() const { return scrollBar_; }
    void setItemStyle(ListItemStyle* style);
    /// Selects item `index` as the player does: Msg::ItemSelected follows.
    void select(int index);
    /// Selects item `index` for the program, without a message; false when
    /// the item cannot be selected.
    bool setSelection(int index);

    int itemCount() const { return itemCount_; }
    int page() const { return page_; }
    int first() const { return first_; }
    int selected() const { return selected_; }
    int hovered() const { return hovered_; }

protected:
    void parentChanged() override;

    ScrollWidget* scrollBar_ = nullptr;
    int itemCount_ = 0;
    int page_ = 0;
    int first_ = 0;
    ListItemStyle* itemStyle_;
    AbstractTree* data_;
    int selected_ = -1;
    int hovered_ = -1;
};

/// A list in rows and columns, with an optional header.
class TableWidget : public ListWidget {
    G2_CLASS_INFO()
public:
    struct Column {
        int dataIndex = 0; // which value of a row the column shows
        int width = 0;     // > 0 pixels, < 0 a share of the free width, 0 not drawn
        std::string title;
        int titleJustify = 0;           // < 0 left, 0 centre, > 0 right
        ItemRender* renderer = nullptr; // owned by whoever made the column
    };

    TableWidget();
    ~TableWidget() override;

    /// Reads "tstyle", "header_font", "header_color", "header_height",
    /// "item_height" and "item_margin".
    void load(RCache* cache, const Property* props) override;
    void arrange(const TKAL::Rect& content) override;
    void draw(TKAL::Canvas* canvas, int dx, int dy, uint32_t drawParam) override;
    int itemAt(int x, int y) const override;

    void addColumn(const Column& column) { columns.push_back(column); }
    void setTableStyle(TableStyle* style);
    /// The drawn width of each column for a content `width`.
    std::vector<int> columnWidths(int width) const;

    std::vector<Column> columns;
    int itemHeight = 24;
    int itemMargin = 0;
    int headerHeight = 0;
    TKAL::Font* headerFont = nullptr;
    uint32_t headerColour = 0;

protected:
    void drawContent(TKAL::Canvas* canvas, uint32_t drawParam) override;
    bool drawsChildren() const override { return false; }

private:
    /// Item `i` over its `row` (after the row's band).
    void drawItem(TKAL::Canvas* canvas, int i, const TKAL::Rect& row, const std::vector<int>& widths);
    void drawHeader(TKAL::Canvas* canvas, const std::vector<int>& widths);

    TableStyle* tableStyle_;
};

/// A one-column table of texts.
class TextListWidget : public TableWidget {
    G2_CLASS_INFO()
public:
    TextListWidget();
    ~TextListWidget() override;
    TCR_Text* textRender() const { return render_.get(); }

private:
    std::unique_ptr<TCR_Text> render_;
};

/// A list beside its vertical scroll bar: the first list made inside it is
/// bound to the bar.
class ListContainerWidget : public Widget {
    G2_CLASS_INFO()
public:
    ListContainerWidget();
    ~ListContainerWidget() override;

    /// Reads "scroll_style".
    void load(RCache* cache, const Property* props) override;
    /// Binds `list` when the container has none yet.
    void attachList(ListWidget* list);
    ListWidget* list() const { return list_; }
    ScrollWidget* scrollBar() const { return scrollBar_; }

private:
    ListWidget* list_ = nullptr;
    ScrollWidget* scrollBar_;
};

} // namespace G2
