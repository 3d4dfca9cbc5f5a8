#include "tests/g2/GameFixture.h"

#include "g2/ComboBoxWidget.h"
#include "g2/EditWidget.h"
#include "g2/ListWidget.h"
#include "g2/Messages.h"
#include "g2/ScrollWidget.h"
#include "g2/Styles.h"
#include "tests/common/Surfaces.h"
#include "tkal/sdl/SDL_Canvas.h"

using g2test::GameTest;

namespace {

// Text items, each selectable unless listed otherwise.
class Texts : public AbstractTree {
public:
    explicit Texts(std::vector<std::string> items) : items_(std::move(items)) {}
    unsigned count() const override { return unsigned(items_.size()); }
    bool select(int index) override {
        selections.push_back(index);
        return true;
    }
    unsigned itemFlags(int index) const override {
        if (index < 0 || index >= int(items_.size()))
            return 0;
        return index == unselectable ? 0 : itemSelectable;
    }
    int itemType(int) const override { return typeText; }
    ItemValue itemValue(int index) const override {
        ItemValue v{};
        if (index >= 0 && index < int(items_.size()))
            v.text = items_[size_t(index)].c_str();
        return v;
    }
    const char* itemText(int index) const override {
        return index >= 0 && index < int(items_.size()) ? items_[size_t(index)].c_str() : "";
    }
    std::vector<int> selections;
    int unselectable = -1;

private:
    std::vector<std::string> items_;
};

TKAL::Event key(int sym, int unicode = 0) {
    TKAL::Event e;
    e.type = TKAL::Event::KeyDown;
    e.arg1 = sym;
    e.arg3 = unicode;
    return e;
}

void type(G2::EditWidget& field, const TKAL::Event& e) {
    field.onEvent(G2::Msg::KeyEvent, nullptr, reinterpret_cast<intptr_t>(&e));
}

} // namespace

TEST(EditWidget, TypingEditsAtTheCursor) {
    G2::EditWidget field;
    type(field, key('x', 'x'));
    type(field, key('z', 'z'));
    type(field, key(276)); // Left
    type(field, key('y', 'y'));
    EXPECT_EQ(field.text(), "xyz");
    EXPECT_EQ(field.cursor(), 2);
    type(field, key(278)); // Home
    type(field, key(8));   // Backspace at 0 changes nothing
    EXPECT_EQ(field.text(), "xyz");
    type(field, key(127)); // Delete
    EXPECT_EQ(field.text(), "yz");
    type(field, key(279)); // End
    type(field, key(8));
    EXPECT_EQ(field.text(), "y");
    type(field, key(0xF1, 0xF1)); // ñ arrives as its character
    EXPECT_EQ(field.text(), "y\xC3\xB1");
    type(field, key(304)); // a key without a character
    EXPECT_EQ(field.length(), 2);
    type(field, key('v', 0x16)); // Ctrl+V, Ctrl+A and DEL are no text
    type(field, key('a', 0x01));
    type(field, key(0, 0x7F));
    EXPECT_EQ(field.text(), "y\xC3\xB1");
}

TEST(EditWidget, FullFieldIgnoresMoreAndMaxCharsCuts) {
    G2::EditWidget field;
    ASSERT_TRUE(field.setMaxChars(3));
    field.setText("abcdef");
    EXPECT_EQ(field.text(), "abc");
    type(field, key('d', 'd'));
    EXPECT_EQ(field.text(), "abc");
    ASSERT_TRUE(field.setMaxChars(2));
    EXPECT_EQ(field.text(), "ab");
    EXPECT_EQ(field.cursor(), 2);
    ASSERT_TRUE(field.setMaxChars(2000000000)); // no 4 GiB buffer
    EXPECT_EQ(field.maxChars(), 4096);
}

TEST(EditWidget, ReturnAndEscapeAreMessagesAndInertFieldsTakeNothing) {
    G2::EditWidget field;
    fakes::Listener listener;
    field.emitter().connect(&listener, G2::Msg::ReturnPressed);
    field.emitter().connect(&listener, G2::Msg::EscapePressed);
    type(field, key(13));
    type(field, key(27));
    EXPECT_EQ(listener.codes(), (std::vector<uint32_t>{G2::Msg::ReturnPressed, G2::Msg::EscapePressed}));
    field.setInert(true);
    type(field, key('a', 'a'));
    EXPECT_EQ(field.text(), "");
}

