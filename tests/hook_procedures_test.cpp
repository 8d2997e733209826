// The hook procedures fed with synthetic event records, no hooks installed.
#include "core/input_hooks.h"
#include "core/shared_state.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

constexpr int32_t NONE = PENDING_NONE;
constexpr int32_t PRESSED = PENDING_PRESSED;
constexpr int32_t RELEASED = PENDING_RELEASED;

class HookProcedures : public ::testing::Test {
  protected:
    void SetUp() override {
        g_hotkey = HOTKEY_INITIAL;
        g_pendingEvent.store(NONE);
        g_hotkeyDlg = nullptr;
    }
    void TearDown() override {
        g_hotkeyDlg = nullptr;
        g_hotkey = HOTKEY_INITIAL;
        g_pendingEvent.store(NONE);
    }

    // With no later hook, passing an event on returns 0; anything else swallows it.
    static LRESULT Key(WPARAM message, DWORD vk, int code = HC_ACTION) {
        KBDLLHOOKSTRUCT event = {};
        event.vkCode = vk;
        event.scanCode = MapVirtualKeyW(vk, MAPVK_VK_TO_VSC);
        event.flags = LLKHF_INJECTED;
        return KeyboardHookProc(code, message, reinterpret_cast<LPARAM>(&event));
    }
    static LRESULT Mouse(WPARAM message, WORD xButton = 0, int code = HC_ACTION) {
        MSLLHOOKSTRUCT event = {};
        event.mouseData = static_cast<DWORD>(xButton) << 16;
        event.flags = LLMHF_INJECTED;
        return MouseHookProc(code, message, reinterpret_cast<LPARAM>(&event));
    }

    // Stands in for the selection window; its queue collects what the hooks post.
    void OpenFakeSelectionWindow() {
        g_hotkeyDlg = selection.Window();
    }
    std::vector<LPARAM> TakePostedReleases() {
        return selection.TakePosted(WM_INPUT_RELEASED);
    }
    test_support::MessageProbe selection;
};

struct KeyCase {
    const char* what;
    uint32_t hotkey;
    WPARAM message;
    DWORD vk;
    int32_t expected;
};

TEST_F(HookProcedures, KeyboardEventsStoreOnlyHotkeyPressesAndReleases) {
    const KeyCase cases[] = {
        {"hotkey down", VK_F12, WM_KEYDOWN, VK_F12, PRESSED},
        {"hotkey up", VK_F12, WM_KEYUP, VK_F12, RELEASED},
        {"hotkey down with Alt held", VK_F12, WM_SYSKEYDOWN, VK_F12, PRESSED},
        {"hotkey up with Alt held", VK_F12, WM_SYSKEYUP, VK_F12, RELEASED},
        {"other key down", VK_F12, WM_KEYDOWN, VK_F11, NONE},
        {"other key up", VK_F12, WM_KEYUP, 'A', NONE},
        {"changed hotkey down", VK_F9, WM_KEYDOWN, VK_F9, PRESSED},
        {"old hotkey after a change", VK_F9, WM_KEYUP, VK_F12, NONE},
        {"unknown keyboard message", VK_F12, WM_CHAR, VK_F12, NONE},
        {"middle button's key is not the middle button", HOTKEY_MIDDLE_BUTTON, WM_KEYDOWN,
         VK_MBUTTON, NONE},
        {"X1's key is not X button 1", 301, WM_KEYUP, VK_XBUTTON1, NONE},
        {"Insert shares only the low byte of X button 1's code", 301, WM_KEYDOWN, VK_INSERT, NONE},
    };
    for (const KeyCase& c : cases) {
        g_hotkey = c.hotkey;
        g_pendingEvent.store(NONE);
        EXPECT_EQ(Key(c.message, c.vk), 0) << c.what << ": not passed on";
        EXPECT_EQ(g_pendingEvent.load(), c.expected) << c.what;
    }
}

struct MouseCase {
    const char* what;
    uint32_t hotkey;
    WPARAM message;
    WORD xButton;
    int32_t expected;
};

TEST_F(HookProcedures, MouseEventsStoreOnlyHotkeyButtons) {
    const MouseCase cases[] = {
        {"middle down", HOTKEY_MIDDLE_BUTTON, WM_MBUTTONDOWN, 0, PRESSED},
        {"middle up", HOTKEY_MIDDLE_BUTTON, WM_MBUTTONUP, 0, RELEASED},
        {"X2 down", 302, WM_XBUTTONDOWN, XBUTTON2, PRESSED},
        {"X2 up", 302, WM_XBUTTONUP, XBUTTON2, RELEASED},
        {"X1 while X2 is the hotkey", 302, WM_XBUTTONDOWN, XBUTTON1, NONE},
        {"X1 down", 301, WM_XBUTTONDOWN, XBUTTON1, PRESSED},
        {"middle while an X button is the hotkey", 301, WM_MBUTTONDOWN, 0, NONE},
        {"X button while the middle is the hotkey", HOTKEY_MIDDLE_BUTTON, WM_XBUTTONDOWN, 3, NONE},
        // 300 + 0xFFFF wraps to 299 in 16 bits.
        {"X button number wraps", 299, WM_XBUTTONDOWN, 0xFFFF, PRESSED},
        {"X button 200 reaches the middle code", HOTKEY_MIDDLE_BUTTON, WM_XBUTTONUP, 200, RELEASED},
        {"middle button is not the middle button's key", VK_MBUTTON, WM_MBUTTONDOWN, 0, NONE},
    };
    for (const MouseCase& c : cases) {
        g_hotkey = c.hotkey;
        g_pendingEvent.store(NONE);
        EXPECT_EQ(Mouse(c.message, c.xButton), 0) << c.what << ": not passed on";
        EXPECT_EQ(g_pendingEvent.load(), c.expected) << c.what;
    }
}

