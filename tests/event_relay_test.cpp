// The relay between the hooks and the talk switch, first step by step, then
// as the running thread fed by real input through the installed hooks.
#include "core/event_relay.h"
#include "core/input_hooks.h"
#include "core/shared_state.h"
#include "test_support.h"

#include <gtest/gtest.h>

using test_support::StandIn;
using test_support::WaitUntil;

namespace {

using Payloads = std::vector<std::string>;

class EventRelay : public ::testing::Test {
  protected:
    void SetUp() override {
        g_talking.store(false);
        g_pendingEvent.store(PENDING_NONE);
        g_hotkey = VK_F12;
        ASSERT_TRUE(target.Start());
    }
    void TearDown() override {
        g_pendingEvent.store(PENDING_NONE);
        g_talking.store(false);
    }
    StandIn target;
};

TEST_F(EventRelay, StoredEventsBecomeTalkCommands) {
    EXPECT_FALSE(RelayPendingEvent()) << "nothing pending";

    g_pendingEvent.store(PENDING_PRESSED);
    EXPECT_TRUE(RelayPendingEvent());
    EXPECT_EQ(g_pendingEvent.load(), PENDING_NONE) << "the event is consumed";

    g_pendingEvent.store(PENDING_RELEASED);
    EXPECT_TRUE(RelayPendingEvent());

    g_pendingEvent.store(7); // not an event: taken and dropped
    EXPECT_TRUE(RelayPendingEvent());
    EXPECT_EQ(g_pendingEvent.load(), PENDING_NONE);

    EXPECT_EQ(target.Payloads(), (Payloads{"2|1", "2|0"}));
}

TEST_F(EventRelay, PressAndReleaseWithinOneIntervalLeaveOnlyTheRelease) {
    g_pendingEvent.store(PENDING_PRESSED);
    g_pendingEvent.store(PENDING_RELEASED);
    RelayPendingEvent();
    EXPECT_TRUE(target.Payloads().empty()) << "silent target stays untouched";

    g_talking.store(true);
    g_pendingEvent.store(PENDING_PRESSED);
    g_pendingEvent.store(PENDING_RELEASED);
    RelayPendingEvent();
    EXPECT_EQ(target.Payloads(), (Payloads{"2|0"})) << "a talking target is stopped";
}

TEST_F(EventRelay, RealF12PressAndReleaseReachTheTargetUntilTheHooksComeOut) {
    InstallInputHooks();
    ASSERT_NE(g_keyboardHook, nullptr);
    ASSERT_NE(g_mouseHook, nullptr);

    // SendInput from another thread: this one must stay free to run the hooks.
    // Other keys and the middle button send nothing before F12's commands.
    auto hold = [](bool down) {
        ASSERT_TRUE(test_support::RunWhilePumping(5000, [down] {
            if (down) {
                test_support::TapKey(VK_F11);
                test_support::SendMouseButton(MOUSEEVENTF_MIDDLEDOWN);
                test_support::SendMouseButton(MOUSEEVENTF_MIDDLEUP);
            }
            test_support::SendKey(VK_F12, down);
        }));
    };
    EXPECT_EQ(test_support::TalkCycle(target, hold), (Payloads{"2|1", "2|0"}));

    EXPECT_TRUE(RemoveInputHooks()) << "the relay did not stop";
    EXPECT_EQ(g_keyboardHook, nullptr);
    EXPECT_EQ(g_mouseHook, nullptr);
    // A press left behind is never acted on once the relay has stopped.
    g_pendingEvent.store(PENDING_PRESSED);
    test_support::PumpMessagesFor(200);
    EXPECT_EQ(target.Commands().size(), 2u);
}

} // namespace