TEST_F(GameTest, PasswordFieldShowsItsMaskAndTheCaretOnlyWithTheFocus) {
    fakes::Font font(5, 10);
    auto field = std::make_unique<G2::EditWidget>();
    field->font = &font;
    field->setPasswordChar('*');
    field->setText("abc");
    field->caretColour = 0xFF0000;
    field->setSize(100, 20);
    field->hJustify = G2::LabelWidget::Start;
    G2::EditWidget* f = add(std::move(field));
    EXPECT_EQ(f->text(), "abc");

    testsurf::Owned surface(testsurf::make32(100, 20));
    TKAL::SDL_Canvas canvas(surface, TKAL::Rect{0, 0, 100, 20});
    f->draw(&canvas, 0, 0, 0);
    ASSERT_EQ(font.draws.size(), 1u);
    EXPECT_EQ(font.draws[0].text, "***");
    EXPECT_EQ(testsurf::at(surface, 15, 5), 0u); // no caret without the focus

    G2::toolkit().setFocus(f);
    f->draw(&canvas, 0, 0, 0);
    EXPECT_EQ(testsurf::at(surface, 15, 5), 0xFF0000u); // after three 5-pixel characters
    EXPECT_EQ(testsurf::at(surface, 17, 5), 0u);        // 2 pixels wide
    f->draw(&canvas, 0, 0, 1);                          // another draw parameter: nothing
    EXPECT_EQ(font.draws.size(), 2u);

    type(*f, key(278)); // Home: the caret at the start, not at the end
    testsurf::paint(surface, 0, 0, 100, 20, 0);
    f->draw(&canvas, 0, 0, 0);
    EXPECT_EQ(testsurf::at(surface, 0, 5), 0xFF0000u);
    EXPECT_EQ(testsurf::at(surface, 15, 5), 0u);
}

TEST(TableWidget, ColumnSharesSplitTheFreeWidth) {
    G2::TableWidget table;
    for (int w : {50, -1, -1, 0})
        table.addColumn(G2::TableWidget::Column{0, w, "", 0, nullptr});
    EXPECT_EQ(table.columnWidths(200),
              (std::vector<int>{50, 50, 50, 0})); // the 0 column takes a share, draws nothing
    table.columns.pop_back();
    EXPECT_EQ(table.columnWidths(200), (std::vector<int>{50, 75, 75}));
    EXPECT_EQ(table.columnWidths(40), (std::vector<int>{50, 0, 0}));
}

TEST_F(GameTest, TableDrawsOnlyWholeRowsBelowTheHeader) {
    Texts data({"a", "b", "c", "d", "e"});
    fakes::Frame even("even"), odd("odd");
    G2::TableStyle style;
    style.even = &even;
    style.odd = &odd;
    auto list = std::make_unique<G2::TextListWidget>();
    list->setTableStyle(&style);
    list->setData(&data);
    list->itemHeight = 22;
    list->headerHeight = 20;
    list->setSize(100, 100);
    add(std::move(list));
    frame();
    ASSERT_EQ(even.rects.size(), 2u);
    ASSERT_EQ(odd.rects.size(), 1u);
    EXPECT_EQ(even.rects[0].y, 20);
    EXPECT_EQ(odd.rects[0].y, 42);
    EXPECT_EQ(even.rects[1].y, 64);
}

TEST_F(GameTest, ListsSelectOnlyItemsTheDataHoldsAndFlagsSelectable) {
    Texts data({"a", "b", "c"});
    data.unselectable = 1;
    auto list = std::make_unique<G2::TextListWidget>();
    list->setData(&data);
    list->itemHeight = 10;
    list->setSize(50, 100); // room for 10 rows, 3 items
    G2::TextListWidget* l = add(std::move(list));
    fakes::Listener listener;
    l->emitter().connect(&listener, G2::Msg::ItemSelected);
    frame();
    click(10, 25); // row 2
    frame();
    EXPECT_EQ(l->selected(), 2);
    EXPECT_EQ(data.selections, std::vector<int>{2});
    ASSERT_EQ(listener.messages.size(), 1u);
    EXPECT_EQ(listener.messages[0].data, 2);
    click(10, 15); // row 1 is not selectable
    frame();
    click(10, 85); // below the last item: nothing there
    frame();
    EXPECT_EQ(l->selected(), 2);
    EXPECT_EQ(listener.messages.size(), 1u);
}

TEST_F(GameTest, ScrollingStopsWhereTheLastPageStarts) {
    Texts data({"0", "1", "2", "3", "4", "5", "6", "7", "8", "9"});
    auto list = std::make_unique<G2::TextListWidget>();
    list->setData(&data);
    list->itemHeight = 10;
    list->setSize(50, 40); // page 4
    G2::TextListWidget* l = add(std::move(list));
    frame();
    EXPECT_EQ(l->page(), 4);
    l->scrollTo(8);
    EXPECT_EQ(l->first(), 6);
    l->scrollTo(-3);
    EXPECT_EQ(l->first(), 0);
    l->reveal(2);
    EXPECT_EQ(l->first(), 0); // already shown
    l->reveal(5);
    EXPECT_EQ(l->first(), 5);
    EXPECT_TRUE(l->isShown(5));
    l->onEvent(G2::Msg::PageDown, nullptr, 0); // a page down
    EXPECT_EQ(l->first(), 6);
    l->onEvent(G2::Msg::ScrollUp, nullptr, 0); // one up
    EXPECT_EQ(l->first(), 5);
}

