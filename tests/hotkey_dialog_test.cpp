// The selection window created in-process from the real template and fed
// released inputs directly.
#include "core/bounded_text.h"
#include "core/shared_state.h"
#include "hotkey/hotkey_dialog.h"
#include "res/resource.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <cwchar>
#include <string>
#include <tuple>

namespace {

class HotkeyDialog : public ::testing::Test {
  protected:
    void SetUp() override {
        g_mainDlg.store(mainProbe.Window());
        g_pendingHotkey = HOTKEY_INITIAL;
        FormatText(g_hotkeyName, L"F12");
        dialog = CreateDialogParamW(g_hInstance, MAKEINTRESOURCEW(IDD_HOTKEY), nullptr,
                                    HotkeyDlgProc, 0);
        ASSERT_NE(dialog, nullptr);
    }
    void TearDown() override {
        DestroyWindow(dialog); // fails harmlessly when already gone
    }

    // What a released input changes: the prompt, the name and the code chosen.
    std::tuple<std::wstring, std::wstring, uint32_t> Choice() const {
        return {test_support::WindowText(GetDlgItem(dialog, IDC_STATIC)), g_hotkeyName,
                g_pendingHotkey};
    }

    // Stands in for the main window, which the selection window tells of a change.
    test_support::MessageProbe mainProbe;
    HWND dialog = nullptr;
};

TEST_F(HotkeyDialog, RegistersAndIsBlueWithWhiteTextUnlessPlain) {
    EXPECT_EQ(g_hotkeyDlg, dialog) << "the hooks post the releases there";
    ASSERT_NE(g_bgBrush, nullptr); // its colour shows on screen in the end-to-end test
    HDC dc = GetDC(dialog);
    const auto wParam = reinterpret_cast<WPARAM>(dc);
    for (bool plain : {true, false}) {
        g_plainLook = plain;
        SetTextColor(dc, RGB(1, 2, 3));
        SetBkMode(dc, OPAQUE);
        // FALSE leaves the colours to the system.
        const INT_PTR answer = plain ? FALSE : reinterpret_cast<INT_PTR>(g_bgBrush);
        EXPECT_EQ(HotkeyDlgProc(dialog, WM_CTLCOLORDLG, wParam, reinterpret_cast<LPARAM>(dialog)),
                  answer)
            << plain;
        const auto prompt = reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDC_STATIC));
        EXPECT_EQ(HotkeyDlgProc(dialog, WM_CTLCOLORSTATIC, wParam, prompt), answer) << plain;
        EXPECT_EQ(GetTextColor(dc), plain ? RGB(1, 2, 3) : RGB(255, 255, 255)) << plain;
        EXPECT_EQ(GetBkMode(dc), plain ? OPAQUE : TRANSPARENT) << plain;
    }
    ReleaseDC(dialog, dc);
}

