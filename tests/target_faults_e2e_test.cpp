// The real program against a stand-in voice changer that misbehaves.
#include "core/talk_switch.h"
#include "res/resource.h"
#include "vorrel_app.h"

#include <gtest/gtest.h>

using namespace test_support;

namespace {

using Payloads = std::vector<std::string>;

// A target counts as appearing only after a presence check (one a second)
// has seen it gone; nothing outside the program shows that check, so give it
// one period and a margin.
void LetTheMonitorSeeItGone() {
    PumpMessagesFor(1300);
}

// How long the program's window takes to answer a harmless message, in ms.
ULONGLONG AnswerTime(HWND window) {
    const ULONGLONG start = GetTickCount64();
    DWORD_PTR result = 0;
    SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_NORMAL, 10000, &result);
    return GetTickCount64() - start;
}

TEST(TargetFaults, HungTargetNeverFreezesTheWindowForLong) {
    // Handles the first silencing, then hangs on the next command for good.
    StandIn hung(L"--hang-from 2");
    VorrelApp app;
    ASSERT_TRUE(StartWithSilencedTarget(hung, app));

    SendKey(VK_F12, true); // the relay now waits on the hung target
    ASSERT_TRUE(hung.WaitForCommandCount(2, 3000));
    // The mouse makes the GUI thread itself talk to the hung target.
    PressLeftAt(app.PictureCentre());
    ReleaseLeft();
    SendKey(VK_F12, false);

    ULONGLONG worst = 0;
    const ULONGLONG end = GetTickCount64() + 3 * TALK_SEND_TIMEOUT_MS;
    while (GetTickCount64() < end) {
        worst = std::max(worst, AnswerTime(app.MainWindow()));
        PumpMessagesFor(50);
    }
    EXPECT_LE(worst, TALK_SEND_TIMEOUT_MS + 500u) << "the wait on the target is bounded";

    // A healthy target in place of the hung one: push-to-talk works again.
    hung.Stop();
    LetTheMonitorSeeItGone();
    StandIn healthy;
    ASSERT_TRUE(healthy.Start());
    ASSERT_TRUE(healthy.WaitForCommandCount(1, 3000));
    SendKey(VK_F12, true);
    ASSERT_TRUE(healthy.WaitForCommandCount(2, 3000));
    SendKey(VK_F12, false);
    ASSERT_TRUE(healthy.WaitForCommandCount(3, 3000));
    EXPECT_EQ(healthy.Payloads(), (Payloads{"2|0", "2|1", "2|0"}));
    EXPECT_EQ(app.Close(), 0);
}

TEST(TargetFaults, ClosingWhileTheTargetHangsStillEndsPromptly) {
    StandIn hung(L"--hang-from 2");
    VorrelApp app;
    ASSERT_TRUE(StartWithSilencedTarget(hung, app));
    SendKey(VK_F12, true);
    ASSERT_TRUE(hung.WaitForCommandCount(2, 3000));

    const ULONGLONG start = GetTickCount64();
    EXPECT_EQ(app.Close(TALK_SEND_TIMEOUT_MS + 2000), 0);
    EXPECT_LE(GetTickCount64() - start, TALK_SEND_TIMEOUT_MS + 2000u);
    SendKey(VK_F12, false);
}

TEST(TargetFaults, TargetKilledWhileTalkingAndRestartedTwentyTimes) {
    VorrelApp app;
    ASSERT_TRUE(app.Start());
    for (int restart = 0; restart < 20; ++restart) {
        StandIn target;
        ASSERT_TRUE(target.Start()) << restart;
        ASSERT_TRUE(target.WaitForCommandCount(1, 3000)) << restart;
        EXPECT_TRUE(WaitUntil([&] { return app.OffPictureVisible(); }, 1000)) << restart;
        SendKey(VK_F12, true);
        ASSERT_TRUE(target.WaitForCommandCount(2, 3000)) << restart;
        // Exactly one silencing on appearing, none since.
        EXPECT_EQ(target.Payloads(), (Payloads{"2|0", "2|1"})) << restart;
        target.Stop(); // killed while talking
        SendKey(VK_F12, false);
        LetTheMonitorSeeItGone();
    }
    StandIn last;
    ASSERT_TRUE(last.Start());
    ASSERT_TRUE(last.WaitForCommandCount(1, 3000));
    PumpMessagesFor(2500);
    EXPECT_EQ(last.Payloads(), (Payloads{"2|0"}));
    EXPECT_TRUE(app.OffPictureVisible());
    EXPECT_EQ(app.Close(), 0);
}

TEST(TargetFaults, SlowTargetGetsEveryCommandInOrderEndingWithTheLastInput) {
    StandIn slow(L"--delay-ms 2000");
    VorrelApp app;
    ASSERT_TRUE(StartWithSilencedTarget(slow, app));
    PumpMessagesFor(2500); // let the silencing finish

    for (int i = 0; i < 3; ++i) {
        SendKey(VK_F12, true);
        PumpMessagesFor(300);
        SendKey(VK_F12, false);
        PumpMessagesFor(300);
    }
    // Each command is queued behind the last: wait until the stand-in has
    // received nothing new for longer than it takes to handle one.
    size_t seen = 0;
    ULONGLONG lastChange = GetTickCount64();
    ASSERT_TRUE(WaitUntil(
        [&] {
            const size_t count = slow.Commands().size();
            if (count != seen) {
                seen = count;
                lastChange = GetTickCount64();
            }
            return GetTickCount64() - lastChange > 2500;
        },
        30000));
    const Payloads got = slow.Payloads();
    ASSERT_GE(got.size(), 3u);
    for (size_t i = 1; i < got.size(); ++i) {
        EXPECT_NE(got[i], got[i - 1]) << "commands alternate, in order, at " << i;
    }
    EXPECT_EQ(got.back(), "2|0") << "the last input was a release";
    EXPECT_TRUE(app.OffPictureVisible());
    EXPECT_EQ(app.Close(10000), 0);
}

} // namespace