TEST(ScrollWidget, MarkerPlacesForProportionalAndFixedLengths) {
    G2::ScrollStyle style;
    style.iconSize = 10;
    G2::ScrollWidget bar;
    bar.setStyle(&style);
    bar.setSize(10, 120); // track 100 between two 10-pixel arrows
    bar.arrange(bar.contentRect());
    ASSERT_EQ(bar.track()->h, 100);
    bar.setView(20, 100);
    bar.setPosition(40);
    EXPECT_EQ(bar.marker()->y, 40);
    EXPECT_EQ(bar.marker()->h, 20);
    bar.setPosition(500);
    EXPECT_EQ(bar.position(), 80);
    bar.markerLength = 10;
    bar.setPosition(40); // (100 - 10) * 40 / 80
    EXPECT_EQ(bar.marker()->y, 45);
    EXPECT_EQ(bar.marker()->h, 10);
    bar.setView(100, 100); // nothing to scroll: offset 0
    EXPECT_EQ(bar.marker()->y, 0);
}

TEST_F(GameTest, ScrollBarReportsArrowsTrackPressesAndDrags) {
    G2::ScrollStyle style;
    style.iconSize = 10;
    auto scroll = std::make_unique<G2::ScrollWidget>();
    scroll->setStyle(&style);
    scroll->x = 100;
    scroll->setSize(10, 120);
    scroll->setView(20, 100);
    G2::ScrollWidget* bar = add(std::move(scroll));
    fakes::Listener listener;
    for (uint32_t code :
         {G2::Msg::DragVertical, G2::Msg::ScrollUp, G2::Msg::ScrollDown, G2::Msg::PageUp, G2::Msg::PageDown})
        bar->emitter().connect(&listener, code);
    frame();       // lays the bar out: track from y 10 to 110, marker 20 long at 0
    click(105, 5); // the up arrow
    frame();
    frame();
    click(105, 80); // the track after the marker
    frame();
    frame();
    EXPECT_EQ(listener.count(G2::Msg::ScrollUp), 1);
    EXPECT_EQ(listener.count(G2::Msg::PageDown), 1);

    bar->setPosition(40); // marker from 40 to 60 in the track
    listener.messages.clear();
    pushMotion(105, 60);
    pushButton(true, 1, 105, 60); // on the marker
    frame();
    EXPECT_TRUE(bar->dragging());
    pushMotion(105, 70); // 10 pixels down: position 40 + 10 * 80 / 80
    frame();
    pushMotion(105, 400); // far below: clamped to the end
    frame();
    pushButton(false, 1, 105, 400);
    frame();
    EXPECT_FALSE(bar->dragging());
    ASSERT_EQ(listener.count(G2::Msg::DragVertical), 2);
    EXPECT_EQ(listener.messages[0].data, 50);
    EXPECT_EQ(listener.messages[1].data, 80);
    pushMotion(105, 10);
    frame();
    EXPECT_EQ(listener.count(G2::Msg::DragVertical), 2); // the drag has ended
}

TEST_F(GameTest, AutoHiddenScrollBarShowsNothingWhenAllIsInView) {
    auto scroll = std::make_unique<G2::ScrollWidget>();
    scroll->autoHide = true;
    scroll->setView(5, 5);
    G2::ScrollWidget* bar = add(std::move(scroll));
    frame();
    EXPECT_FALSE(bar->upButton()->isVisible());
    EXPECT_FALSE(bar->downButton()->isVisible());
    EXPECT_FALSE(bar->marker()->isVisible());
    bar->setView(5, 6);
    frame();
    EXPECT_TRUE(bar->upButton()->isVisible());
    EXPECT_TRUE(bar->marker()->isVisible());
    bar->showButtons = false;
    frame();
    EXPECT_FALSE(bar->upButton()->isVisible());
    EXPECT_TRUE(bar->marker()->isVisible());
}

