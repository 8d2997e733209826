// SetTalking against the stand-in voice changer running as its own process.
#include "core/shared_state.h"
#include "core/talk_switch.h"
#include "talk_window_probe.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

using test_support::StandIn;
using test_support::WaitUntil;

namespace {

using Payloads = std::vector<std::string>;

class TalkSwitch : public ::testing::Test {
  protected:
    void SetUp() override {
        g_talking.store(false);
        g_mainDlg.store(probe.Window());
    }
    void TearDown() override {
        g_mainDlg.store(nullptr);
        g_talking.store(false);
    }

    // Runs SetTalking on a worker thread while this thread keeps serving the
    // notifications it sends; returns the result and how long it took.
    static bool TimedSetTalking(bool on, ULONGLONG* elapsedMs) {
        std::atomic<int> result{-1};
        const ULONGLONG start = GetTickCount64();
        std::thread worker([&] { result.store(SetTalking(on) ? 1 : 0); });
        WaitUntil([&] { return result.load() != -1; }, 20000);
        worker.join();
        *elapsedMs = GetTickCount64() - start;
        return result.load() == 1;
    }

    TalkWindowProbe probe;
};

TEST_F(TalkSwitch, CommandIsThreeBytesWithId42AndNoTerminator) {
    StandIn target;
    ASSERT_TRUE(target.Start());

    EXPECT_TRUE(SetTalking(true));
    EXPECT_TRUE(g_talking.load());
    EXPECT_TRUE(SetTalking(false));
    EXPECT_FALSE(g_talking.load());

    const auto commands = target.Commands();
    ASSERT_EQ(commands.size(), 2u);
    for (const auto& command : commands) {
        EXPECT_EQ(command.id, 42u);
        EXPECT_EQ(command.bytes, 3u);
    }
    EXPECT_EQ(commands[0].data, std::string("2|1", 3));
    EXPECT_EQ(commands[1].data, std::string("2|0", 3));
    // Sent from this thread, the notifications were handled before SetTalking returned.
    EXPECT_EQ(probe.notifications, (std::vector<UINT>{WM_TALK_STARTED, WM_TALK_STOPPED}));
}

TEST_F(TalkSwitch, RepeatedStartsAndStopsSendOnce) {
    StandIn target;
    ASSERT_TRUE(target.Start());

    EXPECT_FALSE(SetTalking(false)) << "stop while silent";
    EXPECT_TRUE(SetTalking(true));
    EXPECT_FALSE(SetTalking(true)) << "auto-repeat";
    EXPECT_TRUE(SetTalking(false));
    EXPECT_FALSE(SetTalking(false));

    EXPECT_EQ(target.Payloads(), (Payloads{"2|1", "2|0"}));
    EXPECT_EQ(probe.notifications.size(), 2u);
}

TEST_F(TalkSwitch, AbsentTargetGetsNothingAndStateStaysSilent) {
    ASSERT_EQ(test_support::FindTargetWindow(), nullptr);
    EXPECT_FALSE(SetTalking(true));
    EXPECT_FALSE(g_talking.load());

    // A stop whose target has vanished clears the state without a notification.
    g_talking.store(true);
    EXPECT_FALSE(SetTalking(false));
    EXPECT_FALSE(g_talking.load());
    EXPECT_TRUE(probe.notifications.empty());
}

TEST_F(TalkSwitch, SimultaneousStartsSendOnce) {
    StandIn target;
    ASSERT_TRUE(target.Start());

    for (int round = 0; round < 20; ++round) {
        std::atomic<bool> go{false};
        std::atomic<int> sent{0};
        std::atomic<int> finished{0};
        auto racer = [&] {
            while (!go.load()) {
            }
            if (SetTalking(true)) {
                sent.fetch_add(1);
            }
            finished.fetch_add(1);
        };
        std::thread first(racer);
        std::thread second(racer);
        go.store(true);
        WaitUntil([&] { return finished.load() == 2; }, 10000);
        first.join();
        second.join();
        EXPECT_EQ(sent.load(), 1) << "round " << round;
        ASSERT_TRUE(SetTalking(false));
    }
    EXPECT_EQ(target.Commands().size(), 40u);
}

TEST_F(TalkSwitch, SlowTargetIsWaitedFor) {
    StandIn target(L"--delay-ms 1000");
    ASSERT_TRUE(target.Start());

    ULONGLONG elapsed = 0;
    EXPECT_TRUE(TimedSetTalking(true, &elapsed));
    EXPECT_GE(elapsed, 950u);
    EXPECT_LT(elapsed, TALK_SEND_TIMEOUT_MS + 0u);
    EXPECT_EQ(probe.notifications, (std::vector<UINT>{WM_TALK_STARTED}));
}

TEST_F(TalkSwitch, HungTargetIsGivenUpOnButCountsAsSent) {
    StandIn target(L"--hang-from 1");
    ASSERT_TRUE(target.Start());

    ULONGLONG elapsed = 0;
    EXPECT_TRUE(TimedSetTalking(true, &elapsed));
    EXPECT_LT(elapsed, TALK_SEND_TIMEOUT_MS + 1000u);
    EXPECT_TRUE(g_talking.load());
    EXPECT_EQ(probe.notifications, (std::vector<UINT>{WM_TALK_STARTED}));

    // The stop is queued behind the stuck start, so the target goes silent if it recovers.
    EXPECT_TRUE(TimedSetTalking(false, &elapsed));
    EXPECT_LT(elapsed, TALK_SEND_TIMEOUT_MS + 1000u);
    EXPECT_FALSE(g_talking.load());
    EXPECT_EQ(probe.notifications, (std::vector<UINT>{WM_TALK_STARTED, WM_TALK_STOPPED}));
    EXPECT_EQ(target.Payloads(), (Payloads{"2|1"})) << "only the first reached the handler";
}

TEST_F(TalkSwitch, TargetThatDiesDuringTheSendCountsAsNothingSent) {
    StandIn target(L"--hang-from 1");
    ASSERT_TRUE(target.Start());

    std::atomic<int> result{-1};
    std::thread worker([&] { result.store(SetTalking(true) ? 1 : 0); });
    ASSERT_TRUE(WaitUntil([&] { return !target.Commands().empty(); }, 5000));
    target.Stop();
    WaitUntil([&] { return result.load() != -1; }, 10000);
    worker.join();

    EXPECT_EQ(result.load(), 0);
    EXPECT_FALSE(g_talking.load());
    EXPECT_TRUE(probe.notifications.empty());
}

} // namespace
