// Odd command lines, odd mouse data and a second copy of the program.
#include "res/resource.h"
#include "vorrel_app.h"

#include <gtest/gtest.h>

using namespace test_support;

namespace {

using Payloads = std::vector<std::string>;

std::wstring PromptOf(HWND chooser) {
    wchar_t text[1100] = L"";
    SendMessageTimeoutW(GetDlgItem(chooser, IDC_STATIC), WM_GETTEXT, 1100,
                        reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG, 5000, nullptr);
    return text;
}

TEST(BadInput, AnyCommandLineGivesAWorkingWindow) {
    const std::wstring commandLines[] = {L"", L"x", std::wstring(32000, L'a'),
                                         L"h\u00E9llo \u2713 \u65E5\u672C \U0001F3A4"};
    StandIn target;
    ASSERT_TRUE(target.Start());
    size_t expected = 0;
    for (const std::wstring& commandLine : commandLines) {
        VorrelApp app;
        ASSERT_TRUE(app.Start(commandLine)) << commandLine.size() << " characters";
        ASSERT_TRUE(target.WaitForCommandCount(++expected, 5000));
        SendKey(VK_F12, true);
        ASSERT_TRUE(target.WaitForCommandCount(++expected, 3000));
        SendKey(VK_F12, false);
        ASSERT_TRUE(target.WaitForCommandCount(++expected, 3000));
        EXPECT_EQ(app.Close(), 0);
    }
}

TEST(BadInput, OddXButtonNumbersAreNamedWithinBounds) {
    VorrelApp app;
    ASSERT_TRUE(app.Start());
    PostMessageW(app.Control(IDC_SET_HOTKEY), BM_CLICK, 0, 0);
    HWND chooser = nullptr;
    ASSERT_TRUE(WaitUntil([&] { return (chooser = app.SelectionWindow()) != nullptr; }, 3000));

    for (DWORD number : {3u, 0u, 0xFFFFu, 200u}) {
        SendMouseButton(MOUSEEVENTF_XDOWN, number);
        SendMouseButton(MOUSEEVENTF_XUP, number);
        PumpMessagesFor(200);
        const std::wstring prompt = PromptOf(chooser);
        EXPECT_LT(prompt.size(), 1024u);
        EXPECT_TRUE(IsWindow(chooser)) << number;
    }
    // The last one, X button 200, adds up to the middle button's code.
    SendMouseButton(MOUSEEVENTF_XDOWN, 3);
    SendMouseButton(MOUSEEVENTF_XUP, 3);
    EXPECT_TRUE(WaitUntil([&] { return PromptOf(chooser) == L">>>> XMouseButton 3 <<<<"; }, 3000));
    PostMessageW(GetDlgItem(chooser, IDC_APPLY), BM_CLICK, 0, 0);
    EXPECT_TRUE(WaitUntil(
        [&] { return app.ControlText(IDC_HOTKEY_LABEL) == L"hotkey-> XMouseButton 3"; }, 3000));
    EXPECT_EQ(app.Close(), 0);
}

TEST(BadInput, TwoCopiesBothKeepWorking) {
    StandIn target;
    ASSERT_TRUE(target.Start());
    VorrelApp first, second;
    ASSERT_TRUE(first.Start());
    ASSERT_TRUE(target.WaitForCommandCount(1, 5000));
    ASSERT_TRUE(second.Start());
    ASSERT_TRUE(target.WaitForCommandCount(2, 5000));
    ASSERT_NE(first.MainWindow(), second.MainWindow());

    // Each copy holds its own state, so each tells the target.
    SendKey(VK_F12, true);
    ASSERT_TRUE(target.WaitForCommandCount(4, 3000));
    SendKey(VK_F12, false);
    ASSERT_TRUE(target.WaitForCommandCount(6, 3000));
    EXPECT_EQ(target.Payloads(), (Payloads{"2|0", "2|0", "2|1", "2|1", "2|0", "2|0"}));
    EXPECT_EQ(first.Close(), 0);
    EXPECT_TRUE(second.Process().IsRunning());
    EXPECT_EQ(second.Close(), 0);
}

} // namespace
