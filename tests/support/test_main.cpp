// The tests' main: every test starts clean and leaves nothing behind, so that
// a check that fails mid-hold fails its own test and no later one.
#include "core/shared_state.h"
#include "test_support.h"

#include <gtest/gtest.h>

void test_support::CleanSlate() {
    // Unswapped first, so that the buttons let go of below are the ones named.
    SwapMouseButton(FALSE);
    // From another thread: a hook this one still runs would hold the input up.
    RunWhilePumping(5000, [] {
        for (const HotkeyInput& input :
             {F12_KEY, F9_KEY, HotkeyInput{VK_SHIFT, 0, 0, 0}, MIDDLE_BUTTON, X1_BUTTON, X2_BUTTON,
              HotkeyInput{0, 0, MOUSEEVENTF_LEFTUP | MOUSEEVENTF_RIGHTUP, 0}}) {
            input.Send(false);
        }
    });
    EnumWindows(
        [](HWND window, LPARAM) {
            DWORD process = 0;
            GetWindowThreadProcessId(window, &process);
            if (process == GetCurrentProcessId() && IsWindowVisible(window)) {
                SendMessageTimeoutW(window, WM_CLOSE, 0, 0, SMTO_ABORTIFHUNG, 1000, nullptr);
                DestroyWindow(window); // fails harmlessly once closed, or on another thread's
            }
            return TRUE;
        },
        0);
    MSG quit; // posted by a main window's destruction
    PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE);
    // The program's shared state as it starts, for the tests that run its parts in-process.
    g_hInstance = GetModuleHandleW(nullptr);
    g_hotkey = HOTKEY_INITIAL;
    g_heldHotkey = 0;
    g_keyStateEndsHold = false;
    g_pendingEvent.store(PENDING_NONE);
    g_talking.store(0);
    g_talkHandled.store(0);
    g_targetSeen.store(nullptr);
    g_mainDlg.store(nullptr);
    g_hotkeyDlg = nullptr;
}

// The end is called once the fixture and the test's locals, its processes
// among them, are gone.
class LeaveNothingBehind : public ::testing::EmptyTestEventListener {
    void OnTestStart(const ::testing::TestInfo&) override {
        test_support::CleanSlate();
    }
    void OnTestEnd(const ::testing::TestInfo&) override {
        test_support::CleanSlate();
    }
};

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    ::testing::UnitTest::GetInstance()->listeners().Append(new LeaveNothingBehind);
    return RUN_ALL_TESTS();
}
