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
#include <vector>

namespace {

std::wstring KeyNameFromLayout(UINT virtualKey, bool extended) {
    UINT scan = MapVirtualKeyW(virtualKey, MAPVK_VK_TO_VSC) | (extended ? 0x100 : 0);
    wchar_t name[100] = L"";
    GetKeyNameTextW(static_cast<LONG>(scan << 16), name, 100);
    return name;
}

class HotkeyDialog : public ::testing::Test {
  protected:
    void SetUp() override {
        g_hInstance = GetModuleHandleW(nullptr);
        g_mainDlg.store(mainProbe.Window());
        g_hotkey = HOTKEY_INITIAL;
        g_pendingHotkey = HOTKEY_INITIAL;
        FormatText(g_hotkeyName, L"F12");
        Open();
    }
    void TearDown() override {
        if (IsWindow(dialog)) {
            DestroyWindow(dialog);
        }
        g_hotkeyDlg = nullptr;
        g_mainDlg.store(nullptr);
    }

    void Open() {
        dialog = CreateDialogParamW(g_hInstance, MAKEINTRESOURCEW(IDD_HOTKEY), nullptr,
                                    HotkeyDlgProc, 0);
        ASSERT_NE(dialog, nullptr);
    }
    void Release(uint64_t code) {
        SendMessageW(dialog, WM_INPUT_RELEASED, 0, static_cast<LPARAM>(code));
    }
    std::wstring Prompt() const {
        wchar_t text[WINDOW_TEXT_CHARS + 8];
        GetWindowTextW(GetDlgItem(dialog, IDC_STATIC), text, WINDOW_TEXT_CHARS + 8);
        return text;
    }
    void Press(int id) {
        SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0);
    }
    size_t AppliedNotifications() const {
        return mainProbe.Received().size();
    }

    // Counts what the selection window sends to the main window.
    test_support::MessageProbe mainProbe{{WM_HOTKEY_APPLIED}};
    HWND dialog = nullptr;
};

TEST_F(HotkeyDialog, OpensWithTheTemplatePromptAndRegisters) {
    EXPECT_EQ(g_hotkeyDlg, dialog);
    EXPECT_EQ(Prompt(), L"Select active hotkey from keyboard/mouse");
    EXPECT_NE(g_bgBrush, nullptr);
    wchar_t title[16] = L"?";
    GetWindowTextW(dialog, title, 16);
    EXPECT_STREQ(title, L"");
}

TEST_F(HotkeyDialog, PromptNamesEachKindOfInput) {
    struct Case {
        uint32_t code;
        const wchar_t* prompt;
        const wchar_t* name;
    };
    const Case cases[] = {
        {VK_F9, L">>>> F9 (120) <<<<", L"F9"},
        {VK_F1, L">>>> F1 (112) <<<<", L"F1"},
        {302, L">>>> XMouseButton 2 <<<<", L"XMouseButton 2"},
        {301, L">>>> XMouseButton 1 <<<<", L"XMouseButton 1"},
        {500, L">>>> MiddleMouseButton <<<<", L"MiddleMouseButton"},
    };
    for (const Case& c : cases) {
        Release(c.code);
        EXPECT_EQ(Prompt(), c.prompt);
        EXPECT_STREQ(g_hotkeyName, c.name);
        EXPECT_EQ(g_pendingHotkey, c.code);
    }
    EXPECT_EQ(g_hotkey, static_cast<uint32_t>(VK_F12)) << "nothing applied yet";
}

TEST_F(HotkeyDialog, KeysSharingAScanCodeGetTheirOwnNames) {
    const UINT keys[] = {VK_PRIOR, VK_NEXT, VK_END,    VK_HOME,   VK_LEFT,   VK_UP,
                         VK_RIGHT, VK_DOWN, VK_INSERT, VK_DELETE, VK_DIVIDE, VK_NUMLOCK};
    int distinguished = 0;
    for (UINT key : keys) {
        const std::wstring own = KeyNameFromLayout(key, true);
        ASSERT_FALSE(own.empty()) << key;
        Release(key);
        EXPECT_EQ(Prompt(), L">>>> " + own + L" (" + std::to_wstring(key) + L") <<<<");
        EXPECT_EQ(g_hotkeyName, own);
        if (own != KeyNameFromLayout(key, false)) {
            ++distinguished;
        }
    }
    // The layout really tells these keys apart from their twins, so the bit matters.
    EXPECT_GE(distinguished, 8);
}

