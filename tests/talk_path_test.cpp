// The talk switch and the relay in-process against the stand-in voice changer
// running as its own process, last fed by real input through the hooks.
#include "core/event_relay.h"
#include "core/input_hooks.h"
#include "core/missed_input.h"
#include "core/presence_monitor.h"
#include "core/shared_state.h"
#include "core/talk_switch.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <optional>
#include <thread>

using namespace test_support;

namespace {

// The longest a user should wait on a voice changer that never answers.
constexpr ULONGLONG LONGEST_WAIT_MS = 2000;

class TalkPath : public ::testing::Test {
  protected:
    void SetUp() override {
        g_mainDlg.store(probe.Window());
    }
    // Whatever a failed test left running stays with it; what it left owed,
    // the tests' main clears.
    void TearDown() override {
        RemoveInputHooks();
    }

    // Runs SetTalking on a worker while this thread keeps serving the
    // notifications it sends; what it returned, or nothing when it took longer.
    static std::optional<bool> SetTalkingWithin(DWORD limitMs, bool on) {
        auto sent = std::make_shared<std::atomic<bool>>(false);
        const bool done = RunWhilePumping(limitMs, [sent, on] { sent->store(SetTalking(on)); });
        return done ? std::optional<bool>(sent->load()) : std::nullopt;
    }

