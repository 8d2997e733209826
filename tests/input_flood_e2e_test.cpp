// The program swallows nothing: a hook installed before it, and therefore
// called after it, sees every event. Then thousands of random key and mouse
// events through SendInput, with the selection window closed and open;
// push-to-talk must come out working.
#include "res/resource.h"
#include "vorrel_app.h"

#include <gtest/gtest.h>

#include <atomic>
#include <random>
#include <vector>

using namespace test_support;

namespace {

constexpr int FLOOD_EVENTS = 2000;

// What the flood may press. F4 stays out so that Alt+F4 cannot close the
// windows under test; Enter, Space and Tab would work the dialogs, not the hooks.
const WORD FLOOD_KEYS[] = {'A',       'Q',       'Z',        '1',      '0',     VK_F1,   VK_F2,
                           VK_F3,     VK_F5,     VK_F9,      VK_F11,   VK_F12,  VK_F12,  VK_F12,
                           VK_ESCAPE, VK_SHIFT,  VK_CONTROL, VK_MENU,  VK_LEFT, VK_HOME, VK_INSERT,
                           VK_DELETE, VK_DIVIDE, VK_NUMPAD5, VK_OEM_2, VK_BACK};
const HotkeyInput FLOOD_BUTTONS[] = {MIDDLE_BUTTON, X2_BUTTON, X1_BUTTON};

// Random presses and releases, about 7 keys to 3 buttons, each input toggled.
void Flood(unsigned seed, int events) {
    std::mt19937 random(seed);
    std::vector<HotkeyInput> inputs;
    for (WORD key : FLOOD_KEYS) {
        inputs.push_back({key, 0, 0, 0});
    }
    for (int weight = 0; weight < 4; ++weight) {
        inputs.insert(inputs.end(), std::begin(FLOOD_BUTTONS), std::end(FLOOD_BUTTONS));
    }
    std::vector<bool> down(inputs.size());
    for (int i = 0; i < events; ++i) {
        const size_t pick = std::uniform_int_distribution<size_t>(0, inputs.size() - 1)(random);
        down[pick] = !down[pick];
        inputs[pick].Send(down[pick]);
        if (i % 50 == 0) {
            PumpMessagesFor(1);
        }
    }
    for (size_t pick = 0; pick < inputs.size(); ++pick) { // let go of everything still held
        if (down[pick]) {
            inputs[pick].Send(false);
        }
    }
}

// F12 and the buttons as seen by a hook called after the program's; one
// procedure serves both kinds, told apart by their messages.
std::atomic<int> g_seen{0};
LRESULT CALLBACK CountSeen(int code, WPARAM wParam, LPARAM lParam) {
    const auto* key = reinterpret_cast<const KBDLLHOOKSTRUCT*>(lParam);
    if (code == HC_ACTION &&
        (wParam < WM_MOUSEFIRST ? key->vkCode == VK_F12 : wParam != WM_MOUSEMOVE)) {
        g_seen.fetch_add(1);
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

TEST(InputFlood, LaterHooksSeeEveryEventAndFloodsLeavePushToTalkWorking) {
    // Installed first, so the program's hooks come before these in the chain.
    HHOOK keys = SetWindowsHookExW(WH_KEYBOARD_LL, CountSeen, nullptr, 0);
    HHOOK buttons = SetWindowsHookExW(WH_MOUSE_LL, CountSeen, nullptr, 0);
    ASSERT_TRUE(keys && buttons) << "the counting hooks are not in";
    StandIn target;
    VorrelApp app;
    ASSERT_TRUE(StartWithSilencedTarget(target, app));

    // From another thread: this one runs the counting hooks.
    auto hold = [](bool down) {
        ASSERT_TRUE(RunWhilePumping(5000, [down] {
            F12_KEY.Send(down);
            MIDDLE_BUTTON.Send(down);
            X2_BUTTON.Send(down);
        }));
    };
    EXPECT_EQ(TalkCycle(target, hold), (Payloads{"2|1", "2|0"}));
    EXPECT_TRUE(WaitUntil([] { return g_seen.load() == 6; }, 3000)) << g_seen.load();
    // The flood comes from this thread, which would keep its own hooks waiting.
    UnhookWindowsHookEx(keys);
    UnhookWindowsHookEx(buttons);

    // Takes the keys while flooding, where they can neither close nor open
    // anything: no caption, no system menu, and F4 is never flooded.
    HWND sink = CreateWindowExW(WS_EX_TOPMOST, L"STATIC", L"", WS_POPUP | WS_VISIBLE, 1000, 800,
                                200, 150, nullptr, nullptr, nullptr, nullptr);
    for (bool chooserOpen : {false, true}) {
        HWND chooser = chooserOpen ? app.OpenChooser() : nullptr;
        ASSERT_EQ(chooser != nullptr, chooserOpen);
        MoveCursorTo(1100, 875);
        ASSERT_TRUE(BringToFront(sink));
        Flood(chooserOpen ? 2 : 1, FLOOD_EVENTS);

        // Everything was let go: the last word to the target is a stop.
        ASSERT_TRUE(target.WaitForLast("2|0", 3000)) << chooserOpen;
        if (chooser) {
            EXPECT_EQ(WindowText(GetDlgItem(chooser, IDC_STATIC)).rfind(L">>>> ", 0), 0u)
                << "the chooser took the releases";
            PostMessageW(GetDlgItem(chooser, IDC_CANCEL_CHOICE), BM_CLICK, 0, 0);
            ASSERT_TRUE(WaitUntil([&] { return app.SelectionWindow() == nullptr; }, 3000));
        }
        EXPECT_EQ(TalkCycle(target, F12_KEY), (Payloads{"2|1", "2|0"})) << chooserOpen;
    }
    EXPECT_EQ(app.Close(), 0);
}

} // namespace
