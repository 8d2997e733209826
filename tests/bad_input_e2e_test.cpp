// Odd command lines, odd mouse data and a second copy of the program.
#include "res/resource.h"
#include "vorrel_app.h"

#include <gtest/gtest.h>

using namespace test_support;

namespace {

std::wstring PromptOf(HWND chooser) {
    return WindowText(GetDlgItem(chooser, IDC_STATIC));
}

TEST(BadInput, AnyCommandLineGivesAWorkingWindow) {
    const std::wstring commandLines[] = {L"", L"x", std::wstring(32000, L'a'),
                                         L"h\u00E9llo \u2713 \u65E5\u672C \U0001F3A4"};
    StandIn target;
    ASSERT_TRUE(target.Start());
    for (const std::wstring& commandLine : commandLines) {
        VorrelApp app;
        const size_t before = target.Commands().size();
        ASSERT_TRUE(app.Start(commandLine)) << commandLine.size() << " characters";
        ASSERT_TRUE(target.WaitForCommandCount(before + 1, 5000));
        EXPECT_EQ(TalkCycle(target, F12_KEY), (Payloads{"2|1", "2|0"}));
        EXPECT_EQ(app.Close(), 0);
    }
}

TEST(BadInput, OddXButtonNumbersAreNamedWithinBounds) {
    VorrelApp app;
    ASSERT_TRUE(app.Start());
    HWND chooser = app.OpenChooser();
    ASSERT_NE(chooser, nullptr);
    struct Case {
        DWORD number;
        const wchar_t* promptEnd; // null: a keyboard code, named by the layout if at all
    };
    // 300 + 0 and 300 + 0xFFFF (299 in 16 bits) are keyboard codes; X button
    // 200 adds up to the middle button's code.
    for (const Case& c : {Case{0, nullptr}, Case{0xFFFF, nullptr}, Case{3, L"XMouseButton 3 <<<<"},
                          Case{200, L"MiddleMouseButton <<<<"}}) {
        const std::wstring before = PromptOf(chooser);
        SendMouseButton(MOUSEEVENTF_XDOWN, c.number);
        SendMouseButton(MOUSEEVENTF_XUP, c.number);
        const std::wstring end = c.promptEnd ? c.promptEnd
                                 : c.number  ? L"(299) <<<<"
                                             : L"(300) <<<<";
        auto shown = [&] {
            const std::wstring prompt = PromptOf(chooser);
            return prompt.size() > end.size() &&
                   prompt.compare(prompt.size() - end.size(), end.size(), end) == 0;
        };
        EXPECT_TRUE(WaitUntil(shown, c.promptEnd ? 3000 : 300) ||
                    (!c.promptEnd && PromptOf(chooser) == before))
            << c.number;
        EXPECT_LT(PromptOf(chooser).size(), 1024u) << c.number;
    }
    PostMessageW(GetDlgItem(chooser, IDC_APPLY), BM_CLICK, 0, 0);
    EXPECT_TRUE(WaitUntil(
        [&] { return app.ControlText(IDC_HOTKEY_LABEL) == L"hotkey-> MiddleMouseButton"; }, 3000));
    EXPECT_EQ(app.Close(), 0);
}

// A second copy would hook the same hotkey and send every command twice.
TEST(BadInput, SecondCopyBringsTheFirstToTheFrontAndLeaves) {
    StandIn target;
    VorrelApp first;
    ASSERT_TRUE(StartWithSilencedTarget(target, first));
    HWND other = CreateWindowExW(0, L"STATIC", L"", WS_POPUP | WS_VISIBLE, 0, 0, 100, 100, nullptr,
                                 nullptr, nullptr, nullptr);
    ASSERT_TRUE(BringToFront(other));

    ChildProcess second;
    ASSERT_TRUE(second.Start(SiblingExecutable(L"vorrel.exe"), L""));
    EXPECT_EQ(second.WaitForExit(10000), 0);
    EXPECT_TRUE(WaitUntil([&] { return GetForegroundWindow() == first.MainWindow(); }, 3000));
    DestroyWindow(other);
    EXPECT_EQ(TalkCycle(target, F12_KEY), (Payloads{"2|1", "2|0"}));
    EXPECT_EQ(target.Payloads(), (Payloads{"2|0", "2|1", "2|0"})) << "every command once";
    EXPECT_EQ(first.Close(), 0);
}

} // namespace