TEST_F(HotkeyDialog, PromptNamesEachReleasedInputAndSkipsNamelessKeys) {
    struct Case {
        uint32_t code;
        const wchar_t* name; // null: not taken, nothing changes
        const wchar_t* prompt;
    };
    const Case cases[] = {
        {VK_F9, L"F9", L">>>> F9 (120) <<<<"},
        {7, nullptr, nullptr}, // no scan code, so no name
        {VK_F1, L"F1", L">>>> F1 (112) <<<<"},
        {302, L"XMouseButton 2", L">>>> XMouseButton 2 <<<<"},
        {301, L"XMouseButton 1", L">>>> XMouseButton 1 <<<<"},
        {303, L"XMouseButton 3", L">>>> XMouseButton 3 <<<<"},
        {500, L"MiddleMouseButton", L">>>> MiddleMouseButton <<<<"},
        // X buttons 0xFFFF and 0 give these keyboard codes, which have no name.
        {299, nullptr, nullptr},
        {300, nullptr, nullptr},
        // Keys sharing a scan code with a twin that the extended bit tells
        // apart (Wine's names; the twins are "KP_Prior" ... "/" and "Pause").
        {VK_PRIOR, L"Prior", L">>>> Prior (33) <<<<"},
        {VK_NEXT, L"Next", L">>>> Next (34) <<<<"},
        {VK_END, L"End", L">>>> End (35) <<<<"},
        {VK_HOME, L"Home", L">>>> Home (36) <<<<"},
        {VK_LEFT, L"Left", L">>>> Left (37) <<<<"},
        {VK_UP, L"Up", L">>>> Up (38) <<<<"},
        {VK_RIGHT, L"Right", L">>>> Right (39) <<<<"},
        {VK_DOWN, L"Down", L">>>> Down (40) <<<<"},
        {VK_INSERT, L"Insert", L">>>> Insert (45) <<<<"},
        {VK_DELETE, L"Delete", L">>>> Delete (46) <<<<"},
        {VK_DIVIDE, L"KP_Divide", L">>>> KP_Divide (111) <<<<"},
        {VK_NUMLOCK, L"Num_Lock", L">>>> Num_Lock (144) <<<<"},
    };
    for (const Case& c : cases) {
        const auto expected = c.name ? std::make_tuple(c.prompt, c.name, c.code) : Choice();
        SendMessageW(dialog, WM_INPUT_RELEASED, 0, static_cast<LPARAM>(c.code));
        EXPECT_EQ(Choice(), expected) << c.code;
    }
    EXPECT_EQ(g_hotkey, static_cast<uint32_t>(VK_F12)) << "nothing applied yet";
}

// What Apply makes of the choice, the end-to-end chooser test shows; here,
// what it cannot see: Enter and Escape close nothing, and applying the active
// hotkey again does not end a talk it holds; another forgets the old hold.
TEST_F(HotkeyDialog, OnlyApplyClosesAndTheActiveHotkeyAgainEndsNothing) {
    ShowWindow(dialog, SW_SHOWNA); // EndDialog would hide it
    SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    EXPECT_EQ(g_hotkeyDlg, dialog) << "Enter and Escape leave the window open";
    EXPECT_TRUE(IsWindowVisible(dialog));

    for (const uint32_t chosen : {VK_F12, VK_F9}) {
        g_heldHotkey = VK_F12; // held, and read down by a check
        g_keyStateEndsHold = true;
        g_pendingEvent.store(PENDING_NONE);
        g_hotkeyDlg = dialog;
        SendMessageW(dialog, WM_INPUT_RELEASED, 0, chosen);
        SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDC_APPLY, BN_CLICKED), 0);
        EXPECT_EQ(g_hotkeyDlg, nullptr);
        const bool same = chosen == VK_F12;
        EXPECT_EQ(std::make_tuple(g_pendingEvent.load(), g_heldHotkey, g_keyStateEndsHold),
                  std::make_tuple(same ? PENDING_NONE : PENDING_RELEASED, same ? VK_F12 : 0u, same))
            << chosen;
    }
    EXPECT_EQ(mainProbe.Received(), std::vector<UINT>(2, WM_HOTKEY_APPLIED)) << "told of each";
    g_heldHotkey = 0;
}

TEST(BoundedText, LongTextIsCutAndTerminatedWithoutTouchingPastTheEnd) {
    struct {
        wchar_t text[8];
        wchar_t guard[4];
    } buffer = {{}, {L'#', L'#', L'#', L'#'}};
    const std::wstring tooLong(500, L'x');
    FormatText(buffer.text, L"%ls", tooLong.c_str());
    EXPECT_LT(wcsnlen(buffer.text, 8), 8u);
    EXPECT_EQ(std::wstring(buffer.guard, 4), L"####") << "wrote past the end";
    FormatText(buffer.text, L"%ls %d", L"ab", 42);
    EXPECT_STREQ(buffer.text, L"ab 42");
}

} // namespace