    // Stands in for the main window.
    MessageProbe probe;
};

// From the switch, the relay and real F12 through the hooks until they come out.
TEST_F(TalkPath, EachChangeSendsOneCommandAndAHandledOneSettlesTheTalk) {
    StandIn target;
    ASSERT_TRUE(target.Start());

    EXPECT_FALSE(SetTalking(false)) << "stop while silent";
    SilenceThroughRelay(); // a stop owed, as to a voice changer just seen
    EXPECT_TRUE(CommandOwed());
    EXPECT_TRUE(SetTalking(true));
    EXPECT_FALSE(CommandOwed()) << "a handled start";
    EXPECT_FALSE(SetTalking(true)) << "auto-repeat";
    EXPECT_TRUE(SetTalking(false));
    EXPECT_FALSE(CommandOwed()) << "a handled stop";
    EXPECT_FALSE(SetTalking(false));
    // Sent from this thread, the notifications were handled before SetTalking returned.
    EXPECT_EQ(probe.Received(), (std::vector<UINT>{WM_TALK_STARTED, WM_TALK_STOPPED}));

    EXPECT_FALSE(RelayPendingEvent()) << "nothing pending";
    g_pendingEvent.store(PENDING_PRESSED);
    EXPECT_TRUE(RelayPendingEvent());
    EXPECT_EQ(g_pendingEvent.load(), PENDING_NONE) << "the event is consumed";
    g_pendingEvent.store(PENDING_PRESSED);
    EXPECT_FALSE(RelayPendingEvent()) << "a key's auto-repeat sent a command";
    g_pendingEvent.store(PENDING_RELEASED);
    EXPECT_TRUE(RelayPendingEvent());
    EXPECT_EQ(target.Payloads(), (Payloads{"2|1", "2|0", "2|1", "2|0"}));

    const size_t notified = probe.Received().size();
    InstallInputHooks();
    ASSERT_NE(g_mouseHook, nullptr) << "F12 below tells of the keyboard's";

    // SendInput from another thread: this one must stay free to run the hooks.
    auto hold = [](bool down) { ASSERT_TRUE(RunWhilePumping(5000, [down] { F12_KEY(down); })); };
    EXPECT_EQ(TalkCycle(target, hold), (Payloads{"2|1", "2|0"}));
    // The relay waits on this thread for the window to be told; the stop below does not pump.
    EXPECT_TRUE(WaitUntil([&] { return probe.Received().size() == notified + 2; }, 3000));

    EXPECT_TRUE(RemoveInputHooks()) << "the relay did not stop";
}

// Only the window with both the class and the title is the voice changer.
TEST_F(TalkPath, DecoysGetNothingAndWithoutTheVoiceChangerTheStateStaysSilent) {
    // A stand-in's start and end wait on the voice changer's window, so that
    // one starts first and, declared last, ends first.
    StandIn otherTitle(L"--title Decoy"), otherClass(L"--class DECOY"), target;
    ASSERT_TRUE(target.Start() && otherTitle.Start() && otherClass.Start());
    auto decoysShown = [] {
        return FindWindowW(TARGET_WINDOW_CLASS, L"Decoy") &&
               FindWindowW(L"DECOY", TARGET_WINDOW_TITLE);
    };
    ASSERT_TRUE(WaitUntil(decoysShown, 10000));
    target.Stop();

    EXPECT_FALSE(SetTalking(true));
    EXPECT_FALSE(IsTalking());
    g_talking.store(NextTalk(0, true)); // a stop whose voice changer has vanished
    EXPECT_FALSE(SetTalking(false));
    EXPECT_FALSE(IsTalking());
    EXPECT_TRUE(probe.Received().empty());

    ASSERT_TRUE(target.Start());
    EXPECT_TRUE(SetTalking(true));
    EXPECT_TRUE(SetTalking(false));
    // What is owed goes only to the window the presence check saw: it silences a new one.
    SilenceThroughRelay();
    SendOwedCommand();
    EXPECT_EQ(target.Payloads(), (Payloads{"2|1", "2|0"}));
    // Another program's window in front, with the same rights, hides nothing.
    ASSERT_TRUE(BringToFront(FindTargetWindow()));
    EXPECT_FALSE(g_foregroundHidesInput());
    EXPECT_EQ(otherTitle.Payloads(), Payloads{});
    EXPECT_EQ(otherClass.Payloads(), Payloads{});
}

// Each command takes the voice changer 500 ms: the start waits for it, and a
// second start meanwhile sends nothing.
TEST_F(TalkPath, SlowVoiceChangerIsWaitedForAndGetsOneStartFromTwoAtOnce) {
    StandIn target(L"--delay-ms 500");
    ASSERT_TRUE(target.Start());

    auto sent = std::make_shared<std::atomic<int>>(0);
    const ULONGLONG start = GetTickCount64();
    ASSERT_TRUE(RunWhilePumping(10000, [sent] {
        auto talk = [sent] { sent->fetch_add(SetTalking(true) ? 1 : 0); };
        std::thread first(talk), second(talk);
        first.join();
        second.join();
    }));
    EXPECT_GE(GetTickCount64() - start, 450u);
    EXPECT_EQ(sent->load(), 1);
    EXPECT_EQ(target.Payloads(), (Payloads{"2|1"}));
    EXPECT_EQ(probe.Received(), (std::vector<UINT>{WM_TALK_STARTED}));
}

// A voice changer is silenced once as each new window of it appears, even
// between two checks, and by the relay: here the check comes while a start
// is on its way, so that start settles nothing and the stop follows it.
TEST_F(TalkPath, EachNewVoiceChangerWindowIsSilencedOnceBehindWhatIsOnItsWay) {
    auto first = std::make_shared<StandIn>(L"--delay-ms 300");
    ASSERT_TRUE(first->Start());
    ASSERT_TRUE(RunWhilePumping(10000, [first] {
        std::thread relay([] { SetTalking(true); });
        first->WaitForCommandCount(1, 5000);
        CheckTargetPresence(g_mainDlg.load());
        relay.join();
    }));
    EXPECT_EQ(first->Payloads(), (Payloads{"2|1"})) << "the check waited on the voice changer";
    EXPECT_FALSE(IsTalking());
    SendOwedCommand();
    CheckTargetPresence(g_mainDlg.load());
    SendOwedCommand();
    EXPECT_EQ(first->Payloads(), (Payloads{"2|1", "2|0"})) << "silenced once";
    EXPECT_FALSE(CommandOwed());

    first->Stop();
    StandIn second; // no check in between
    ASSERT_TRUE(second.Start());
    CheckTargetPresence(g_mainDlg.load());
    SendOwedCommand();
    EXPECT_EQ(second.Payloads(), (Payloads{"2|0"}));
}

// The presence thread serves the window it was started for and ends with it,
// even when another takes its place at once: two would check twice as often.
TEST_F(TalkPath, PresenceThreadEndsWithItsWindowEvenWhenAnotherTakesItsPlace) {
    MessageProbe first, next;
    g_mainDlg.store(first.Window());
    HANDLE thread = CreateThread(nullptr, 0, MonitorThreadProc, nullptr, 0, nullptr);
    ASSERT_TRUE(WaitUntil([&] { return !first.Received().empty(); }, 3000));
    g_mainDlg.store(next.Window());
    EXPECT_TRUE(WaitUntil([&] { return WaitForSingleObject(thread, 0) == WAIT_OBJECT_0; }, 2000));
    CloseHandle(thread);
}

// A command the relay sends again while the user lets go or presses on the
// window is still in its handler when the window's own is handled, and is
// acted on after it: the window's, sent beside another, settles nothing, and
// the relay sends what the user wants once more.
TEST_F(TalkPath, CommandSentAgainWhileTheUserActsOnTheWindowIsFollowedByTheUsers) {
    for (bool on : {true, false}) {
        auto target = std::make_shared<StandIn>(L"--serve-first-ms 1800");
        ASSERT_TRUE(target->Start());
        g_targetSeen.store(FindTargetWindow());
        g_talking.store(NextTalk(g_talkHandled.load(), on)); // owed
        ASSERT_TRUE(RunWhilePumping(10000, [target, on] {
            std::thread relay([] { SendOwedCommand(); });
            StandIn::WaitUntilServing(5000); // the relay's, not yet acted on
            SetTalking(!on);                 // the window's own
            relay.join();
        }));
        StartEventRelay();
        EXPECT_TRUE(target->WaitForCommandCount(3, 5000)) << on;
        EXPECT_TRUE(StopEventRelay());
        const std::string want = on ? "2|0" : "2|1", sentAgain = on ? "2|1" : "2|0";
        EXPECT_EQ(target->Payloads(), (Payloads{want, sentAgain, want})) << on;
        EXPECT_FALSE(CommandOwed()) << on;
    }
}

// A command the target never handled may or may not arrive: it counts as
// done, so that the release sends a stop, but stays owed. One the target
// died on did not arrive.
TEST_F(TalkPath, UnansweredCommandCountsAsSentAndStaysOwedDeadTargetGotNothing) {
    StandIn target(L"--hang-from 1");
    ASSERT_TRUE(target.Start());
    // Every wait of the stopper is bounded, so joining it is safe.
    std::thread stopper([&] {
        WaitUntil([&] { return !target.Commands().empty(); }, 5000);
        target.Stop();
    });
    const std::optional<bool> sent = SetTalkingWithin(10000, true);
    stopper.join();
    ASSERT_EQ(target.Payloads(), (Payloads{"2|1"})) << "the start never reached the handler";
    ASSERT_EQ(sent, false) << "SetTalking hung or counted the start as sent";
    EXPECT_FALSE(IsTalking());
    EXPECT_TRUE(probe.Received().empty());

    ASSERT_TRUE(target.Start());
    for (bool on : {true, false}) {
        ASSERT_EQ(SetTalkingWithin(LONGEST_WAIT_MS, on), true) << on << ": too slow or not sent";
        EXPECT_EQ(IsTalking(), on);
        EXPECT_TRUE(CommandOwed()) << on;
    }
    EXPECT_EQ(probe.Received(), (std::vector<UINT>{WM_TALK_STARTED, WM_TALK_STOPPED}));
    EXPECT_EQ(target.Payloads(), (Payloads{"2|1"})) << "only the first reached the handler";
}

// An owed stop goes out again a second after the last try gave up, not at
// every nap of the relay, so that a busy voice changer is not kept busier.
TEST_F(TalkPath, RelaySendsAnOwedStopAgainASecondAfterTheLastTry) {
    StandIn target(L"--delay-ms 1600"); // slower than any wait: the stop stays owed
    ASSERT_TRUE(target.Start());
    g_targetSeen.store(FindTargetWindow());
    SilenceThroughRelay();
    StartEventRelay();
    ASSERT_TRUE(target.WaitForCommandCount(2, 10000));
    EXPECT_TRUE(StopEventRelay());
    const std::vector<ReceivedCommand> got = target.Commands();
    EXPECT_GE(QpcMs(got[0].qpc, got[1].qpc), 2000) << "sent again before a second had passed";
}

} // namespace
