// The program swallows nothing: a hook installed before it, and therefore
// called after it, still sees every event while the program talks.
#include "vorrel_app.h"

#include <gtest/gtest.h>

#include <atomic>

using namespace test_support;

namespace {

std::atomic<int> g_keysSeen{0};
std::atomic<int> g_buttonsSeen{0};

LRESULT CALLBACK CountKeys(int code, WPARAM wParam, LPARAM lParam) {
    const auto* event = reinterpret_cast<const KBDLLHOOKSTRUCT*>(lParam);
    if (code == HC_ACTION && event->vkCode == VK_F12) {
        g_keysSeen.fetch_add(1);
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

LRESULT CALLBACK CountButtons(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HC_ACTION && (wParam == WM_MBUTTONDOWN || wParam == WM_MBUTTONUP ||
                              wParam == WM_XBUTTONDOWN || wParam == WM_XBUTTONUP)) {
        g_buttonsSeen.fetch_add(1);
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

TEST(PassesInputOn, LaterHooksSeeEveryEventTheProgramActsOn) {
    // Installed first, so the program's hooks come before these in the chain.
    HHOOK keys = SetWindowsHookExW(WH_KEYBOARD_LL, CountKeys, nullptr, 0);
    HHOOK buttons = SetWindowsHookExW(WH_MOUSE_LL, CountButtons, nullptr, 0);
    ASSERT_NE(keys, nullptr);
    ASSERT_NE(buttons, nullptr);

    StandIn target;
    VorrelApp app;
    ASSERT_TRUE(StartWithSilencedTarget(target, app));

    ASSERT_TRUE(RunWhilePumping(5000, [] { SendKey(VK_F12, true); }));
    ASSERT_TRUE(target.WaitForCommandCount(2, 3000));
    ASSERT_TRUE(RunWhilePumping(5000, [] {
        SendKey(VK_F12, false);
        SendMouseButton(MOUSEEVENTF_MIDDLEDOWN);
        SendMouseButton(MOUSEEVENTF_MIDDLEUP);
        SendMouseButton(MOUSEEVENTF_XDOWN, XBUTTON2);
        SendMouseButton(MOUSEEVENTF_XUP, XBUTTON2);
    }));
    ASSERT_TRUE(target.WaitForCommandCount(3, 3000));
    EXPECT_TRUE(WaitUntil([] { return g_keysSeen.load() == 2 && g_buttonsSeen.load() == 4; }, 3000))
        << g_keysSeen.load() << " keys, " << g_buttonsSeen.load() << " buttons";

    EXPECT_EQ(app.Close(), 0);
    UnhookWindowsHookEx(keys);
    UnhookWindowsHookEx(buttons);
}

} // namespace
