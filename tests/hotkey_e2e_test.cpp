// Choosing a hotkey in the real program with real input.
#include "res/resource.h"
#include "vorrel_app.h"

#include <gtest/gtest.h>

using namespace test_support;

namespace {

const Payloads TALKED = {"2|1", "2|0"};

class ChoosingAHotkey : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(StartWithSilencedTarget(target, app));
    }

    bool WaitForPrompt(HWND chooser, const std::wstring& expected) {
        return WaitUntil([&] { return WindowText(GetDlgItem(chooser, IDC_STATIC)) == expected; },
                         3000);
    }
    void ClickAndWaitClosed(HWND chooser, int buttonId) {
        ClickAt(CentreOf(GetDlgItem(chooser, buttonId)));
        EXPECT_TRUE(WaitUntil([&] { return app.SelectionWindow() == nullptr; }, 3000));
    }
    bool WaitForLabel(const std::wstring& expected) {
        return WaitUntil([&] { return app.ControlText(IDC_HOTKEY_LABEL) == expected; }, 3000);
    }

    StandIn target;
    VorrelApp app;
};

TEST_F(ChoosingAHotkey, F9ReplacesF12) {
    HWND chooser = app.OpenChooser();
    ASSERT_NE(chooser, nullptr);
    EXPECT_FALSE(IsWindowEnabled(app.MainWindow())) << "modal while open";

    TapKey(VK_F9);
    ASSERT_TRUE(WaitForPrompt(chooser, L">>>> F9 (120) <<<<"));
    ClickAndWaitClosed(chooser, IDC_APPLY);
    EXPECT_TRUE(IsWindowEnabled(app.MainWindow()));
    EXPECT_TRUE(WaitForLabel(L"hotkey-> F9"));

    // F12 sends nothing at all; F9 talks.
    EXPECT_EQ(TalkCycle(target, F9_KEY, [] { TapKey(VK_F12); }), TALKED);
}

TEST_F(ChoosingAHotkey, MouseButtonsAreNamedAndTalkOnceApplied) {
    struct Case {
        HotkeyInput button;
        const wchar_t* prompt;
        const wchar_t* label;
    };
    const Case cases[] = {
        {X2_BUTTON, L">>>> XMouseButton 2 <<<<", L"hotkey-> XMouseButton 2"},
        {MIDDLE_BUTTON, L">>>> MiddleMouseButton <<<<", L"hotkey-> MiddleMouseButton"},
    };
    for (const Case& c : cases) {
        HWND chooser = app.OpenChooser();
        ASSERT_NE(chooser, nullptr);
        c.button.Send(true);
        c.button.Send(false);
        ASSERT_TRUE(WaitForPrompt(chooser, c.prompt));
        ClickAndWaitClosed(chooser, IDC_APPLY);
        EXPECT_TRUE(WaitForLabel(c.label));
        // With a mouse hotkey, no key sends anything, F12 included.
        EXPECT_EQ(TalkCycle(target, c.button,
                            [] {
                                SendKey(VK_F12, true);
                                TapKey('A');
                                SendKey(VK_F12, false);
                            }),
                  TALKED);
    }
}

TEST_F(ChoosingAHotkey, CancelAndSystemCloseKeepTheHotkey) {
    HWND chooser = app.OpenChooser();
    ASSERT_NE(chooser, nullptr);
    TapKey(VK_F9);
    ASSERT_TRUE(WaitForPrompt(chooser, L">>>> F9 (120) <<<<"));
    ClickAndWaitClosed(chooser, IDC_CANCEL_CHOICE);

    chooser = app.OpenChooser();
    ASSERT_NE(chooser, nullptr);
    TapKey(VK_F8);
    ASSERT_TRUE(WaitForPrompt(chooser, L">>>> F8 (119) <<<<"));
    PostMessageW(chooser, WM_SYSCOMMAND, SC_CLOSE, 0); // Alt+F4 and the system menu
    EXPECT_TRUE(WaitUntil([&] { return app.SelectionWindow() == nullptr; }, 3000));

    EXPECT_EQ(app.ControlText(IDC_HOTKEY_LABEL), L"hotkey-> F12");
    EXPECT_EQ(TalkCycle(target, F12_KEY, [] { TapKey(VK_F9); }), TALKED);
}

TEST_F(ChoosingAHotkey, ApplyRightAfterReopeningAppliesTheCancelledChoice) {
    HWND chooser = app.OpenChooser();
    ASSERT_NE(chooser, nullptr);
    X2_BUTTON.Send(true);
    X2_BUTTON.Send(false);
    ASSERT_TRUE(WaitForPrompt(chooser, L">>>> XMouseButton 2 <<<<"));
    ClickAndWaitClosed(chooser, IDC_CANCEL_CHOICE);

    chooser = app.OpenChooser();
    ASSERT_NE(chooser, nullptr);
    EXPECT_EQ(WindowText(GetDlgItem(chooser, IDC_STATIC)),
              L"Select active hotkey from keyboard/mouse");
    ClickAndWaitClosed(chooser, IDC_APPLY);
    EXPECT_TRUE(WaitForLabel(L"hotkey-> XMouseButton 2"));
    EXPECT_EQ(TalkCycle(target, X2_BUTTON), TALKED);
}

TEST_F(ChoosingAHotkey, EscapeIsAChoiceNotAClose) {
    HWND chooser = app.OpenChooser();
    ASSERT_NE(chooser, nullptr);
    ASSERT_TRUE(BringToFront(chooser));
    TapKey(VK_ESCAPE);
    wchar_t name[100] = L"";
    GetKeyNameTextW(static_cast<LONG>(MapVirtualKeyW(VK_ESCAPE, MAPVK_VK_TO_VSC) << 16), name, 100);
    ASSERT_TRUE(WaitForPrompt(chooser, L">>>> " + std::wstring(name) + L" (27) <<<<"));
    PumpMessagesFor(300);
    EXPECT_EQ(app.SelectionWindow(), chooser);
    ClickAndWaitClosed(chooser, IDC_APPLY);
    EXPECT_TRUE(WaitForLabel(L"hotkey-> " + std::wstring(name)));
}

TEST_F(ChoosingAHotkey, ActiveHotkeyTalksWhileTheChooserIsOpen) {
    HWND chooser = app.OpenChooser();
    ASSERT_NE(chooser, nullptr);
    EXPECT_EQ(TalkCycle(target, F12_KEY), TALKED);
    // Its release was also taken as the pending choice.
    EXPECT_TRUE(WaitForPrompt(chooser, L">>>> F12 (123) <<<<"));
    ClickAndWaitClosed(chooser, IDC_CANCEL_CHOICE);
}

TEST_F(ChoosingAHotkey, ApplyingANewHotkeyWhileTheOldIsHeldEndsTheTalk) {
    HWND chooser = app.OpenChooser();
    ASSERT_NE(chooser, nullptr);
    SendKey(VK_F12, true);
    ASSERT_TRUE(target.WaitForLast("2|1", 3000));
    TapKey(VK_F9);
    ASSERT_TRUE(WaitForPrompt(chooser, L">>>> F9 (120) <<<<"));
    ClickAndWaitClosed(chooser, IDC_APPLY);
    // The old key's release no longer matches, so only Apply can end the talk.
    EXPECT_TRUE(target.WaitForLast("2|0", 3000));
    EXPECT_TRUE(WaitUntil([&] { return app.OffPictureVisible(); }, 3000));
    EXPECT_EQ(TalkCycle(target, F9_KEY, [] { SendKey(VK_F12, false); }), TALKED);
}

} // namespace