TEST_F(HotkeyDialog, KeyWithoutANameIsNotTaken) {
    // A code without a scan code has no name. (Wine names the extended scan
    // code 0, but the extended bit is only ever added to keys that have one.)
    UINT nameless = 0;
    for (UINT code = 1; code <= 300 && !nameless; ++code) {
        if (MapVirtualKeyW(code, MAPVK_VK_TO_VSC) == 0 && KeyNameFromLayout(code, false).empty()) {
            nameless = code;
        }
    }
    ASSERT_NE(nameless, 0u) << "this keyboard layout names every code";
    Release(VK_F9);
    Release(nameless);
    EXPECT_EQ(g_pendingHotkey, static_cast<uint32_t>(VK_F9));
    EXPECT_EQ(Prompt(), L">>>> F9 (120) <<<<");
    EXPECT_STREQ(g_hotkeyName, L"F9");
}

TEST_F(HotkeyDialog, OddCodesStayWithinTheirBuffers) {
    const uint64_t codes[] = {0,   1,   255, 299, 300,   301,        302,
                              303, 499, 500, 501, 65535, 0xFFFFFFFF, 0xFFFFFFFFFFFFFFFF};
    for (uint64_t code : codes) {
        Release(code);
        EXPECT_LT(wcsnlen(g_hotkeyName, HOTKEY_NAME_CHARS), static_cast<size_t>(HOTKEY_NAME_CHARS))
            << code;
        EXPECT_LT(Prompt().size(), static_cast<size_t>(WINDOW_TEXT_CHARS)) << code;
    }
    Release(303);
    EXPECT_STREQ(g_hotkeyName, L"XMouseButton 3");
    Release(0xFFFFFFFF);
    EXPECT_EQ(g_pendingHotkey, 0xFFFFFFFFu);
    EXPECT_STREQ(g_hotkeyName, L"XMouseButton -301");
}

TEST_F(HotkeyDialog, ApplyMakesThePendingChoiceTheHotkey) {
    g_pendingEvent.store(PENDING_NONE);
    Release(VK_F9);
    Press(IDC_APPLY);
    EXPECT_EQ(g_hotkey, static_cast<uint32_t>(VK_F9));
    EXPECT_EQ(g_hotkeyDlg, nullptr);
    EXPECT_EQ(AppliedNotifications(), 1u);
    // The old key may be held: its release would no longer match, so the
    // relay is told it was let go.
    EXPECT_EQ(g_pendingEvent.exchange(PENDING_NONE), PENDING_RELEASED);

    Open();
    Release(VK_F9);
    Press(IDC_APPLY);
    EXPECT_EQ(g_pendingEvent.load(), PENDING_NONE) << "the same hotkey again ends nothing";
}

TEST_F(HotkeyDialog, EnterAndEscapeCommandsLeaveTheWindowOpen) {
    ShowWindow(dialog, SW_SHOWNA); // EndDialog would hide it
    Press(IDOK);
    Press(IDCANCEL);
    EXPECT_EQ(g_hotkeyDlg, dialog);
    EXPECT_TRUE(IsWindowVisible(dialog));
    EXPECT_EQ(g_hotkey, static_cast<uint32_t>(VK_F12));
}

TEST_F(HotkeyDialog, ApplyWithoutANewChoiceTakesThePendingOne) {
    g_hotkey = VK_F9; // F12 was chosen and cancelled while F9 was active
    Press(IDC_APPLY);
    EXPECT_EQ(g_hotkey, static_cast<uint32_t>(VK_F12));
    EXPECT_STREQ(g_hotkeyName, L"F12");
}

TEST(BoundedText, LongTextIsCutAndTerminatedWithoutTouchingPastTheEnd) {
    struct {
        wchar_t text[8];
        wchar_t guard[4];
    } buffer;
    for (wchar_t& c : buffer.guard) {
        c = L'#';
    }
    const std::wstring tooLong(500, L'x');
    FormatText(buffer.text, L"%ls", tooLong.c_str());
    EXPECT_LT(wcsnlen(buffer.text, 8), 8u);
    for (wchar_t c : buffer.guard) {
        EXPECT_EQ(c, L'#') << "wrote past the end";
    }
    FormatText(buffer.text, L"%ls %d", L"ab", 42);
    EXPECT_STREQ(buffer.text, L"ab 42");
}

} // namespace
