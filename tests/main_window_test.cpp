// The main window created in this process from the real template, with the
// real hooks, relay and presence checks, against the stand-in: input the hooks
// never see, the desk taken away, and how long the window waits.
#include "app/main_window.h"
#include "core/input_hooks.h"
#include "core/shared_state.h"
#include "res/resource.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <tpcshrd.h>
#include <wtsapi32.h>

#include <algorithm>
#include <memory>
#include <thread>

using namespace test_support;

namespace {

const Payloads TALKED = {"2|1", "2|0"};

int g_checksDone = 0; // presence checks the window has finished
LRESULT CALLBACK CountChecks(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HC_ACTION && reinterpret_cast<CWPRETSTRUCT*>(lParam)->message == WM_CHECK_TARGET) {
        ++g_checksDone;
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

class MainWindowInProcess : public ::testing::Test {
  protected:
    void Open(const wchar_t* standInArguments = L"") {
        target = std::make_unique<StandIn>(standInArguments);
        ASSERT_TRUE(target->Start());
        g_hInstance = GetModuleHandleW(nullptr);
        window =
            CreateDialogParamW(g_hInstance, MAKEINTRESOURCEW(IDD_MAIN), nullptr, MainDlgProc, 0);
        ASSERT_NE(window, nullptr);
        InstallInputHooks();
        checkCounter =
            SetWindowsHookExW(WH_CALLWNDPROCRET, CountChecks, nullptr, GetCurrentThreadId());
        ASSERT_TRUE(target->WaitForCommandCount(1, 5000)) << "silenced at the first check";
    }
    void TearDown() override {
        UnhookWindowsHookEx(checkCounter);
        RemoveInputHooks();
        SendMessageW(window, WM_CLOSE, 0, 0);
        MSG quit; // posted by the window's destruction
        PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE);
        g_hotkey = HOTKEY_INITIAL;
        g_talking.store(false);
        g_stopOwed.store(false);
    }

    // Real input goes from another thread: this one runs the hooks.
    static void Input(const std::function<void()>& send) {
        ASSERT_TRUE(RunWhilePumping(5000, send));
    }
    static void Hotkey(const HotkeyInput& hotkey, bool down) {
        Input([&] { hotkey.Send(down); });
    }
    // The left button held on the window: really down, as the window's own
    // checks read it, and the window's message; returns how long it waited.
    ULONGLONG Mouse(bool down) {
        Input([&] { SendMouseButton(down ? MOUSEEVENTF_LEFTDOWN : MOUSEEVENTF_LEFTUP); });
        const ULONGLONG start = GetTickCount64();
        SendMessageW(window, down ? WM_LBUTTONDOWN : WM_LBUTTONUP, 0, 0);
        return GetTickCount64() - start;
    }
    static void WaitForCheck() {
        const int done = g_checksDone;
        ASSERT_TRUE(WaitUntil([&] { return g_checksDone > done; }, 3000));
    }
    double SinceMs(long long from) const {
        return QpcMs(from, target->Commands().back().qpc);
    }

    std::unique_ptr<StandIn> target;
    HWND window = nullptr;
    HHOOK checkCounter = nullptr;
};

// Drops the window's left-button releases, as if another desktop took them.
HWND g_releasesDroppedFor = nullptr;
LRESULT CALLBACK DropReleases(int code, WPARAM wParam, LPARAM lParam) {
    auto* message = reinterpret_cast<MSG*>(lParam);
    if (code == HC_ACTION && message->hwnd == g_releasesDroppedFor &&
        message->message == WM_LBUTTONUP) {
        message->message = WM_NULL;
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

// Windows silently removes a hook that once answered too slowly, and shows
// no input to a hook while another desktop or an elevated window has it.
TEST_F(MainWindowInProcess, ReleaseTheHooksNeverSawEndsTheTalkAndTheHookComesBack) {
    Open();
    struct Case {
        const char* what;
        uint32_t hotkey;
        HotkeyInput input;
        HHOOK* hook; // null: the left button held on the window
    };
    const Case cases[] = {
        {"F12, keyboard hook removed", VK_F12, F12_KEY, &g_keyboardHook},
        {"X button 2, mouse hook removed", 302, X2_BUTTON, &g_mouseHook},
        {"left button, released on another desktop", VK_F12, F12_KEY, nullptr},
    };
    for (const Case& c : cases) {
        g_hotkey = c.hotkey;
        c.hook ? Hotkey(c.input, true) : (Mouse(true), void());
        ASSERT_TRUE(target->WaitForLast("2|1", 3000)) << c.what;
        WaitForCheck(); // held while a presence check reads it down
        const long long letGo = QpcNow();
        if (c.hook) {
            UnhookWindowsHookEx(*c.hook);
            Hotkey(c.input, false);
        } else {
            g_releasesDroppedFor = window;
            HHOOK drop =
                SetWindowsHookExW(WH_GETMESSAGE, DropReleases, nullptr, GetCurrentThreadId());
            Input([] { SendMouseButton(MOUSEEVENTF_LEFTUP); });
            target->WaitForLast("2|0", 3000);
            UnhookWindowsHookEx(drop);
        }
        ASSERT_TRUE(target->WaitForLast("2|0", 3000)) << c.what << ": still transmitting";
        EXPECT_LE(SinceMs(letGo), 2000) << c.what;
        EXPECT_TRUE(WaitUntil([] { return g_indicatorOn == 0; }, 3000)) << c.what;
        EXPECT_EQ(GetCapture(), nullptr) << c.what;
        // The hotkey talks again at once.
        EXPECT_EQ(TalkCycle(*target, [&](bool down) { Hotkey(c.input, down); }), TALKED) << c.what;
    }
}

// Windows updates the key state only once every hook has passed the press on,
// and another program's hook may take up to a second: a press the hooks saw
// that does not show yet is no release.
TEST_F(MainWindowInProcess, PressNotYetInTheKeyStateIsNoRelease) {
    Open();
    PumpMessagesFor(500); // halfway to the next presence check
    KBDLLHOOKSTRUCT press = {};
    press.vkCode = VK_F12; // F12 stays up for Windows
    press.time = GetTickCount();
    const long long pressed = QpcNow();
    KeyboardHookProc(HC_ACTION, WM_KEYDOWN, reinterpret_cast<LPARAM>(&press));
    ASSERT_TRUE(target->WaitForLast("2|1", 3000));
    ASSERT_TRUE(target->WaitForLast("2|0", 4000)) << "a press that never showed still talks";
    EXPECT_GE(SinceMs(pressed), 1000) << "cut while the hook chain may still hold it";
}

// A hook removed while idle is found by a witness of the input it missed.
TEST_F(MainWindowInProcess, HookRemovedWhileIdleIsBackWithinTwoSecondsOfItsFirstMissedInput) {
    Open();
    struct Case {
        const char* what;
        HHOOK* hook;
        std::function<void()> missed;
        uint32_t hotkey;
        HotkeyInput input;
    };
    const Case cases[] = {
        {"keyboard, seen by raw input", &g_keyboardHook, [] { TapKey('A'); }, VK_F12, F12_KEY},
        {"mouse, seen by the cursor while keys come", &g_mouseHook,
         [] {
             POINT at;
             GetCursorPos(&at);
             MoveCursorTo(at.x + 40, at.y + 30);
             TapKey('A'); // the newest input is a key that the keyboard hook saw
         },
         302, X2_BUTTON},
        {"mouse, seen by the hotkey button held while keys come", &g_mouseHook,
         [] {
             X2_BUTTON.Send(true);
             TapKey('A');
         },
         302, X2_BUTTON},
        {"mouse, seen by the last input time", &g_mouseHook,
         [] {
             SendMouseButton(MOUSEEVENTF_MIDDLEDOWN);
             SendMouseButton(MOUSEEVENTF_MIDDLEUP);
         },
         302, X2_BUTTON},
    };
    for (const Case& c : cases) {
        g_hotkey = c.hotkey;
        const HHOOK removed = *c.hook;
        UnhookWindowsHookEx(removed);
        PumpMessagesFor(200); // the missed input must not pass for the last one seen
        Input(c.missed);
        // The bound itself: the handle may come back with the same value.
        WaitUntil([&] { return *c.hook != removed; }, 2000);
        Hotkey(c.input, false);
        EXPECT_EQ(TalkCycle(*target, [&](bool down) { Hotkey(c.input, down); }), TALKED) << c.what;
    }
}

TEST_F(MainWindowInProcess, DeskTakenAwayEndsEveryTalkBeforeTheMessageReturns) {
    Open();
    struct Case {
        const char* what;
        UINT message;
        WPARAM away, back; // back 0: none
        bool mouse;        // the talk is the left button's, else the hotkey's
    };
    const Case cases[] = {
        {"lock", WM_WTSSESSION_CHANGE, WTS_SESSION_LOCK, WTS_SESSION_UNLOCK, false},
        {"console disconnect", WM_WTSSESSION_CHANGE, WTS_CONSOLE_DISCONNECT, WTS_CONSOLE_CONNECT,
         true},
        {"remote disconnect", WM_WTSSESSION_CHANGE, WTS_REMOTE_DISCONNECT, WTS_REMOTE_CONNECT,
         false},
        {"suspend", WM_POWERBROADCAST, PBT_APMSUSPEND, PBT_APMRESUMEAUTOMATIC, true},
        {"log off", WM_ENDSESSION, TRUE, 0, false},
    };
    for (const Case& c : cases) {
        auto hold = [&](bool down) { c.mouse ? Mouse(down) : (Hotkey(F12_KEY, down), 0); };
        hold(true);
        ASSERT_TRUE(target->WaitForLast("2|1", 3000)) << c.what;
        ASSERT_TRUE(WaitUntil([] { return g_indicatorOn == 1; }, 3000)) << c.what;
        g_pendingEvent.store(PENDING_PRESSED); // a key repeat the relay has not yet taken
        SendMessageW(window, c.message, c.away, 0);
        ASSERT_EQ(target->Payloads().back(), "2|0") << c.what << ": not stopped on return";
        EXPECT_EQ(g_indicatorOn, 0) << c.what;
        EXPECT_EQ(GetCapture(), nullptr) << c.what;
        const size_t stopped = target->Commands().size();
        hold(false);

        // The hooks may have gone while the desk was away.
        if (c.back) {
            UnhookWindowsHookEx(g_keyboardHook);
            SendMessageW(window, c.message, c.back, 0);
        }
        EXPECT_EQ(TalkCycle(*target, F12_KEY), TALKED) << c.what;
        const Payloads all = target->Payloads();
        EXPECT_EQ(Payloads(all.begin() + static_cast<std::ptrdiff_t>(stopped), all.end()), TALKED)
            << c.what << ": the stored press or the release sent something";
    }
}

// A presence check nested in a wait for the voice changer must not wait
// again, nor may a capture lost while the press's own start waits: the window
// is blocked for one bound at most, and the lost capture ends the talk.
TEST_F(MainWindowInProcess, SlowVoiceChangerBlocksTheWindowForOneWaitAtMost) {
    Open(L"--delay-ms 1600"); // no command is answered in time: a stop is always owed
    std::thread takeAway([&] {
        target->WaitForLast("2|1", 5000);
        SendMessageTimeoutW(window, WM_CANCELMODE, 0, 0, SMTO_NORMAL, 5000, nullptr);
    });
    ULONGLONG longest = Mouse(true);
    takeAway.join();
    EXPECT_EQ(g_indicatorOn, 0) << "capture lost";
    EXPECT_TRUE(target->WaitForLast("2|0", 5000)) << "capture lost: still transmitting";
    Mouse(false);
    longest = std::max(longest, Mouse(true));
    longest = std::max(longest, Mouse(false));
    std::printf("longest block of the window: %llu ms\n", longest);
    EXPECT_LE(longest, 1900u); // one 1.5 s wait; a second makes it 2.3 s or more
}

// While the relay's stop is on its way the picture still shows ON; a press
// on it must talk all the same.
TEST_F(MainWindowInProcess, PressOnTheWindowDuringASlowStopTalks) {
    Open(L"--delay-ms 700");
    Hotkey(F12_KEY, true);
    ASSERT_TRUE(target->WaitForLast("2|1", 3000));
    Hotkey(F12_KEY, false);
    ASSERT_TRUE(target->WaitForLast("2|0", 3000)); // received; handled 700 ms later
    Mouse(true);
    EXPECT_EQ(target->Payloads(), (Payloads{"2|0", "2|1", "2|0", "2|1"}));
    EXPECT_EQ(g_indicatorOn, 1);
    Mouse(false);
    EXPECT_EQ(target->Payloads().back(), "2|0");
    EXPECT_EQ(g_indicatorOn, 0);
}

// A finger may never read as the left button down: its hold lasts until it
// lifts, and Windows is asked not to turn it into a right click.
TEST_F(MainWindowInProcess, TouchCanHoldTheButton) {
    Open();
    EXPECT_EQ(SendMessageW(window, WM_TABLET_QUERYSYSTEMGESTURESTATUS, 0, 0) &
                  TABLET_DISABLE_PRESSANDHOLD,
              TABLET_DISABLE_PRESSANDHOLD);
    SendMessageW(window, WM_LBUTTONDOWN, 0, 0);
    WaitForCheck(); // reads the button up
    WaitForCheck(); // and up again
    EXPECT_EQ(target->Payloads(), (Payloads{"2|0", "2|1"})) << "cut while held";
    SendMessageW(window, WM_LBUTTONUP, 0, 0);
    EXPECT_EQ(target->Payloads().back(), "2|0");
}

} // namespace
