// Choosing a hotkey in the real program with real input.
#include "res/resource.h"
#include "vorrel_app.h"

#include <gtest/gtest.h>

using namespace test_support;

namespace {

const wchar_t UNCHOSEN[] = L"Select active hotkey from keyboard/mouse";

class ChoosingAHotkey : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(StartWithSilencedTarget(target, app));
    }
    // A choice in the chooser (see VorrelApp::ChooseHotkey) that all went as asked.
    void Choose(const std::function<void()>& choose, const wchar_t* prompt, int closeWith,
                const wchar_t* label = L"") {
        EXPECT_EQ(app.ChooseHotkey(choose, prompt, closeWith, label), "") << prompt;
    }
    StandIn target;
    VorrelApp app;
};

// Each choice talks once applied, and nothing else does.
TEST_F(ChoosingAHotkey, KeysAndButtonsTalkOnceAppliedAndCancelledChoicesWait) {
    // Nothing chosen yet: Apply keeps F12.
    Choose([] {}, UNCHOSEN, IDC_APPLY, L"hotkey-> F12");
    EXPECT_EQ(TalkCycle(target, F12_KEY), TALKED);
    auto modalF9 = [&] {
        EXPECT_FALSE(IsWindowEnabled(app.MainWindow())) << "modal while open";
        TapKey(VK_F9);
    };
    Choose(modalF9, L">>>> F9 (120) <<<<", IDC_APPLY, L"hotkey-> F9");
    EXPECT_EQ(TalkCycle(target, F9_KEY, [] { F12_KEY.Hold(); }), TALKED) << "F12 talked";

    // With a mouse hotkey, no key talks, the old one included.
    Choose([] { X2_BUTTON.Hold(); }, L">>>> XMouseButton 2 <<<<", IDC_APPLY,
           L"hotkey-> XMouseButton 2");
    auto keys = [] {
        F9_KEY.Hold();
        HotkeyInput{'A', 0, 0, 0}.Hold();
    };
    EXPECT_EQ(TalkCycle(target, X2_BUTTON, keys), TALKED);
    Choose([] { MIDDLE_BUTTON.Hold(); }, L">>>> MiddleMouseButton <<<<", IDC_APPLY,
           L"hotkey-> MiddleMouseButton");
    EXPECT_EQ(TalkCycle(target, MIDDLE_BUTTON, [] { X2_BUTTON.Hold(); }), TALKED);

    // Escape is a choice, not a close: had it closed the window, its release
    // would not reach the prompt.
    auto escapeInFront = [&] {
        EXPECT_TRUE(BringToFront(app.SelectionWindow()));
        TapKey(VK_ESCAPE);
    };
    Choose(escapeInFront, L">>>> Escape (27) <<<<", IDC_APPLY, L"hotkey-> Escape");

    // A cancelled choice is what Apply takes when nothing was chosen since.
    Choose([] { X2_BUTTON.Hold(); }, L">>>> XMouseButton 2 <<<<", IDC_CANCEL_CHOICE);
    Choose([] {}, UNCHOSEN, IDC_APPLY, L"hotkey-> XMouseButton 2");
    EXPECT_EQ(TalkCycle(target, X2_BUTTON), TALKED);
}

TEST_F(ChoosingAHotkey, ActiveHotkeyKeepsTalkingUntilAnotherIsApplied) {
    // While the chooser is open, the active hotkey talks, and its release is a choice.
    Choose([&] { EXPECT_EQ(TalkCycle(target, F12_KEY), TALKED); }, L">>>> F12 (123) <<<<",
           IDC_CANCEL_CHOICE);
    Choose([] { TapKey(VK_F9); }, L">>>> F9 (120) <<<<", IDC_CANCEL_CHOICE);
    Choose([] { TapKey(VK_F8); }, L">>>> F8 (119) <<<<", 0);
    EXPECT_EQ(WindowText(app.Control(IDC_HOTKEY_LABEL)), L"hotkey-> F12");
    EXPECT_EQ(TalkCycle(target, F12_KEY, [] { F9_KEY.Hold(); }), TALKED) << "F9 talked";

    // Applied while the old hotkey is held, whose release no longer matches.
    SendKey(VK_F12, true);
    ASSERT_TRUE(target.WaitForLast("2|1", 3000));
    Choose([] { TapKey(VK_F9); }, L">>>> F9 (120) <<<<", IDC_APPLY, L"hotkey-> F9");
    EXPECT_TRUE(target.WaitForLast("2|0", 3000));
    EXPECT_TRUE(WaitUntil([&] { return app.OffPictureVisible(); }, 3000));
    SendKey(VK_F12, false);
    EXPECT_EQ(TalkCycle(target, F9_KEY), TALKED);
}

} // namespace