TEST_F(GameTest, ListContainerBindsItsFirstListToTheScrollBar) {
    Texts data({"0", "1", "2", "3", "4", "5", "6", "7", "8", "9"});
    auto container = std::make_unique<G2::ListContainerWidget>();
    container->setSize(100, 40);
    G2::ListContainerWidget* c = add(std::move(container));
    auto list = std::make_unique<G2::TextListWidget>();
    list->setData(&data);
    list->itemHeight = 10;
    G2::TextListWidget* l = add(std::move(list), c);
    EXPECT_EQ(c->list(), l);
    EXPECT_EQ(c->firstChild(), l); // moved before the scroll bar
    EXPECT_EQ(l->expand, G2::ExpandBoth);
    add(std::make_unique<G2::TextListWidget>(), c); // a second list is not bound
    EXPECT_EQ(c->list(), l);
    frame();
    c->scrollBar()->emitter().emit(G2::Msg::ScrollDown); // down arrow
    EXPECT_EQ(l->first(), 1);
    EXPECT_EQ(c->scrollBar()->position(), 1);
    c->scrollBar()->emitter().emit(G2::Msg::DragVertical, 5);
    EXPECT_EQ(l->first(), 5);
    c->scrollBar()->emitter().emit(G2::Msg::ScrollLeft); // horizontal messages are not bound
    EXPECT_EQ(l->first(), 5);
}

TEST_F(GameTest, ComboBoxOpensAboveChoosesAndClosesByItself) {
    G2::View popups(G2::toolkit().display, TKAL::Rect{0, 0, 320, 240});
    popups.setRoot(G2::Game::popupRoot(320, 240));
    G2::Game::addView(&popups);
    Texts data({"Baja", "Media", "Alta"});
    auto combo = std::make_unique<G2::ComboBoxWidget>(&data, 1008);
    combo->x = 50;
    combo->y = 150;
    combo->setSize(100, 20);
    G2::ComboBoxWidget* box = add(std::move(combo));
    EXPECT_EQ(box->label()->text(), "Baja"); // item 0 chosen at construction
    EXPECT_EQ(data.selections, std::vector<int>{0});
    fakes::Listener listener;
    box->emitter().connect(&listener, G2::Msg::SelectionChanged);
    frame();

    click(60, 160);
    frame();
    frame();
    ASSERT_TRUE(box->isOpen());
    G2::TextListWidget* list = box->list();
    EXPECT_EQ(list->w, 100);
    EXPECT_EQ(list->h, 3 * list->itemHeight + 2 * list->border);
    EXPECT_EQ(list->y, 150 - list->h);
    EXPECT_EQ(list->x, 50);

    box->choose(1); // the program's choice is no message
    EXPECT_EQ(box->label()->text(), "Media");
    EXPECT_TRUE(listener.messages.empty());
    click(60, list->y + 2 * list->itemHeight + 5); // the player's, through the list
    frame();
    EXPECT_FALSE(box->isOpen());
    EXPECT_FALSE(box->toggled());
    EXPECT_EQ(box->label()->text(), "Alta");
    ASSERT_EQ(listener.messages.size(), 1u);
    EXPECT_EQ(listener.messages[0].data, 2);

    // Opened again, it closes once the pointer has been away long enough.
    box->emitter().emit(G2::Msg::Activated);
    ASSERT_TRUE(box->isOpen());
    pushMotion(300, 10);
    frame();
    EXPECT_FALSE(box->isOpen());
    EXPECT_FALSE(box->toggled());
}

TEST_F(GameTest, EscapeClosesAnOpenDropDownFirstThenReachesTheFocusedFieldAndCloses) {
    G2::toolkit().windowFlags |= G2::QuitAsMessage;
    G2::Game::popupRoot(320, 240);
    Texts data({"Baja", "Alta"});
    G2::ComboBoxWidget* box = add(std::make_unique<G2::ComboBoxWidget>(&data));
    G2::EditWidget* field = add(std::make_unique<G2::EditWidget>());
    fakes::Listener listener;
    field->emitter().connect(&listener, G2::Msg::EscapePressed);
    G2::toolkit().emitter.connect(&listener, G2::Msg::QuitRequested);
    G2::toolkit().setFocus(field);
    box->emitter().emit(G2::Msg::Activated);
    ASSERT_TRUE(box->isOpen());
    pushKey(SDLK_ESCAPE, 27);
    EXPECT_TRUE(frame());
    EXPECT_FALSE(box->isOpen());
    EXPECT_FALSE(box->toggled());
    EXPECT_TRUE(listener.messages.empty());
    pushKey(SDLK_ESCAPE, 27);
    EXPECT_TRUE(frame());
    EXPECT_EQ(listener.codes(), (std::vector<uint32_t>{G2::Msg::EscapePressed, G2::Msg::QuitRequested}));
}

TEST_F(GameTest, ComboBoxOverEmptyDataOpensTwoBordersHigh) {
    G2::Game::popupRoot(320, 240);
    Texts empty({});
    G2::ComboBoxWidget box(&empty);
    EXPECT_EQ(box.label()->text(), "");
    box.emitter().emit(G2::Msg::Activated);
    ASSERT_TRUE(box.isOpen());
    EXPECT_EQ(box.list()->h, 2 * box.list()->border);
}
