// Thousands of random key and mouse events through SendInput, with the
// selection window closed and open; push-to-talk must come out working.
#include "res/resource.h"
#include "vorrel_app.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

using namespace test_support;

namespace {

constexpr int FLOOD_EVENTS = 5000;

// What the flood may press. F4 stays out so that Alt+F4 cannot close the
// windows under test; Enter, Space and Tab would work the dialogs, not the hooks.
const WORD FLOOD_KEYS[] = {'A',       'Q',       'Z',        '1',      '0',     VK_F1,   VK_F2,
                           VK_F3,     VK_F5,     VK_F9,      VK_F11,   VK_F12,  VK_F12,  VK_F12,
                           VK_ESCAPE, VK_SHIFT,  VK_CONTROL, VK_MENU,  VK_LEFT, VK_HOME, VK_INSERT,
                           VK_DELETE, VK_DIVIDE, VK_NUMPAD5, VK_OEM_2, VK_BACK};
const HotkeyInput FLOOD_BUTTONS[] = {
    MIDDLE_BUTTON, X2_BUTTON, {0, MOUSEEVENTF_XDOWN, MOUSEEVENTF_XUP, XBUTTON1}};

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

class InputFlood : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(StartWithSilencedTarget(target, app));
    }

    // After the flood: the program answers, the last word to the target was
    // a stop, and a fresh press of the hotkey still talks.
    void ExpectStillWorking() {
        DWORD_PTR result = 0;
        EXPECT_NE(
            SendMessageTimeoutW(app.MainWindow(), WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 5000, &result),
            0)
            << "the program answers";
        ASSERT_TRUE(target.WaitForLast("2|0", 3000));
        EXPECT_EQ(TalkCycle(target, F12_KEY), (Payloads{"2|1", "2|0"}));
        std::printf("flood: %zu commands reached the target\n", target.Commands().size());
    }

    // Takes the keys while flooding, where they can neither close nor open
    // anything: no caption, no system menu, and F4 is never flooded.
    bool FocusSink() {
        MoveCursorTo(1100, 875);
        return BringToFront(sink);
    }

    StandIn target;
    VorrelApp app;
    HWND sink = CreateWindowExW(WS_EX_TOPMOST, L"STATIC", L"", WS_POPUP | WS_VISIBLE, 1000, 800,
                                200, 150, nullptr, nullptr, nullptr, nullptr);
};

TEST_F(InputFlood, WithTheSelectionWindowClosed) {
    ASSERT_TRUE(FocusSink());
    Flood(1, FLOOD_EVENTS);
    EXPECT_EQ(app.SelectionWindow(), nullptr);
    ExpectStillWorking();
    EXPECT_EQ(app.ControlText(IDC_HOTKEY_LABEL), L"hotkey-> F12");
}

TEST_F(InputFlood, WithTheSelectionWindowOpen) {
    HWND chooser = app.OpenChooser();
    ASSERT_NE(chooser, nullptr);
    ASSERT_TRUE(FocusSink());
    Flood(2, FLOOD_EVENTS);

    EXPECT_EQ(WindowText(GetDlgItem(chooser, IDC_STATIC)).rfind(L">>>> ", 0), 0u)
        << "the chooser took the releases";
    PostMessageW(GetDlgItem(chooser, IDC_CANCEL_CHOICE), BM_CLICK, 0, 0);
    ASSERT_TRUE(WaitUntil([&] { return app.SelectionWindow() == nullptr; }, 3000));
    ExpectStillWorking();
}

} // namespace
