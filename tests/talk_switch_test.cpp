// SetTalking against the stand-in voice changer running as its own process.
#include "core/shared_state.h"
#include "core/talk_switch.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <thread>

using test_support::StandIn;
using test_support::WaitUntil;

namespace {

using Payloads = std::vector<std::string>;

class TalkSwitch : public ::testing::Test {
  protected:
    void SetUp() override {
        g_talking.store(false);
        g_stopOwed.store(false);
        g_mainDlg.store(probe.Window());
    }
    void TearDown() override {
        g_mainDlg.store(nullptr);
        g_talking.store(false);
    }

    struct Timed {
        bool returned, sent;
        ULONGLONG elapsedMs;
    };
    // Runs SetTalking on a worker while this thread keeps serving the
    // notifications it sends.
    static Timed TimedSetTalking(bool on) {
        auto sent = std::make_shared<std::atomic<bool>>(false);
        const ULONGLONG start = GetTickCount64();
        const bool returned =
            test_support::RunWhilePumping(10000, [sent, on] { sent->store(SetTalking(on)); });
        return {returned, sent->load(), GetTickCount64() - start};
    }

    // Stands in for the main window.
    test_support::MessageProbe probe{{WM_TALK_STARTED, WM_TALK_STOPPED}};
};

TEST_F(TalkSwitch, CommandIsThreeBytesWithId42AndNoTerminator) {
    StandIn target;
    ASSERT_TRUE(target.Start());

    g_stopOwed.store(true);
    EXPECT_TRUE(SetTalking(true));
    EXPECT_TRUE(g_talking.load());
    EXPECT_FALSE(g_stopOwed.load()) << "a handled start settles the stop owed";
    EXPECT_TRUE(SetTalking(false));
    EXPECT_FALSE(g_talking.load());
    EXPECT_FALSE(g_stopOwed.load()) << "a handled stop owes nothing";

    const auto commands = target.Commands();
    ASSERT_EQ(commands.size(), 2u);
    for (const auto& command : commands) {
        EXPECT_EQ(command.id, 42u);
        EXPECT_EQ(command.bytes, 3u);
    }
    EXPECT_EQ(commands[0].data, std::string("2|1", 3));
    EXPECT_EQ(commands[1].data, std::string("2|0", 3));
    // Sent from this thread, the notifications were handled before SetTalking returned.
    EXPECT_EQ(probe.Received(), (std::vector<UINT>{WM_TALK_STARTED, WM_TALK_STOPPED}));
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
    EXPECT_EQ(probe.Received().size(), 2u);
}

TEST_F(TalkSwitch, AbsentTargetGetsNothingAndStateStaysSilent) {
    ASSERT_EQ(test_support::FindTargetWindow(), nullptr);
    EXPECT_FALSE(SetTalking(true));
    EXPECT_FALSE(g_talking.load());

    // A stop whose target has vanished clears the state without a notification.
    g_talking.store(true);
    EXPECT_FALSE(SetTalking(false));
    EXPECT_FALSE(g_talking.load());
    EXPECT_TRUE(probe.Received().empty());
}

TEST_F(TalkSwitch, SimultaneousStartsSendOnce) {
    StandIn target;
    ASSERT_TRUE(target.Start());

    for (int round = 0; round < 20; ++round) {
        auto sent = std::make_shared<std::atomic<int>>(0);
        auto race = [sent] {
            std::atomic<bool> go{false};
            auto racer = [&] {
                while (!go.load()) {
                }
                sent->fetch_add(SetTalking(true) ? 1 : 0);
            };
            std::thread first(racer), second(racer);
            go.store(true);
            first.join();
            second.join();
        };
        ASSERT_TRUE(test_support::RunWhilePumping(10000, race)) << "round " << round << " hung";
        EXPECT_EQ(sent->load(), 1) << "round " << round;
        ASSERT_TRUE(SetTalking(false));
    }
    EXPECT_EQ(target.Commands().size(), 40u);
}

TEST_F(TalkSwitch, SlowTargetIsWaitedFor) {
    StandIn target(L"--delay-ms 500");
    ASSERT_TRUE(target.Start());

    const Timed start = TimedSetTalking(true);
    ASSERT_TRUE(start.returned) << "SetTalking hung";
    EXPECT_TRUE(start.sent);
    EXPECT_GE(start.elapsedMs, 450u);
    EXPECT_LT(start.elapsedMs, TALK_SEND_TIMEOUT_MS + 0u);
    EXPECT_EQ(probe.Received(), (std::vector<UINT>{WM_TALK_STARTED}));
}

// A command the target never handled may or may not arrive: a start counts as
// talking, so that the release sends a stop; a stop shows OFF but stays owed.
TEST_F(TalkSwitch, UnansweredStartCountsAsTalkingAndUnansweredStopStaysOwed) {
    StandIn target(L"--hang-from 1");
    ASSERT_TRUE(target.Start());

    const Timed start = TimedSetTalking(true);
    ASSERT_TRUE(start.returned) << "SetTalking hung";
    EXPECT_TRUE(start.sent);
    EXPECT_LT(start.elapsedMs, TALK_SEND_TIMEOUT_MS + 1000u);
    EXPECT_TRUE(g_talking.load());
    EXPECT_FALSE(g_stopOwed.load()) << "an unanswered start owes nothing";
    EXPECT_EQ(probe.Received(), (std::vector<UINT>{WM_TALK_STARTED}));

    const Timed stop = TimedSetTalking(false);
    ASSERT_TRUE(stop.returned) << "SetTalking hung";
    EXPECT_TRUE(stop.sent);
    EXPECT_LT(stop.elapsedMs, TALK_SEND_TIMEOUT_MS + 1000u);
    EXPECT_FALSE(g_talking.load());
    EXPECT_TRUE(g_stopOwed.load()) << "the stop is owed";

    // Sent again on request, and still owed while the target does not answer.
    ASSERT_TRUE(test_support::RunWhilePumping(10000, [] { SendOwedStop(); }));
    EXPECT_TRUE(g_stopOwed.load());
    EXPECT_EQ(probe.Received(), (std::vector<UINT>{WM_TALK_STARTED, WM_TALK_STOPPED}));
    EXPECT_EQ(target.Payloads(), (Payloads{"2|1"})) << "only the first reached the handler";
}

TEST_F(TalkSwitch, TargetThatDiesDuringTheSendCountsAsNothingSent) {
    StandIn target(L"--hang-from 1");
    ASSERT_TRUE(target.Start());

    // Every wait of the stopper is bounded, so joining it is safe.
    std::thread stopper([&] {
        WaitUntil([&] { return !target.Commands().empty(); }, 5000);
        target.Stop();
    });
    const Timed start = TimedSetTalking(true);
    stopper.join();
    ASSERT_EQ(target.Payloads(), (Payloads{"2|1"})) << "the start never reached the handler";
    ASSERT_TRUE(start.returned) << "SetTalking hung";

    EXPECT_FALSE(start.sent);
    EXPECT_FALSE(g_talking.load());
    EXPECT_TRUE(probe.Received().empty());
}

} // namespace
