// The hook procedures fed with synthetic event records, no hooks installed.
#include "core/input_hooks.h"
#include "core/missed_input.h"
#include "core/shared_state.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <tuple>
#include <vector>

namespace {

constexpr int32_t NONE = PENDING_NONE;
constexpr int32_t PRESSED = PENDING_PRESSED;
constexpr int32_t RELEASED = PENDING_RELEASED;
constexpr LPARAM NOTHING = -1; // no release posted

struct Case {
    const char* what;
    uint32_t hotkey;
    WPARAM message;       // a keyboard one below WM_MOUSEFIRST
    DWORD key;            // virtual-key code, or X button number for the mouse
    int32_t pending;      // what the relay is handed
    LPARAM posted;        // the code posted to an open selection window
    int code = HC_ACTION; // the hook code
};

// Each case with the selection window open, standing in for which is a probe
// whose queue collects the posts, and with none open. With no later hook,
// passing an event on returns 0; anything else swallows it.
TEST(HookProcedures, EventsHandOnOnlyTheHotkeyAndPostEveryRelease) {
    const Case cases[] = {
        {"hotkey down", VK_F12, WM_KEYDOWN, VK_F12, PRESSED, NOTHING},
        {"hotkey up", VK_F12, WM_KEYUP, VK_F12, RELEASED, VK_F12},
        {"hotkey down with Alt held", VK_F12, WM_SYSKEYDOWN, VK_F12, PRESSED, NOTHING},
        {"hotkey up with Alt held", VK_F12, WM_SYSKEYUP, VK_F12, RELEASED, VK_F12},
        {"other key down", VK_F12, WM_KEYDOWN, VK_F11, NONE, NOTHING},
        {"other key up", VK_F12, WM_KEYUP, 'A', NONE, 'A'},
        {"Alt up", VK_F12, WM_SYSKEYUP, VK_MENU, NONE, VK_MENU},
        {"changed hotkey down", VK_F9, WM_KEYDOWN, VK_F9, PRESSED, NOTHING},
        {"old hotkey after a change", VK_F9, WM_KEYUP, VK_F12, NONE, VK_F12},
        {"unknown keyboard message", VK_F12, WM_CHAR, VK_F12, NONE, NOTHING},
        {"middle button's key is not the middle button", HOTKEY_MIDDLE_BUTTON, WM_KEYDOWN,
         VK_MBUTTON, NONE, NOTHING},
        {"X1's key is not X button 1", 301, WM_KEYUP, VK_XBUTTON1, NONE, VK_XBUTTON1},
        {"Insert shares only the low byte of X button 1's code", 301, WM_KEYDOWN, VK_INSERT, NONE,
         NOTHING},
        {"key not an action", VK_F12, WM_KEYUP, VK_F12, NONE, NOTHING, HC_NOREMOVE},
        {"key negative code", VK_F12, WM_KEYDOWN, VK_F12, NONE, NOTHING, -1},
        {"middle down", HOTKEY_MIDDLE_BUTTON, WM_MBUTTONDOWN, 0, PRESSED, NOTHING},
        {"middle up", HOTKEY_MIDDLE_BUTTON, WM_MBUTTONUP, 0, RELEASED, 500},
        {"X2 down", 302, WM_XBUTTONDOWN, XBUTTON2, PRESSED, NOTHING},
        {"X2 up", 302, WM_XBUTTONUP, XBUTTON2, RELEASED, 302},
        {"X1 while X2 is the hotkey", 302, WM_XBUTTONUP, XBUTTON1, NONE, 301},
        {"X1 down", 301, WM_XBUTTONDOWN, XBUTTON1, PRESSED, NOTHING},
        {"middle while an X button is the hotkey", 301, WM_MBUTTONUP, 0, NONE, 500},
        {"X3 while the middle is the hotkey", HOTKEY_MIDDLE_BUTTON, WM_XBUTTONDOWN, 3, NONE,
         NOTHING},
        // Codes are summed in 16 bits: 300 + 0xFFFF is 299, and X button 0 is
        // 300, both keyboard codes; X button 200 is the middle button's code.
        {"X button 0xFFFF down", 299, WM_XBUTTONDOWN, 0xFFFF, PRESSED, NOTHING},
        {"X button 0xFFFF up", 299, WM_XBUTTONUP, 0xFFFF, RELEASED, 299},
        {"X button 0 up", 300, WM_XBUTTONUP, 0, RELEASED, 300},
        {"X button 200 up", HOTKEY_MIDDLE_BUTTON, WM_XBUTTONUP, 200, RELEASED, 500},
        {"middle button is not the middle button's key", VK_MBUTTON, WM_MBUTTONDOWN, 0, NONE,
         NOTHING},
        // Never the hotkey, whatever it is, even codes they might be mistaken for.
        {"left down", HOTKEY_MIDDLE_BUTTON, WM_LBUTTONDOWN, XBUTTON1, NONE, NOTHING},
        {"left up", VK_LBUTTON, WM_LBUTTONUP, XBUTTON1, NONE, NOTHING},
        {"left double click", VK_LBUTTON, WM_LBUTTONDBLCLK, 0, NONE, NOTHING},
        {"right down", VK_RBUTTON, WM_RBUTTONDOWN, XBUTTON1, NONE, NOTHING},
        {"right up", HOTKEY_MIDDLE_BUTTON, WM_RBUTTONUP, XBUTTON1, NONE, NOTHING},
        {"wheel", 301, WM_MOUSEWHEEL, XBUTTON1, NONE, NOTHING},
        {"horizontal wheel", 301, WM_MOUSEHWHEEL, XBUTTON1, NONE, NOTHING},
        {"move", 301, WM_MOUSEMOVE, XBUTTON1, NONE, NOTHING},
        {"button not an action", HOTKEY_MIDDLE_BUTTON, WM_MBUTTONUP, 0, NONE, NOTHING, HC_NOREMOVE},
        {"button negative code", HOTKEY_MIDDLE_BUTTON, WM_MBUTTONDOWN, 0, NONE, NOTHING, -1},
    };
    test_support::MessageProbe selection;
    for (const Case& c : cases) {
        KBDLLHOOKSTRUCT key = {c.key, MapVirtualKeyW(c.key, MAPVK_VK_TO_VSC), LLKHF_INJECTED, 0, 0};
        MSLLHOOKSTRUCT mouse = {{0, 0}, c.key << 16, LLMHF_INJECTED, 0, 0};
        for (bool open : {true, false}) {
            g_hotkeyDlg = open ? selection.Window() : nullptr;
            g_hotkey = c.hotkey;
            g_pendingEvent.store(NONE);
            EXPECT_EQ(c.message < WM_MOUSEFIRST
                          ? KeyboardHookProc(c.code, c.message, reinterpret_cast<LPARAM>(&key))
                          : MouseHookProc(c.code, c.message, reinterpret_cast<LPARAM>(&mouse)),
                      0)
                << c.what << ": not passed on";
            EXPECT_EQ(g_pendingEvent.load(), c.pending) << c.what;
            const size_t posts = open && c.posted != NOTHING ? 1 : 0;
            EXPECT_EQ(selection.TakePosted(WM_INPUT_RELEASED), std::vector<LPARAM>(posts, c.posted))
                << c.what;
            MSG stray; // a post to no window would be this thread's
            EXPECT_FALSE(
                PeekMessageW(&stray, nullptr, WM_INPUT_RELEASED, WM_INPUT_RELEASED, PM_REMOVE))
                << c.what;
        }
    }
}

// F12 is never down here: a hold the hooks saw reads up. Without evidence
// that its release went unseen it stays, and even with it a press the relay
// has not taken yet is newer than the reading.
TEST(MissedInput, ReleaseFoundByTheKeyStateNeedsEvidenceAndNeverOverwritesAPress) {
    g_foregroundHidesInput = [] { return false; }; // whatever window is in front here
    for (const auto& [readDown, pending, expected] :
         {std::tuple{false, NONE, NONE}, std::tuple{true, PRESSED, PRESSED},
          std::tuple{true, NONE, RELEASED}}) {
        g_hotkey = g_heldHotkey = VK_F12;
        g_keyStateEndsHold = readDown;
        g_pendingEvent.store(pending);
        CheckForMissedInput();
        EXPECT_EQ(g_pendingEvent.load(), expected) << readDown << pending;
    }
}

} // namespace