TEST_F(HookProcedures, LeftRightWheelAndMovesNeverCount) {
    OpenFakeSelectionWindow();
    const WPARAM messages[] = {WM_LBUTTONDOWN,   WM_LBUTTONUP,  WM_RBUTTONDOWN, WM_RBUTTONUP,
                               WM_LBUTTONDBLCLK, WM_MOUSEWHEEL, WM_MOUSEHWHEEL, WM_MOUSEMOVE};
    // Whatever the hotkey, including codes a left or right button might be mistaken for.
    const uint32_t hotkeys[] = {VK_LBUTTON, VK_RBUTTON, HOTKEY_MIDDLE_BUTTON, 301, 0};
    for (uint32_t hotkey : hotkeys) {
        g_hotkey = hotkey;
        for (WPARAM message : messages) {
            Mouse(message, XBUTTON1);
            EXPECT_EQ(g_pendingEvent.load(), NONE) << "message " << message;
        }
    }
    EXPECT_TRUE(TakePostedReleases().empty());
}

TEST_F(HookProcedures, OnlyActionCodesAreLookedAt) {
    OpenFakeSelectionWindow();
    g_hotkey = VK_F12;
    for (int code : {HC_NOREMOVE, -1, 1}) {
        Key(WM_KEYDOWN, VK_F12, code);
        Key(WM_KEYUP, VK_F12, code);
        EXPECT_EQ(g_pendingEvent.load(), NONE) << "keyboard code " << code;
    }
    g_hotkey = HOTKEY_MIDDLE_BUTTON;
    for (int code : {HC_NOREMOVE, -1, 1}) {
        Mouse(WM_MBUTTONUP, 0, code);
        EXPECT_EQ(g_pendingEvent.load(), NONE) << "mouse code " << code;
    }
    EXPECT_TRUE(TakePostedReleases().empty());
}

TEST_F(HookProcedures, EveryReleaseIsPostedToAnOpenSelectionWindow) {
    OpenFakeSelectionWindow();
    g_hotkey = VK_F12;
    Key(WM_KEYDOWN, 'A');
    Key(WM_KEYUP, 'A');
    Key(WM_SYSKEYUP, VK_MENU);
    Key(WM_KEYUP, VK_ESCAPE);
    Mouse(WM_MBUTTONDOWN);
    Mouse(WM_MBUTTONUP);
    Mouse(WM_XBUTTONUP, XBUTTON1);
    Mouse(WM_XBUTTONUP, XBUTTON2);
    Key(WM_KEYUP, VK_F12);
    const std::vector<LPARAM> expected = {'A', VK_MENU, VK_ESCAPE, 500, 301, 302, VK_F12};
    EXPECT_EQ(TakePostedReleases(), expected);
    // The active hotkey keeps working while the window is open.
    EXPECT_EQ(g_pendingEvent.load(), RELEASED);
}

TEST_F(HookProcedures, NothingIsPostedWhileNoSelectionWindowIsOpen) {
    Key(WM_KEYUP, 'A');
    Mouse(WM_MBUTTONUP);
    MSG message; // a post to no window would be this thread's
    EXPECT_FALSE(PeekMessageW(&message, nullptr, WM_INPUT_RELEASED, WM_INPUT_RELEASED, PM_REMOVE));
}

TEST_F(HookProcedures, LaterEventOverwritesAnUntakenOne) {
    Key(WM_KEYDOWN, VK_F12);
    Key(WM_KEYUP, VK_F12);
    EXPECT_EQ(g_pendingEvent.load(), RELEASED);
    Key(WM_KEYDOWN, VK_F12);
    EXPECT_EQ(g_pendingEvent.load(), PRESSED);
}

TEST(SharedState, FreshStartHasF12AndSilence) {
    EXPECT_EQ(g_hotkey, static_cast<uint32_t>(VK_F12));
    EXPECT_EQ(g_pendingHotkey, static_cast<uint32_t>(VK_F12));
    EXPECT_STREQ(g_hotkeyName, L"F12");
    EXPECT_FALSE(g_talking.load());
    EXPECT_EQ(g_pendingEvent.load(), 0);
    EXPECT_EQ(g_indicatorOn, 0);
    EXPECT_TRUE(g_warningBlink);
}

} // namespace
