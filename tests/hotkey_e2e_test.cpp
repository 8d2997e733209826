// Choosing a hotkey in the real program with real input.
#include "res/resource.h"
#include "vorrel_app.h"

#include <gtest/gtest.h>

using namespace test_support;

namespace {

using Payloads = std::vector<std::string>;

POINT CentreOf(HWND control) {
    RECT rect;
    GetWindowRect(control, &rect);
    return {(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2};
}

// Clicks spaced beyond the double-click time, so that each one is a plain click.
void ClickAt(POINT at) {
    static ULONGLONG lastClick = 0;
    const ULONGLONG since = GetTickCount64() - lastClick;
    if (since <= GetDoubleClickTime()) {
        PumpMessagesFor(static_cast<DWORD>(GetDoubleClickTime() - since) + 50);
    }
    PressLeftAt(at);
    ReleaseLeft();
    lastClick = GetTickCount64();
}

std::wstring TextOf(HWND control) {
    wchar_t text[1024] = L"";
    SendMessageTimeoutW(control, WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG,
                        5000, nullptr);
    return text;
}

void TapMouse(DWORD downFlag, DWORD upFlag, DWORD data = 0) {
    SendMouseButton(downFlag, data);
    SendMouseButton(upFlag, data);
}

class ChoosingAHotkey : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(StartWithSilencedTarget(target, app));
    }

    // Opens the chooser with a real click on "Set hotkey". Under Wine the
    // first click on a window that is not yet active is now and then spent
    // on activating it, so a second click is allowed.
    HWND OpenChooser() {
        // A chooser that just closed gives the main window back its input.
        EXPECT_TRUE(WaitUntil([&] { return IsWindowEnabled(app.MainWindow()) != FALSE; }, 3000));
        HWND chooser = nullptr;
        for (int attempt = 0; attempt < 2 && !chooser; ++attempt) {
            ClickAt(CentreOf(app.Control(IDC_SET_HOTKEY)));
            WaitUntil([&] { return (chooser = app.SelectionWindow()) != nullptr; }, 1500);
        }
        EXPECT_NE(chooser, nullptr);
        return chooser;
    }
    bool WaitForPrompt(HWND chooser, const std::wstring& expected) {
        return WaitUntil([&] { return TextOf(GetDlgItem(chooser, IDC_STATIC)) == expected; }, 3000);
    }
    void ClickAndWaitClosed(HWND chooser, int buttonId) {
        ClickAt(CentreOf(GetDlgItem(chooser, buttonId)));
        EXPECT_TRUE(WaitUntil([&] { return app.SelectionWindow() == nullptr; }, 3000));
    }
    bool WaitForLabel(const std::wstring& expected) {
        return WaitUntil([&] { return app.ControlText(IDC_HOTKEY_LABEL) == expected; }, 3000);
    }
    // Holds something down for a moment, lets go, and reports whether the
    // target was told to talk and then to stop.
    template <typename Press, typename Release> bool Talks(Press press, Release release) {
        const size_t before = target.Commands().size();
        press();
        WaitUntil([&] { return target.Commands().size() >= before + 1; }, 1000);
        release();
        WaitUntil([&] { return target.Commands().size() >= before + 2; }, 1000);
        PumpMessagesFor(100);
        const Payloads all = target.Payloads();
        return Payloads(all.begin() + before, all.end()) == Payloads{"2|1", "2|0"};
    }

    StandIn target;
    VorrelApp app;
};

TEST_F(ChoosingAHotkey, F9ReplacesF12) {
    HWND chooser = OpenChooser();
    ASSERT_NE(chooser, nullptr);
    EXPECT_FALSE(IsWindowEnabled(app.MainWindow())) << "modal while open";

    TapKey(VK_F9);
    ASSERT_TRUE(WaitForPrompt(chooser, L">>>> F9 (120) <<<<"));
    ClickAndWaitClosed(chooser, IDC_APPLY);
    EXPECT_TRUE(IsWindowEnabled(app.MainWindow()));
    EXPECT_TRUE(WaitForLabel(L"hotkey-> F9"));

    EXPECT_TRUE(Talks([] { SendKey(VK_F9, true); }, [] { SendKey(VK_F9, false); }));
    EXPECT_FALSE(Talks([] { SendKey(VK_F12, true); }, [] { SendKey(VK_F12, false); }));
}

