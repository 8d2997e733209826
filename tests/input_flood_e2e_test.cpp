// Thousands of random key and mouse events through SendInput, with the
// selection window closed and open; push-to-talk must come out working.
#include "focus_sink.h"
#include "res/resource.h"
#include "vorrel_app.h"

#include <gtest/gtest.h>

#include <random>
#include <set>

using namespace test_support;

namespace {

constexpr int FLOOD_EVENTS = 5000;

// Keys that the flood may press. F4 stays out so that Alt+F4 cannot close
// the windows under test; Enter, Space and Tab would work the dialogs, not
// the hooks.
const WORD FLOOD_KEYS[] = {'A',       'Q',       'Z',        '1',      '0',     VK_F1,   VK_F2,
                           VK_F3,     VK_F5,     VK_F9,      VK_F11,   VK_F12,  VK_F12,  VK_F12,
                           VK_ESCAPE, VK_SHIFT,  VK_CONTROL, VK_MENU,  VK_LEFT, VK_HOME, VK_INSERT,
                           VK_DELETE, VK_DIVIDE, VK_NUMPAD5, VK_OEM_2, VK_BACK};

class Flood {
  public:
    explicit Flood(unsigned seed) : random_(seed) {}

    void Send(int events) {
        for (int i = 0; i < events; ++i) {
            if (std::uniform_int_distribution<int>(0, 9)(random_) < 7) {
                const WORD key = FLOOD_KEYS[std::uniform_int_distribution<size_t>(
                    0, sizeof FLOOD_KEYS / sizeof FLOOD_KEYS[0] - 1)(random_)];
                const bool down = !keysDown_.count(key);
                SendKey(key, down);
                down ? (void)keysDown_.insert(key) : (void)keysDown_.erase(key);
            } else {
                const int button = std::uniform_int_distribution<int>(0, 2)(random_);
                const bool down = !buttonsDown_.count(button);
                SendButton(button, down);
                down ? (void)buttonsDown_.insert(button) : (void)buttonsDown_.erase(button);
            }
            if (i % 50 == 0) {
                PumpMessagesFor(1);
            }
        }
        // Let go of everything still held.
        for (WORD key : keysDown_) {
            SendKey(key, false);
        }
        for (int button : buttonsDown_) {
            SendButton(button, false);
        }
        keysDown_.clear();
        buttonsDown_.clear();
    }

  private:
    static void SendButton(int button, bool down) {
        if (button == 0) {
            SendMouseButton(down ? MOUSEEVENTF_MIDDLEDOWN : MOUSEEVENTF_MIDDLEUP);
        } else {
            SendMouseButton(down ? MOUSEEVENTF_XDOWN : MOUSEEVENTF_XUP,
                            button == 1 ? XBUTTON1 : XBUTTON2);
        }
    }

    std::mt19937 random_;
    std::set<WORD> keysDown_;
    std::set<int> buttonsDown_;
};

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

    StandIn target;
    VorrelApp app;
    FocusSink sink;
};

TEST_F(InputFlood, WithTheSelectionWindowClosed) {
    ASSERT_TRUE(sink.TakeFocus());
    Flood(1).Send(FLOOD_EVENTS);
    EXPECT_EQ(app.SelectionWindow(), nullptr);
    ExpectStillWorking();
    EXPECT_EQ(app.ControlText(IDC_HOTKEY_LABEL), L"hotkey-> F12");
}

TEST_F(InputFlood, WithTheSelectionWindowOpen) {
    HWND chooser = app.OpenChooser();
    ASSERT_NE(chooser, nullptr);
    ASSERT_TRUE(sink.TakeFocus());
    Flood(2).Send(FLOOD_EVENTS);

    EXPECT_EQ(WindowText(GetDlgItem(chooser, IDC_STATIC)).rfind(L">>>> ", 0), 0u)
        << "the chooser took the releases";
    PostMessageW(GetDlgItem(chooser, IDC_CANCEL_CHOICE), BM_CLICK, 0, 0);
    ASSERT_TRUE(WaitUntil([&] { return app.SelectionWindow() == nullptr; }, 3000));
    ExpectStillWorking();
}

} // namespace
