#include "g2/Emitter.h"

#include "tests/g2/Fakes.h"

#include <gtest/gtest.h>

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
