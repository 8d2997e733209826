// Choosing a hotkey in the real program with real input.
#include "res/resource.h"
#include "vorrel_app.h"

#include <gtest/gtest.h>

using namespace test_support;

namespace {

const Payloads TALKED = {"2|1", "2|0"};

std::function<void()> Tap(const HotkeyInput& input) {
    return [input] {
        input.Send(true);
        input.Send(false);
    };
}

class ChoosingAHotkey : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(StartWithSilencedTarget(target, app));
    }
    StandIn target;
    VorrelApp app;
};

// Each choice talks once applied, and nothing else does.
TEST_F(ChoosingAHotkey, KeysAndButtonsTalkOnceAppliedAndCancelledChoicesWait) {
    auto modalF9 = [&] {
        EXPECT_FALSE(IsWindowEnabled(app.MainWindow())) << "modal while open";
        TapKey(VK_F9);
    };
    EXPECT_EQ(app.ChooseHotkey(modalF9, L">>>> F9 (120) <<<<", IDC_APPLY, L"hotkey-> F9"), "");
    EXPECT_EQ(TalkCycle(target, F9_KEY, [] { F12_KEY.Hold(); }), TALKED) << "F12 talked";

    // With a mouse hotkey, no key talks, the old one included.
    const HotkeyInput A_KEY = {'A', 0, 0, 0};
    EXPECT_EQ(app.ChooseHotkey(Tap(X2_BUTTON), L">>>> XMouseButton 2 <<<<", IDC_APPLY,
                               L"hotkey-> XMouseButton 2"),
              "");
    EXPECT_EQ(TalkCycle(target, X2_BUTTON,
                        [&] {
                            F9_KEY.Hold();
                            A_KEY.Hold();
                        }),
              TALKED);
    EXPECT_EQ(app.ChooseHotkey(Tap(MIDDLE_BUTTON), L">>>> MiddleMouseButton <<<<", IDC_APPLY,
                               L"hotkey-> MiddleMouseButton"),
              "");
    EXPECT_EQ(TalkCycle(target, MIDDLE_BUTTON, [] { X2_BUTTON.Hold(); }), TALKED);

    // Escape is a choice, not a close: had it closed the window, its release
    // would not reach the prompt.
    wchar_t name[100] = L"";
    GetKeyNameTextW(static_cast<LONG>(MapVirtualKeyW(VK_ESCAPE, MAPVK_VK_TO_VSC) << 16), name, 100);
    const std::wstring escape = name;
    auto escapeInFront = [&] {
        EXPECT_TRUE(BringToFront(app.SelectionWindow()));
        TapKey(VK_ESCAPE);
    };
    EXPECT_EQ(app.ChooseHotkey(escapeInFront, L">>>> " + escape + L" (27) <<<<", IDC_APPLY,
                               L"hotkey-> " + escape),
              "");

    // A cancelled choice is what Apply takes when nothing was chosen since.
    EXPECT_EQ(app.ChooseHotkey(Tap(X2_BUTTON), L">>>> XMouseButton 2 <<<<", IDC_CANCEL_CHOICE), "");
    EXPECT_EQ(app.ControlText(IDC_HOTKEY_LABEL), L"hotkey-> " + escape);
    EXPECT_EQ(app.ChooseHotkey([] {}, L"Select active hotkey from keyboard/mouse", IDC_APPLY,
                               L"hotkey-> XMouseButton 2"),
              "");
    EXPECT_EQ(TalkCycle(target, X2_BUTTON), TALKED);
}

TEST_F(ChoosingAHotkey, ActiveHotkeyKeepsTalkingUntilAnotherIsApplied) {
    // While the chooser is open, the active hotkey talks, and its release is a choice.
    EXPECT_EQ(app.ChooseHotkey([&] { EXPECT_EQ(TalkCycle(target, F12_KEY), TALKED); },
                               L">>>> F12 (123) <<<<", IDC_CANCEL_CHOICE),
              "");
    EXPECT_EQ(app.ChooseHotkey(Tap(F9_KEY), L">>>> F9 (120) <<<<", IDC_CANCEL_CHOICE), "");
    EXPECT_EQ(app.ChooseHotkey(Tap(HotkeyInput{VK_F8, 0, 0, 0}), L">>>> F8 (119) <<<<", 0), "");
    EXPECT_EQ(app.ControlText(IDC_HOTKEY_LABEL), L"hotkey-> F12");
    EXPECT_EQ(TalkCycle(target, F12_KEY, [] { F9_KEY.Hold(); }), TALKED) << "F9 talked";

    // Applied while the old hotkey is held, whose release no longer matches.
    SendKey(VK_F12, true);
    ASSERT_TRUE(target.WaitForLast("2|1", 3000));
    EXPECT_EQ(app.ChooseHotkey(Tap(F9_KEY), L">>>> F9 (120) <<<<", IDC_APPLY, L"hotkey-> F9"), "");
    EXPECT_TRUE(target.WaitForLast("2|0", 3000));
    EXPECT_TRUE(WaitUntil([&] { return app.OffPictureVisible(); }, 3000));
    EXPECT_EQ(TalkCycle(target, F9_KEY, [] { SendKey(VK_F12, false); }), TALKED);
}

} // namespace
