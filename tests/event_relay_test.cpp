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

// Last in the file: the hooks and the relay thread stay for the rest of the process.
TEST_F(EventRelay, RealF12PressAndReleaseReachTheTarget) {
    InstallInputHooks();
    ASSERT_NE(g_keyboardHook, nullptr);
    ASSERT_NE(g_mouseHook, nullptr);

    // SendInput from another thread: this one must stay free to run the hooks.
    test_support::RunWhilePumping([] { test_support::SendKey(VK_F12, true); });
    ASSERT_TRUE(target.WaitForCommandCount(1, 5000));
    test_support::RunWhilePumping([] { test_support::SendKey(VK_F12, false); });
    ASSERT_TRUE(target.WaitForCommandCount(2, 5000));
    EXPECT_EQ(target.Payloads(), (Payloads{"2|1", "2|0"}));

    // Other keys and the middle button leave the target alone.
    test_support::RunWhilePumping([] {
        test_support::TapKey(VK_F11);
        test_support::SendMouseButton(MOUSEEVENTF_MIDDLEDOWN);
        test_support::SendMouseButton(MOUSEEVENTF_MIDDLEUP);
    });
    test_support::PumpMessagesFor(300);
    EXPECT_EQ(target.Commands().size(), 2u);

    RemoveInputHooks();
    EXPECT_EQ(g_keyboardHook, nullptr);
    EXPECT_EQ(g_mouseHook, nullptr);
}

} // namespace
