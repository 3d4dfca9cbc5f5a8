#pragma once
#include "tkal/Types.h"

#include <cstdint>

/// The toolkit's message codes: what an `Emitter` carries and what
/// `onEvent(code, sender, data)` receives. The numbers are a contract (the
/// launcher's windows, their tests and the robot player rely on them): add
/// codes, never renumber one. `sender` is the widget named below, or null for
/// the game's own messages; `data` is 0 unless said otherwise.
namespace G2::Msg {

// Raw input ----------------------------------------------------------------
// The event types of `TKAL::Event`, sent on the game emitter with the event
// as data (`TKAL::Event*`), then to the widget under the pointer whose
// `eventMask` holds the type, with a copy whose x and y are its own.

inline constexpr uint32_t MousePress = TKAL::Event::ButtonDown;
inline constexpr uint32_t MouseRelease = TKAL::Event::ButtonUp;
inline constexpr uint32_t MouseMotion = TKAL::Event::Motion;
/// Game emitter only: the display took the new size.
inline constexpr uint32_t WindowResized = TKAL::Event::Resize;

// The game's messages (sender null) ----------------------------------------

/// Once per frame on the game emitter; data: `const FrameTick*`.
inline constexpr uint32_t Tick = 1000;
/// A quit request on the game emitter (with the `QuitAsMessage` flag); data:
/// 0 for the window's close button, the key's `TKAL::Event*` for Escape.
inline constexpr uint32_t QuitRequested = 1002;
/// A key event for the focus node's `onEvent`; data: `TKAL::Event*`.
inline constexpr uint32_t KeyEvent = 1010;

// Pointer and focus, to a widget ---------------------------------------------

/// The pointer entered the widget (to its `onEvent`; a button re-emits it).
inline constexpr uint32_t PointerEntered = 1020;
/// The pointer left the widget (to its `onEvent`; a button re-emits it).
inline constexpr uint32_t PointerLeft = 1021;
/// Buttons pressed on the widget were released, wherever the pointer is
/// (to its `onEvent`); data: the released button bits.
inline constexpr uint32_t Click = 1022;
/// The widget gained the focus (its emitter).
inline constexpr uint32_t FocusGained = 1023;
/// The widget lost the focus (its emitter).
inline constexpr uint32_t FocusLost = 1024;

// Text fields (`EditWidget`) ---------------------------------------------------

inline constexpr uint32_t ReturnPressed = 1030;
inline constexpr uint32_t EscapePressed = 1031;

// Buttons (sender the button) ---------------------------------------------------

/// Clicked (released over the button), or one step of an auto-repeat.
inline constexpr uint32_t Activated = 1040;
/// A push button toggled; data: `const uint8_t*` to its new state.
inline constexpr uint32_t Toggled = 1041;
inline constexpr uint32_t Pressed = 1042;
/// Released (the click arrived), over the button or not.
inline constexpr uint32_t Released = 1043;

// Scroll bars (sender the bar): vertical and horizontal forms ---------------------

/// The marker was dragged; data: the position asked for.
inline constexpr uint32_t DragVertical = 1050;
inline constexpr uint32_t DragHorizontal = 1051;
/// An arrow button was activated.
inline constexpr uint32_t ScrollUp = 1052;
inline constexpr uint32_t ScrollDown = 1053;
inline constexpr uint32_t ScrollLeft = 1054;
inline constexpr uint32_t ScrollRight = 1055;
/// A press on the track before or after the marker.
inline constexpr uint32_t PageUp = 1056;
inline constexpr uint32_t PageDown = 1057;
inline constexpr uint32_t PageLeft = 1058;
inline constexpr uint32_t PageRight = 1059;

// Lists ----------------------------------------------------------------------

/// The player chose an item of a list; data: the item's index.
inline constexpr uint32_t ItemSelected = 1060;
/// The player chose an item through a combo box's drop-down; data: the index.
inline constexpr uint32_t SelectionChanged = 1065;

// Animations (`AnimWidget`) -----------------------------------------------------

/// The shown frame changed to the first one.
inline constexpr uint32_t FirstFrame = 1090;
/// The shown frame changed to the last one.
inline constexpr uint32_t LastFrame = 1091;
inline constexpr uint32_t HorizontalMotionEnded = 1092;
inline constexpr uint32_t VerticalMotionEnded = 1093;

} // namespace G2::Msg