TEST_F(ChoosingAHotkey, MouseButtonsAreNamedAndTalkOnceApplied) {
    struct Case {
        DWORD down, up, data;
        const wchar_t* prompt;
        const wchar_t* label;
    };
    const Case cases[] = {
        {MOUSEEVENTF_XDOWN, MOUSEEVENTF_XUP, XBUTTON2, L">>>> XMouseButton 2 <<<<",
         L"hotkey-> XMouseButton 2"},
        {MOUSEEVENTF_MIDDLEDOWN, MOUSEEVENTF_MIDDLEUP, 0, L">>>> MiddleMouseButton <<<<",
         L"hotkey-> MiddleMouseButton"},
    };
    for (const Case& c : cases) {
        HWND chooser = OpenChooser();
        ASSERT_NE(chooser, nullptr);
        TapMouse(c.down, c.up, c.data);
        ASSERT_TRUE(WaitForPrompt(chooser, c.prompt));
        ClickAndWaitClosed(chooser, IDC_APPLY);
        EXPECT_TRUE(WaitForLabel(c.label));
        EXPECT_TRUE(Talks([&] { SendMouseButton(c.down, c.data); },
                          [&] { SendMouseButton(c.up, c.data); }));
        // With a mouse hotkey, no key talks, F12 included.
        EXPECT_FALSE(Talks(
            [] {
                SendKey(VK_F12, true);
                SendKey('A', true);
            },
            [] {
                SendKey('A', false);
                SendKey(VK_F12, false);
            }));
    }
}

TEST_F(ChoosingAHotkey, CancelAndSystemCloseKeepTheHotkey) {
    HWND chooser = OpenChooser();
    TapKey(VK_F9);
    ASSERT_TRUE(WaitForPrompt(chooser, L">>>> F9 (120) <<<<"));
    ClickAndWaitClosed(chooser, IDC_CANCEL_CHOICE);

    chooser = OpenChooser();
    TapKey(VK_F8);
    ASSERT_TRUE(WaitForPrompt(chooser, L">>>> F8 (119) <<<<"));
    PostMessageW(chooser, WM_SYSCOMMAND, SC_CLOSE, 0); // Alt+F4 and the system menu
    EXPECT_TRUE(WaitUntil([&] { return app.SelectionWindow() == nullptr; }, 3000));

    EXPECT_EQ(app.ControlText(IDC_HOTKEY_LABEL), L"hotkey-> F12");
    EXPECT_TRUE(Talks([] { SendKey(VK_F12, true); }, [] { SendKey(VK_F12, false); }));
    EXPECT_FALSE(Talks([] { SendKey(VK_F9, true); }, [] { SendKey(VK_F9, false); }));
}

TEST_F(ChoosingAHotkey, ApplyRightAfterReopeningAppliesTheCancelledChoice) {
    HWND chooser = OpenChooser();
    TapMouse(MOUSEEVENTF_XDOWN, MOUSEEVENTF_XUP, XBUTTON2);
    ASSERT_TRUE(WaitForPrompt(chooser, L">>>> XMouseButton 2 <<<<"));
    ClickAndWaitClosed(chooser, IDC_CANCEL_CHOICE);

    chooser = OpenChooser();
    EXPECT_EQ(TextOf(GetDlgItem(chooser, IDC_STATIC)), L"Select active hotkey from keyboard/mouse");
    ClickAndWaitClosed(chooser, IDC_APPLY);
    EXPECT_TRUE(WaitForLabel(L"hotkey-> XMouseButton 2"));
    EXPECT_TRUE(Talks([] { SendMouseButton(MOUSEEVENTF_XDOWN, XBUTTON2); },
                      [] { SendMouseButton(MOUSEEVENTF_XUP, XBUTTON2); }));
}

TEST_F(ChoosingAHotkey, EscapeIsAChoiceNotAClose) {
    HWND chooser = OpenChooser();
    SetForegroundWindow(chooser);
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
    HWND chooser = OpenChooser();
    ASSERT_NE(chooser, nullptr);
    EXPECT_TRUE(Talks([] { SendKey(VK_F12, true); }, [] { SendKey(VK_F12, false); }));
    // Its release was also taken as the pending choice.
    EXPECT_TRUE(WaitForPrompt(chooser, L">>>> F12 (123) <<<<"));
    ClickAndWaitClosed(chooser, IDC_CANCEL_CHOICE);
}

} // namespace
