// Odd command lines and a second copy of the program.
#include "vorrel_app.h"

#include <aclapi.h>
#include <gtest/gtest.h>

using namespace test_support;

namespace {

TEST(BadInput, AnyCommandLineGivesAWorkingWindow) {
    // None at all: every other test.
    const std::wstring commandLines[] = {L"x", std::wstring(32000, L'a'),
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

// A second copy would hook the same hotkey and send every command twice. One
// started beside an elevated first copy may not even open the mutex.
TEST(BadInput, SecondCopyBringsTheFirstToTheFrontAndLeaves) {
    StandIn target;
    VorrelApp first;
    ASSERT_TRUE(target.Start() && first.Start(L"", SW_SHOWMINNOACTIVE) &&
                target.WaitForCommandCount(1, 5000));
    HWND shown = first.MainWindow();
    EXPECT_TRUE(IsIconic(shown)) << "not shown as its starter asked";
    HWND other = CreateWindowExW(0, L"STATIC", L"", WS_POPUP | WS_VISIBLE, 0, 0, 100, 100, nullptr,
                                 nullptr, nullptr, nullptr);
    for (bool outOfReach : {false, true}) {
        // Then behind another window, with the mutex as an elevated copy's looks
        // to others: an empty DACL lets nobody in.
        if (outOfReach) {
            ASSERT_TRUE(BringToFront(other));
            ACL empty;
            InitializeAcl(&empty, sizeof empty, ACL_REVISION);
            HANDLE mark = OpenMutexW(WRITE_DAC, FALSE, L"Local\\Vorrel for Pelorin, one copy");
            EXPECT_EQ(SetSecurityInfo(mark, SE_KERNEL_OBJECT, DACL_SECURITY_INFORMATION, nullptr,
                                      nullptr, &empty, nullptr),
                      0u);
            CloseHandle(mark);
        }
        ChildProcess second;
        ASSERT_TRUE(second.Start(SiblingExecutable(L"vorrel.exe"), L""));
        EXPECT_EQ(second.WaitForExit(10000), 0) << outOfReach;
        EXPECT_TRUE(
            WaitUntil([&] { return GetForegroundWindow() == shown && !IsIconic(shown); }, 3000))
            << outOfReach;
    }
    EXPECT_EQ(TalkCycle(target, F12_KEY), (Payloads{"2|1", "2|0"}));
    EXPECT_EQ(target.Payloads(), (Payloads{"2|0", "2|1", "2|0"})) << "every command once";
    EXPECT_EQ(first.Close(), 0);
}

} // namespace
