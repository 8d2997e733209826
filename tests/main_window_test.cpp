// The main window created in this process from the real template, with the
// real hooks, relay and presence checks, against the stand-in: input the hooks
// never see, the desk taken away, and how long the window waits.
#include "app/main_window.h"
#include "core/input_hooks.h"
#include "core/missed_input.h"
#include "core/shared_state.h"
#include "core/talk_switch.h"
#include "res/resource.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <tpcshrd.h>
#include <wtsapi32.h>

#include <atomic>
#include <memory>
#include <optional>
#include <random>
#include <thread>

using namespace test_support;

namespace {

// Presence checks the window has had (each is done before this thread looks
// again), and whether it has begun to handle a press.
int g_checksDone = 0;
std::atomic<bool> g_pressBegun{false};
LRESULT CALLBACK NoteMessages(int code, WPARAM wParam, LPARAM lParam) {
    const UINT message = code == HC_ACTION ? reinterpret_cast<CWPSTRUCT*>(lParam)->message : 0;
    g_checksDone += message == WM_CHECK_TARGET ? 1 : 0;
    g_pressBegun.store(g_pressBegun.load() || message == WM_LBUTTONDOWN);
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

// The real button's own messages never reach the window: the test sends its
// own, so that each press is one the test chose.
HWND g_clicksDroppedFor = nullptr;
LRESULT CALLBACK DropRealClicks(int code, WPARAM wParam, LPARAM lParam) {
    auto* message = reinterpret_cast<MSG*>(lParam);
    if (code == HC_ACTION && message->hwnd == g_clicksDroppedFor &&
        message->message >= WM_LBUTTONDOWN && message->message <= WM_LBUTTONDBLCLK) {
        message->message = WM_NULL;
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

class MainWindowInProcess : public ::testing::Test {
  protected:
    void Open(const wchar_t* standInArguments = L"") {
        target = std::make_unique<StandIn>(standInArguments);
        ASSERT_TRUE(target->Start());
        window =
            CreateDialogParamW(g_hInstance, MAKEINTRESOURCEW(IDD_MAIN), nullptr, MainDlgProc, 0);
        ASSERT_NE(window, nullptr);
        // Shown and in front, so that a real click lands on it and not on the desktop.
        ShowWindow(window, SW_SHOW);
        ASSERT_TRUE(BringToFront(window));
        g_clicksDroppedFor = window;
        clickDropper =
            SetWindowsHookExW(WH_GETMESSAGE, DropRealClicks, nullptr, GetCurrentThreadId());
        InstallInputHooks();
        noter = SetWindowsHookExW(WH_CALLWNDPROC, NoteMessages, nullptr, GetCurrentThreadId());
        ASSERT_TRUE(target->WaitForCommandCount(1, 5000)) << "silenced at the first check";
        // Handled, not just received: a press beside it could not know which came first.
        ASSERT_TRUE(WaitUntil([] { return !CommandOwed(); }, 3000));
    }
    // Whatever a failed test left owed stays with it; the keys and buttons it
    // left down and the shared state, the tests' main puts back.
    void TearDown() override {
        UnhookWindowsHookEx(noter);
        RemoveInputHooks();
        SendMessageW(window, WM_CLOSE, 0, 0);
        UnhookWindowsHookEx(clickDropper);
        g_foregroundHidesInput = realForegroundQuery;
    }

    // Real input goes from another thread: this one runs the hooks.
    static void Input(const std::function<void()>& send) {
        ASSERT_TRUE(RunWhilePumping(5000, send));
    }
    static void Hotkey(const HotkeyInput& hotkey, bool down) {
        Input([&] { hotkey.Send(down); });
    }
    // The button really down on the picture, as the window's own checks read
    // it (the physical right one when they are swapped), and the window's
    // message unless the release goes elsewhere.
    void Mouse(bool down, bool message = true) {
        RECT picture;
        GetWindowRect(GetDlgItem(window, IDC_IMAGE_OFF), &picture);
        const bool swapped = GetSystemMetrics(SM_SWAPBUTTON) != 0;
        const DWORD physical = swapped ? (down ? MOUSEEVENTF_RIGHTDOWN : MOUSEEVENTF_RIGHTUP)
                                       : (down ? MOUSEEVENTF_LEFTDOWN : MOUSEEVENTF_LEFTUP);
        Input([&] {
            MoveCursorTo((picture.left + picture.right) / 2, (picture.top + picture.bottom) / 2);
            SendMouse(physical);
        });
        if (message) {
            SendMessageW(window, down ? WM_LBUTTONDOWN : WM_LBUTTONUP, 0, 0);
        }
    }
    static void WaitForChecks(int count = 1) {
        const int done = g_checksDone;
        ASSERT_TRUE(WaitUntil([&] { return g_checksDone >= done + count; }, 3000 * count));
    }
    // Once nothing is owed, the voice changer's last command is what the
    // user wants and the picture shows it.
    void ExpectSettledOn(bool on, const std::string& what) {
        ASSERT_TRUE(WaitUntil(
            [] { return g_pendingEvent.load() == PENDING_NONE && !CommandOwed(); }, 10000))
            << what << ": never settled";
        EXPECT_EQ(IsTalking(), on) << what;
        EXPECT_TRUE(target->WaitForLast(on ? "2|1" : "2|0", 3000)) << what << ": left otherwise";
        EXPECT_TRUE(WaitUntil([&] { return g_indicatorOn == (on ? 1 : 0); }, 3000))
            << what << ": the picture shows otherwise";
    }

    std::unique_ptr<StandIn> target;
    HWND window = nullptr;
    HHOOK noter = nullptr;
    HHOOK clickDropper = nullptr;
    bool (*const realForegroundQuery)() = g_foregroundHidesInput;
};

// Another program's low-level hooks, on a thread of their own, installed
// before the program's, which go back on top: a tool that holds each press of
// the hotkey up after passing it on (an overlay, a macro tool), or one that
// swallows the hotkey while a flag is set (to free a side button from "Back"
// in some windows only).
std::atomic<uint32_t> g_otherToolKey{0};
std::atomic<bool> g_otherToolSwallows{false};
std::atomic<bool> g_otherToolHeldUpUnseen{false}; // it held a press Windows did not show yet
constexpr DWORD HELD_UP_MS = 1100;                // well under the longest any hook chain may take

bool KeyDown(int key) {
    return (GetAsyncKeyState(key) & 0x8000) != 0;
}

LRESULT CALLBACK OtherToolProc(int code, WPARAM wParam, LPARAM lParam) {
    const auto* key = reinterpret_cast<const KBDLLHOOKSTRUCT*>(lParam);
    const auto* button = reinterpret_cast<const MSLLHOOKSTRUCT*>(lParam);
    const bool down = wParam == WM_KEYDOWN || wParam == WM_SYSKEYDOWN || wParam == WM_XBUTTONDOWN;
    const uint32_t hotkey = wParam < WM_MOUSEFIRST ? key->vkCode
                            : wParam == WM_XBUTTONDOWN || wParam == WM_XBUTTONUP
                                ? 300u + HIWORD(button->mouseData)
                                : 0;
    if (code != HC_ACTION || hotkey != g_otherToolKey.load()) {
        return CallNextHookEx(nullptr, code, wParam, lParam);
    }
    if (g_otherToolSwallows.load()) {
        return 1;
    }
    const LRESULT passedOn = CallNextHookEx(nullptr, code, wParam, lParam);
    if (down) {
        g_otherToolHeldUpUnseen.store(!KeyDown(static_cast<int>(hotkey)));
        Sleep(HELD_UP_MS);
    }
    return passedOn;
}

class OtherTool {
  public:
    explicit OtherTool(uint32_t hotkey) {
        g_otherToolKey.store(hotkey);
        g_otherToolSwallows.store(false);
        std::atomic<int> hooked{-1};
        thread_ = std::thread([this, &hooked] {
            HHOOK keys = SetWindowsHookExW(WH_KEYBOARD_LL, OtherToolProc, nullptr, 0);
            HHOOK buttons = SetWindowsHookExW(WH_MOUSE_LL, OtherToolProc, nullptr, 0);
            threadId_ = GetCurrentThreadId();
            hooked.store(keys && buttons ? 1 : 0);
            MSG message;
            while (GetMessageW(&message, nullptr, 0, 0) > 0) {
            }
            UnhookWindowsHookEx(keys);
            UnhookWindowsHookEx(buttons);
        });
        EXPECT_TRUE(WaitUntil([&] { return hooked.load() >= 0; }, 5000)) << "the tool never ran";
        EXPECT_EQ(hooked.load(), 1) << "the tool's hooks are not in";
        ReinstallInputHooks(true, true);
    }
    ~OtherTool() {
        PostThreadMessageW(threadId_, WM_QUIT, 0, 0);
        thread_.join();
        g_otherToolKey.store(0);
    }

  private:
    std::thread thread_;
    std::atomic<DWORD> threadId_{0};
};

// A hold talks as long as it is down, over many presence checks and beside
// other programs' hooks. A release the hooks never saw ends it: Windows
// silently removes a hook that once answered too slowly, and shows no input
// to a hook while another desktop or an elevated window has it. A press that
// Windows never shows down, as one that a tool swallows, is never cut on its
// own: it ends only on evidence that its release went where the hooks could
// not see it.
TEST_F(MainWindowInProcess, HoldTalksUntilLetGoAndAReleaseTheHooksNeverSawEndsIt) {
    Open();
    enum Beside { NOTHING, NEVER_SHOWN_DOWN, TOOL_HOLDING_PRESSES_UP, TOOL_SWALLOWING_SOMEWHERE };
    struct Case {
        const char* what;
        uint32_t hotkey; // 0: the left button held on the window
        HotkeyInput input;
        HHOOK* lost; // the hook that misses the release; null: let go as usual
        Beside beside = NOTHING;
        bool swapped = false;
    };
    const Case cases[] = {
        {"F12 pressed again at once, keyboard hook removed", VK_F12, F12_KEY, &g_keyboardHook,
         TOOL_HOLDING_PRESSES_UP},
        {"X1, mouse hook removed", 301, X1_BUTTON, &g_mouseHook},
        {"middle button, mouse hook removed", HOTKEY_MIDDLE_BUTTON, MIDDLE_BUTTON, &g_mouseHook},
        // The window's own release never comes: another desktop took it.
        {"left button, released on another desktop", 0, F12_KEY, nullptr},
        {"left button swapped, released on another desktop", 0, F12_KEY, nullptr, NOTHING, true},
        // Windows shows it down in one window and never in another; a hold
        // there is the hooks' alone.
        {"X2 swallowed in some windows only", 302, X2_BUTTON, nullptr, TOOL_SWALLOWING_SOMEWHERE},
        // Evidence: its hook found dead by a key it missed, or a window with
        // more rights in front.
        {"F12 never down, keyboard hook removed", VK_F12, F12_KEY, &g_keyboardHook,
         NEVER_SHOWN_DOWN},
        {"F12 never down, input hidden", VK_F12, F12_KEY, nullptr, NEVER_SHOWN_DOWN},
    };
    for (const Case& c : cases) {
        g_hotkey = c.hotkey ? c.hotkey : VK_F12;
        SwapMouseButton(c.swapped);
        auto hold = [&](bool down) { c.hotkey ? Hotkey(c.input, down) : Mouse(down); };
        std::optional<OtherTool> tool;
        if (c.beside >= TOOL_HOLDING_PRESSES_UP) {
            tool.emplace(c.hotkey);
        }
        if (c.beside == TOOL_SWALLOWING_SOMEWHERE) {
            hold(true); // where it passes through, Windows shows it down
            ASSERT_TRUE(WaitUntil([] { return g_keyStateEndsHold; }, 5000)) << c.what;
            hold(false);
            ASSERT_TRUE(target->WaitForLast("2|0", 3000)) << c.what;
            g_otherToolSwallows.store(true);
        }
        if (c.beside == NEVER_SHOWN_DOWN) {
            KBDLLHOOKSTRUCT press = {VK_F12, 0, 0, GetTickCount(), 0}; // F12 stays up for Windows
            KeyboardHookProc(HC_ACTION, WM_KEYDOWN, reinterpret_cast<LPARAM>(&press));
        } else {
            hold(true);
        }
        ASSERT_TRUE(target->WaitForLast("2|1", 3000)) << c.what;
        if (c.beside == TOOL_HOLDING_PRESSES_UP) {
            // Let go just after a check read the hold down; the new press is
            // not down for Windows until the tool passes it.
            ASSERT_TRUE(WaitUntil([] { return g_keyStateEndsHold; }, 5000)) << c.what;
            hold(false);
            g_otherToolHeldUpUnseen.store(false);
            hold(true);
            EXPECT_TRUE(g_otherToolHeldUpUnseen.load()) << c.what << ": the press showed at once";
        }
        if (c.beside == TOOL_SWALLOWING_SOMEWHERE) {
            EXPECT_FALSE(KeyDown(VK_XBUTTON2)) << c.what << ": the tool did not swallow it";
        }
        // Three checks where Windows may not show the press down (a tool's,
        // which may be cut by a guess from time, or one never shown); any other
        // hold reads down.
        WaitForChecks(c.beside == NOTHING ? 1 : 3);
        EXPECT_EQ(target->Payloads().back(), "2|1") << c.what << ": cut while held";

        const long long letGo = QpcNow();
        if (c.lost) {
            UnhookWindowsHookEx(*c.lost);
            Input([&] { c.beside == NEVER_SHOWN_DOWN ? TapKey('A') : c.input.Send(false); });
        } else if (c.beside == NEVER_SHOWN_DOWN) {
            g_foregroundHidesInput = [] { return true; };
        } else {
            c.hotkey ? hold(false) : Mouse(false, false);
        }
        ASSERT_TRUE(target->WaitForLast("2|0", 4000)) << c.what << ": still transmitting";
        g_foregroundHidesInput = realForegroundQuery;
        EXPECT_LE(QpcMs(letGo, target->Commands().back().qpc),
                  c.beside == NEVER_SHOWN_DOWN ? 2500 : 2000)
            << c.what;
        EXPECT_TRUE(WaitUntil([] { return g_indicatorOn == 0; }, 3000)) << c.what;
        if (!c.hotkey) {
            EXPECT_EQ(GetCapture(), nullptr) << c.what;
        }
        tool.reset();
        // It talks again at once.
        EXPECT_EQ(TalkCycle(*target, hold), TALKED) << c.what;
    }
}

// A hook removed while idle is found by a witness of the input it missed.
TEST_F(MainWindowInProcess, HookRemovedWhileIdleIsBackWithinTwoSecondsOfItsFirstMissedInput) {
    Open();
    auto stamped = [](DWORD time) {
        SendKey(VK_SHIFT, true, time);
        SendKey(VK_SHIFT, false, time);
    };
    struct Case {
        const char* what;
        HHOOK* hook;
        std::function<void()> missed;
        uint32_t hotkey;
        HotkeyInput input;
    };
    const Case cases[] = {
        {"keyboard, seen by raw input", &g_keyboardHook, [] { TapKey('A'); }, VK_F12, F12_KEY},
        {"mouse, seen by raw input of a move while keys come", &g_mouseHook,
         [] {
             SendMouse(MOUSEEVENTF_MOVE, 0, 40, 30);
             TapKey('A'); // the newest input is a key that the keyboard hook saw
         },
         302, X2_BUTTON},
        {"mouse, seen by raw input of a click", &g_mouseHook,
         [] {
             SendMouse(MOUSEEVENTF_MIDDLEDOWN);
             SendMouse(MOUSEEVENTF_MIDDLEUP);
         },
         302, X2_BUTTON},
        // Stamped a minute ahead, an event would hide all input after it.
        {"keyboard, after a key stamped in the future", &g_keyboardHook, [] { TapKey('A'); },
         VK_F12, F12_KEY},
    };
    // Live hooks stay in: a program that moves the pointer makes no input,
    // input that brings its own time stamps is seen with them, and typing
    // alone is the keyboard's.
    const unsigned reinstalls = HookReinstallCount();
    // Each long enough for a check to see it alone; the pointer's first move
    // off the window is real motion to Wine.
    RunWhilePumping(10000, [&] {
        for (int step = 0; step < 55; ++step) {
            if (step < 25) {
                SetCursorPos(100 + step, 100);
            } else if (step < 40) {
                SendMouse(MOUSEEVENTF_MOVE, 0, 1, 0, GetTickCount() - 5000);
                stamped(GetTickCount() - 5000);
            } else {
                TapKey(VK_SHIFT);
            }
            Sleep(100);
        }
    });
    EXPECT_EQ(HookReinstallCount(), reinstalls) << "a live hook was put back";

    for (const Case& c : cases) {
        g_hotkey = c.hotkey;
        if (&c == &cases[3]) {
            Input([&] { stamped(GetTickCount() + 60000); });
        }
        UnhookWindowsHookEx(*c.hook);
        PumpMessagesFor(200); // the missed input must not pass for the last one seen
        const unsigned before = HookReinstallCount();
        Input(c.missed);
        EXPECT_TRUE(WaitUntil([&] { return HookReinstallCount() > before; }, 2000)) << c.what;
        Hotkey(c.input, false);
        EXPECT_EQ(TalkCycle(*target, [&](bool down) { Hotkey(c.input, down); }), TALKED) << c.what;
    }
}

TEST_F(MainWindowInProcess, DeskTakenAwayEndsEveryTalkBeforeTheMessageReturns) {
    Open();
    struct Case {
        const char* what;
        UINT message;
        WPARAM away, back;  // back 0: none
        bool mouse = false; // the talk is the left button's, else the hotkey's
    };
    const Case cases[] = {
        {"lock", WM_WTSSESSION_CHANGE, WTS_SESSION_LOCK, WTS_SESSION_UNLOCK},
        {"console disconnect", WM_WTSSESSION_CHANGE, WTS_CONSOLE_DISCONNECT, WTS_CONSOLE_CONNECT,
         true},
        {"remote disconnect", WM_WTSSESSION_CHANGE, WTS_REMOTE_DISCONNECT, WTS_REMOTE_CONNECT},
        {"suspend", WM_POWERBROADCAST, PBT_APMSUSPEND, PBT_APMRESUMEAUTOMATIC, true},
        {"log off", WM_ENDSESSION, TRUE, 0},
    };
    for (const Case& c : cases) {
        auto hold = [&](bool down) { c.mouse ? Mouse(down) : Hotkey(F12_KEY, down); };
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
            UnhookWindowsHookEx(g_mouseHook);
            SendMessageW(window, c.message, c.back, 0);
        }
        EXPECT_EQ(TalkCycle(*target, F12_KEY), TALKED) << c.what;
        g_hotkey = 302;
        EXPECT_EQ(TalkCycle(*target, X2_BUTTON), TALKED) << c.what;
        g_hotkey = VK_F12;
        ASSERT_TRUE(WaitUntil([] { return g_indicatorOn == 0; }, 3000)) << c.what;
        EXPECT_EQ(target->Payloads(stopped), (Payloads{"2|1", "2|0", "2|1", "2|0"}))
            << c.what << ": the stored press or the release sent something";
    }
}

// While the relay's stop is on its way the picture still shows ON; a press
// on it must talk all the same. A hold lost while the press's start waits
// behind that stop ends once, through the relay: the window waits only once.
TEST_F(MainWindowInProcess, PressOnTheWindowDuringASlowStopTalks) {
    Open(L"--delay-ms 700");
    for (bool lost : {false, true}) {
        Hotkey(F12_KEY, true);
        ASSERT_TRUE(target->WaitForLast("2|1", 3000));
        Hotkey(F12_KEY, false);
        ASSERT_TRUE(target->WaitForLast("2|0", 3000)); // received; handled 700 ms later
        const size_t pressed = target->Commands().size();
        g_pressBegun.store(false);
        std::thread takeAway([&] {
            // Handled inside the press's own wait for the voice changer.
            if (lost && WaitUntil([] { return g_pressBegun.load(); }, 5000)) {
                SendMessageTimeoutW(window, WM_CANCELMODE, 0, 0, SMTO_NORMAL, 5000, nullptr);
            }
        });
        Mouse(true);
        const long long returned = QpcNow();
        takeAway.join();
        if (!lost) {
            EXPECT_EQ(g_indicatorOn, 1);
            Mouse(false);
        }
        ExpectSettledOn(false, lost ? "lost" : "let go");
        // Beside the relay's stop, the start's place is unknown: it is sent again.
        const Payloads after = target->Payloads(pressed);
        EXPECT_EQ(after.front(), "2|1") << lost;
        if (lost) {
            EXPECT_EQ(after, TALKED) << "not ended once";
            ASSERT_GE(after.size(), 2u);
            // Had the window sent the first stop itself, it would have come back
            // only once the stop was handled, 700 ms after it arrived; it waits
            // on nothing but its start, handled 700 ms after that arrived.
            EXPECT_LT(QpcMs(target->Commands()[pressed + 1].qpc, returned), 350) << "waited twice";
            EXPECT_LT(QpcMs(target->Commands()[pressed].qpc, returned), 1200) << "waited longer";
        }
    }
}

// The relay's stop for the hotkey is handled after the window's start for a
// press on the picture, and tells the window so after that start: the window
// still shows the press, the start is sent again, and the release stops it.
TEST_F(MainWindowInProcess, TheRelaysOlderStopNeverHidesANewerPress) {
    Open(L"--serve-first-ms 1000 --serve-at 3"); // the hotkey's stop serves others first
    Hotkey(F12_KEY, true);
    ASSERT_TRUE(target->WaitForLast("2|1", 3000));
    Hotkey(F12_KEY, false);
    ASSERT_TRUE(StandIn::WaitUntilServing(3000));
    Mouse(true);
    ExpectSettledOn(true, "held on the picture");
    Mouse(false);
    ExpectSettledOn(false, "let go");
}

// Presses and releases of the hotkey and on the picture in random orders,
// against a voice changer that takes a random time over each command and
// now and then longer than any wait: once the user lets go, or holds the
// hotkey, and nothing is owed, the voice changer does what the user wants.
TEST_F(MainWindowInProcess, TalkEndsWhereTheUserIsInAnyOrder) {
    Open(L"--random-delay-ms 25");
    const unsigned seed = GetTickCount();
    std::printf("seed %u\n", seed);
    std::mt19937 random(seed);
    for (int round = 0; round < 150; ++round) {
        bool hotkeyDown = false;
        bool buttonDown = false;
        for (int step = static_cast<int>(random() % 6); step >= 0; --step) {
            if (random() % 2) {
                hotkeyDown = !hotkeyDown;
                g_pendingEvent.store(hotkeyDown ? PENDING_PRESSED : PENDING_RELEASED);
            } else {
                buttonDown = !buttonDown;
                SendMessageW(window, buttonDown ? WM_LBUTTONDOWN : WM_LBUTTONUP, 0, 0);
            }
            PumpMessagesFor(random() % 15);
        }
        if (buttonDown) {
            SendMessageW(window, WM_LBUTTONUP, 0, 0);
        }
        const bool holding = random() % 2 != 0;
        g_pendingEvent.store(holding ? PENDING_PRESSED : PENDING_RELEASED);
        ExpectSettledOn(holding, "round " + std::to_string(round));
        if (HasFatalFailure() || HasNonfatalFailure()) {
            return;
        }
    }
}

// A finger may never read as the left button down: its hold lasts until it
// lifts, and Windows is asked not to turn it into a right click. Each press
// and release is sent once: the relay never sends again what one has just
// settled, however its turns fall beside them.
TEST_F(MainWindowInProcess, TouchCanHoldTheButtonAndEachPressIsSentOnce) {
    Open();
    EXPECT_EQ(SendMessageW(window, WM_TABLET_QUERYSYSTEMGESTURESTATUS, 0, 0) &
                  TABLET_DISABLE_PRESSANDHOLD,
              TABLET_DISABLE_PRESSANDHOLD);
    // Windows asks the window under the finger, mostly a picture.
    for (HWND part :
         {window, GetDlgItem(window, IDC_IMAGE_ON), GetDlgItem(window, IDC_IMAGE_OFF)}) {
        EXPECT_EQ(reinterpret_cast<INT_PTR>(GetPropW(part, L"MicrosoftTabletPenServiceProperty")) &
                      TABLET_DISABLE_PRESSANDHOLD,
                  TABLET_DISABLE_PRESSANDHOLD)
            << GetDlgCtrlID(part);
    }
    SendMessageW(window, WM_LBUTTONDOWN, 0, 0);
    WaitForChecks(2); // reads the button up, twice
    EXPECT_EQ(target->Payloads(), (Payloads{"2|0", "2|1"})) << "cut while held";
    SendMessageW(window, WM_LBUTTONUP, 0, 0);
    Payloads expected = {"2|0", "2|1", "2|0"};
    for (int click = 0; click < 200; ++click) {
        SendMessageW(window, WM_LBUTTONDOWN, 0, 0);
        SendMessageW(window, WM_LBUTTONUP, 0, 0);
        expected.insert(expected.end(), TALKED.begin(), TALKED.end());
    }
    ExpectSettledOn(false, "let go");
    EXPECT_EQ(target->Payloads(), expected);
}

} // namespace
