#include "g2/Emitter.h"
#include "g2/Messages.h"

#include "tests/g2/Fakes.h"

#include <gtest/gtest.h>
#include <string>

using G2::Emitter;

TEST(Emitter, DeliversInConnectionOrderToMatchingCodesOnly) {
    int sender = 0;
    Emitter emitter(&sender);
    fakes::Listener a, b;
    emitter.connect(&a, 5);
    emitter.connect(&b, 5);
    emitter.connect(&a, 6);
    emitter.emit(5, 42);
    ASSERT_EQ(a.messages.size(), 1u);
    EXPECT_EQ(a.messages[0].sender, &sender);
    EXPECT_EQ(a.messages[0].data, 42);
    EXPECT_EQ(b.messages.size(), 1u);
    emitter.emit(7);
    EXPECT_EQ(a.messages.size(), 1u);
}

TEST(Emitter, OneShotConnectionsAreRemovedBeforeTheirCall) {
    Emitter emitter;
    fakes::Listener once;
    emitter.connect(&once, 1, Emitter::oneShot);
    emitter.emit(1);
    emitter.emit(1);
    EXPECT_EQ(once.messages.size(), 1u);
    EXPECT_EQ(emitter.connections(), 0);
}

namespace {
// Disconnects another target, and itself, while the emission is running.
struct Disconnector : G2::EventTarget {
    Emitter* emitter = nullptr;
    G2::EventTarget* victim = nullptr;
    int calls = 0;
    int onEvent(uint32_t code, void*, intptr_t) override {
        ++calls;
        emitter->disconnect(victim, code);
        emitter->disconnect(this, code);
        emitter->emit(99); // nested emission on the same emitter
        return 0;
    }
};
} // namespace

TEST(Emitter, TargetsMayDisconnectDuringAnEmission) {
    Emitter emitter;
    Disconnector d;
    fakes::Listener later, nested;
    d.emitter = &emitter;
    d.victim = &later;
    emitter.connect(&d, 3);
    emitter.connect(&later, 3);
    emitter.connect(&nested, 99);
    emitter.emit(3);
    EXPECT_EQ(d.calls, 1);
    EXPECT_TRUE(later.messages.empty());
    EXPECT_EQ(nested.messages.size(), 1u);
    EXPECT_EQ(emitter.connections(), 1);
    emitter.disconnectAll(&nested);
    EXPECT_EQ(emitter.connections(), 0);
}

// The numbers are a contract with the windows and the robot player: a name
// may be added, a number never changes.
TEST(Messages, KeepTheirNumbers) {
    namespace Msg = G2::Msg;
    // clang-format off
    const uint32_t codes[] = {
        Msg::MousePress, Msg::MouseRelease, Msg::MouseMotion, Msg::WindowResized, Msg::Tick,
        Msg::QuitRequested, Msg::KeyEvent, Msg::PointerEntered, Msg::PointerLeft, Msg::Click,
        Msg::FocusGained, Msg::FocusLost, Msg::ReturnPressed, Msg::EscapePressed, Msg::Activated,
        Msg::Toggled, Msg::Pressed, Msg::Released, Msg::DragVertical, Msg::DragHorizontal, Msg::ScrollUp,
        Msg::ScrollDown, Msg::ScrollLeft, Msg::ScrollRight, Msg::PageUp, Msg::PageDown, Msg::PageLeft,
        Msg::PageRight, Msg::ItemSelected, Msg::SelectionChanged, Msg::FirstFrame, Msg::LastFrame,
        Msg::HorizontalMotionEnded, Msg::VerticalMotionEnded};
    // clang-format on
    std::string numbers;
    for (uint32_t code : codes)
        numbers += std::to_string(code) + " ";
    EXPECT_EQ(numbers, "8 16 32 64 1000 1002 1010 1020 1021 1022 1023 1024 1030 1031 1040 1041 1042 1043 "
                       "1050 1051 1052 1053 1054 1055 1056 1057 1058 1059 1060 1065 1090 1091 1092 1093 ");
}
