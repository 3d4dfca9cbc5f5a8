#pragma once
#include "g2/ButtonWidget.h"

#include <memory>

class AbstractTree;

namespace G2 {

class TextListWidget;

/// A drop-down selector: a toggle button whose label shows the chosen item,
/// and a text list over the same data that opens in the popup layer right
/// above it. The list closes on a choice, when the button is toggled off, or
/// a short delay after the pointer has left both. Emits
/// Msg::SelectionChanged with the index chosen through the list.
class ComboBoxWidget : public LabelPushButtonWidget {
    G2_CLASS_INFO()
public:
    /// `data` is borrowed and must outlive the combo box.
    explicit ComboBoxWidget(AbstractTree* data, int32_t id = 0);
    ~ComboBoxWidget() override;

    int onEvent(uint32_t code, void* sender, intptr_t data) override;

    /// Shows item `index` as the choice (and tells the data it was chosen),
    /// without emitting Msg::SelectionChanged.
    void choose(int index);
    TextListWidget* list() const { return list_; }
    bool isOpen() const;
    /// The label text of item `index` (empty when there is none).
    std::string itemLabel(int index) const;

    uint32_t closeDelay = 10;

private:
    void open();
    void close();
    /// Owns the list again, when the popup layer holds it (shown, or closed
    /// there by Escape).
    void takeListBack();
    /// The combo box's position on the screen.
    void screenPosition(int& x, int& y) const;

    /// The list while it is closed; the popup layer owns it while it is open.
    std::unique_ptr<TextListWidget> ownedList_;
    TextListWidget* list_;
    uint32_t deadline_ = 0;
};

} // namespace G2
