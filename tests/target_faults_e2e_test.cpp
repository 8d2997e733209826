// The real program against a stand-in voice changer that misbehaves.
#include "core/talk_switch.h"
#include "res/resource.h"
#include "vorrel_app.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

using namespace test_support;

namespace {

// An owed command goes out about a second after the wait that gave up on it.
constexpr int OWED_RETRY_MS = 1000;

// A wait that gives up takes back a command the voice changer had not begun to
// handle. Whatever was taken back is sent again once it is free, soon and
// once, and a talk begun meanwhile is not cut short.
TEST(TargetFaults, CommandsTakenBackByABusyVoiceChangerAreSentAgainOnceItIsFree) {
    auto key = [](VorrelApp&, bool down) { SendKey(VK_F12, down); };
    auto picture = [](VorrelApp& app, bool down) { app.HoldPicture(down); };
    struct Case {
        const char* what;
        int busyMs, busyAfter;                      // busy once it has handled that many commands
        std::function<void(VorrelApp&, bool)> hold; // null: the stop is the first silencing
        bool repeats, talkAgain; // the key repeats while held; the window talks while it is busy
        Payloads all;
    };
    const Case cases[] = {
        {"hotkey released", 2000, 2, key, false, false, {"2|0", "2|1", "2|0"}},
        {"left button let go of", 2000, 2, picture, false, false, {"2|0", "2|1", "2|0"}},
        {"busy as it appears", 2000, 0, nullptr, false, false, {"2|0"}},
        // The relay's retry of the stop waits while anyone talks.
        {"talking again on the window", 3000, 2, key, false, true, {"2|0", "2|1", "2|1", "2|0"}},
        // Busy for longer than one wait from the silencing on: the start is
        // sent again while held, and the release's stop still comes last.
        {"start taken back, the key repeating", 3000, 1, key, true, false, {"2|0", "2|1", "2|0"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        StandIn target(L"--busy-ms " + std::to_wstring(c.busyMs) + L" --busy-after " +
                       std::to_wstring(c.busyAfter));
        VorrelApp app;
        ASSERT_TRUE(target.Start());
        long long letGo = QpcNow();
        ASSERT_TRUE(app.Start());
        if (c.hold) {
            ASSERT_TRUE(target.WaitForCommandCount(1, 5000));
            c.hold(app, true);
            // As a keyboard does, every 33 ms.
            for (int i = 0; c.repeats && i < 180 && !target.WaitForLast("2|1", 0); ++i) {
                SendKey(VK_F12, true);
                PumpMessagesFor(33);
            }
            ASSERT_TRUE(target.WaitForLast("2|1", 6000)) << "never on air while held";
            letGo = QpcNow();
            c.hold(app, false);
        }
        if (c.talkAgain) {
            // The stop is taken back and owed once the relay gives up on it.
            ASSERT_TRUE(WaitUntil([&] { return app.OffPictureVisible(); }, 3000));
            app.HoldPicture(true); // this start waits until the voice changer is free
            ASSERT_TRUE(target.WaitForCommandCount(3, 5000));
            PumpMessagesFor(1500); // held past the next retry
            EXPECT_EQ(target.Payloads(), (Payloads{"2|0", "2|1", "2|1"})) << "cut short while held";
            EXPECT_FALSE(app.OffPictureVisible());
            letGo = QpcNow();
            ReleaseLeft();
        }
        ASSERT_TRUE(target.WaitForLast("2|0", 6000)) << "still transmitting";
        const double ms = QpcMs(letGo, target.Commands().back().qpc);
        // No wait gives up after the busy spell, and the retry follows the
        // last give-up by a second; one more wait is slack for when it starts.
        EXPECT_LE(ms, c.busyMs + TALK_SEND_TIMEOUT_MS + OWED_RETRY_MS) << "sent again late";
        EXPECT_EQ(target.Payloads(), c.all);
        EXPECT_TRUE(WaitUntil([&] { return app.OffPictureVisible(); }, 3000));
        // Paid once: the next retry does not cut a new talk short. The debt
        // is the same whichever way it was run up.
        if (&c == cases) {
            EXPECT_EQ(TalkCycle(target, F12_KEY, [] { PumpMessagesFor(1500); }), TALKED);
        }
        EXPECT_EQ(app.Close(), 0);
    }
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

} // namespace
