// The real program against a stand-in voice changer that misbehaves.
#include "res/resource.h"
#include "vorrel_app.h"

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <thread>

using namespace test_support;

namespace {

constexpr DWORD BUSY_MS = 2000;

// A wait that gives up takes back a command the target had not begun to
// handle, so a stop sent while it is busy elsewhere never arrives by itself.
TEST(TargetFaults, StopMissedDuringABusySpellIsSentAgainOnceTheTargetIsFree) {
    struct Case {
        const char* what;
        const wchar_t* standInArguments;
        std::function<void(VorrelApp&, bool)> hold; // null: the stop is the first silencing
    };
    const Case cases[] = {
        {"hotkey released", L"--busy-ms 2000 --busy-after 2",
         [](VorrelApp&, bool down) { SendKey(VK_F12, down); }},
        {"left button released on the window", L"--busy-ms 2000 --busy-after 2",
         [](VorrelApp& app, bool down) { app.HoldPicture(down); }},
        {"busy as it appears", L"--busy-ms 2000", nullptr},
    };
    for (const Case& c : cases) {
        StandIn target(c.standInArguments);
        VorrelApp app;
        ASSERT_TRUE(target.Start()) << c.what;
        long long letGo = QpcNow();
        ASSERT_TRUE(app.Start()) << c.what;
        if (c.hold) {
            ASSERT_TRUE(target.WaitForCommandCount(1, 5000)) << c.what;
            c.hold(app, true);
            ASSERT_TRUE(target.WaitForLast("2|1", 3000)) << c.what; // now it is busy
            letGo = QpcNow();
            c.hold(app, false);
        }
        ASSERT_TRUE(target.WaitForLast("2|0", 6000)) << c.what << ": still transmitting";
        const double ms = QpcMs(letGo, target.Commands().back().qpc);
        std::printf("%s: \"2|0\" arrived %.0f ms after the release\n", c.what, ms);
        EXPECT_LE(ms, 4000) << c.what << ": not sent again soon after the busy spell";
        EXPECT_TRUE(WaitUntil([&] { return app.OffPictureVisible(); }, 3000)) << c.what;
        // Paid once: the next retry does not cut a new talk short. The debt
        // is the same whichever way it was run up.
        if (&c == cases) {
            EXPECT_EQ(TalkCycle(target, F12_KEY, [] { PumpMessagesFor(1500); }),
                      (Payloads{"2|1", "2|0"}));
        }
        EXPECT_EQ(app.Close(), 0) << c.what;
    }
}

// The relay's stop and the last one at close are both taken back by a busy
// voice changer: the stop is sent again after the window is gone.
TEST(TargetFaults, ClosingRightAfterLettingGoOfABusyVoiceChangerStillSilencesIt) {
    StandIn target(L"--busy-ms 4000 --busy-after 2");
    VorrelApp app;
    ASSERT_TRUE(StartWithSilencedTarget(target, app));
    SendKey(VK_F12, true);
    ASSERT_TRUE(target.WaitForLast("2|1", 3000)); // busy from now on
    PumpMessagesFor(100);
    SendKey(VK_F12, false);
    PumpMessagesFor(100);
    EXPECT_EQ(app.Close(15000), 0);
    EXPECT_EQ(target.Payloads().back(), "2|0") << "left transmitting";
}

// A stop still owed must not cut short a talk begun on the window while the
// voice changer was busy: the relay's retry waits while anyone talks.
TEST(TargetFaults, TalkingAgainDuringABusySpellIsNotCutShort) {
    StandIn target(L"--busy-ms 3000 --busy-after 2");
    VorrelApp app;
    ASSERT_TRUE(StartWithSilencedTarget(target, app));
    SendKey(VK_F12, true);
    ASSERT_TRUE(target.WaitForLast("2|1", 3000)); // now it is busy
    SendKey(VK_F12, false);
    // The stop is taken back and owed once the relay gives up on it.
    ASSERT_TRUE(WaitUntil([&] { return app.OffPictureVisible(); }, 3000));
    app.HoldPicture(true); // this start waits until the voice changer is free
    ASSERT_TRUE(target.WaitForCommandCount(3, 5000));
    PumpMessagesFor(1500); // held past the next retry
    EXPECT_EQ(target.Payloads(), (Payloads{"2|0", "2|1", "2|1"})) << "cut short while held";
    EXPECT_FALSE(app.OffPictureVisible());
    ReleaseLeft();
    EXPECT_TRUE(target.WaitForLast("2|0", 3000));
    EXPECT_TRUE(WaitUntil([&] { return app.OffPictureVisible(); }, 3000));
    EXPECT_EQ(app.Close(), 0);
}

// The window itself waits on the hung voice changer; a posted close is handled
// only once that wait is over, so the window goes in time only if it is bounded.
TEST(TargetFaults, HungVoiceChangerNeverKeepsTheWindowFromClosing) {
    StandIn hung(L"--hang-from 2"); // handles the silencing, then hangs for good
    VorrelApp app;
    ASSERT_TRUE(StartWithSilencedTarget(hung, app));
    app.HoldPicture(true);
    ASSERT_TRUE(hung.WaitForCommandCount(2, 3000));
    ReleaseLeft();
    PostMessageW(app.MainWindow(), WM_CLOSE, 0, 0);
    EXPECT_TRUE(WaitUntil([&] { return !IsWindow(app.MainWindow()); }, 4000))
        << "the window waited on the voice changer without bound";
    // The stop it still owes goes with the voice changer.
    hung.Stop();
    EXPECT_EQ(app.Process().WaitForExit(5000), 0);
}

TEST(TargetFaults, SlowTargetGetsEveryCommandInOrderEndingWithTheLastInput) {
    StandIn slow(L"--delay-ms 700"); // slow, but within the bound
    VorrelApp app;
    ASSERT_TRUE(StartWithSilencedTarget(slow, app));

    for (int i = 0; i < 3; ++i) {
        SendKey(VK_F12, true);
        PumpMessagesFor(300);
        SendKey(VK_F12, false);
        PumpMessagesFor(300);
    }
    ASSERT_TRUE(slow.WaitForLast("2|0", 10000));
    PumpMessagesFor(1000); // room for a late start, which would be a fault
    const Payloads got = slow.Payloads();
    ASSERT_GE(got.size(), 3u);
    for (size_t i = 1; i < got.size(); ++i) {
        EXPECT_NE(got[i], got[i - 1]) << "commands alternate, in order, at " << i;
    }
    EXPECT_EQ(got.back(), "2|0") << "the last input was a release";
    EXPECT_TRUE(app.OffPictureVisible());
    EXPECT_EQ(app.Close(10000), 0);
}

// A voice changer busy for longer than one wait takes the start back
// unanswered: it is sent again while the user holds, and the release's stop
// still comes last.
TEST(TargetFaults, StartTakenBackByABusyVoiceChangerIsSentAgainWhileHeld) {
    StandIn target(L"--busy-ms 3000 --busy-after 1");
    VorrelApp app;
    ASSERT_TRUE(StartWithSilencedTarget(target, app));
    // Held as a keyboard does, repeating every 33 ms; busy for 3 s from the silencing on.
    std::atomic<bool> held{true};
    std::thread repeat([&] {
        while (held.load()) {
            SendKey(VK_F12, true);
            Sleep(33);
        }
    });
    EXPECT_TRUE(target.WaitForLast("2|1", 6000)) << "never on air while held";
    held.store(false);
    repeat.join();
    SendKey(VK_F12, false);
    EXPECT_TRUE(target.WaitForLast("2|0", 5000));
    EXPECT_EQ(target.Payloads(), (Payloads{"2|0", "2|1", "2|0"}));
    EXPECT_EQ(app.Close(), 0);
}

} // namespace
