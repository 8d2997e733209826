// Odd command lines and a second copy of the program.
#include "vorrel_app.h"

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

// The last copy, closed while it still owes a slow voice changer a stop, keeps
// sending it after its window has gone: a new copy must start all the same.
TEST(BadInput, CopyStartedWhileTheLastOneStillSendsItsStopShows) {
    StandIn slow(L"--delay-ms 1700"); // slower than any wait: a stop is always owed
    VorrelApp last, next;
    ASSERT_TRUE(StartWithSilencedTarget(slow, last));
    PostMessageW(last.MainWindow(), WM_CLOSE, 0, 0);
    ASSERT_TRUE(WaitUntil([&] { return !IsWindow(last.MainWindow()); }, 5000));
    ASSERT_TRUE(last.Process().IsRunning()) << "the stop was paid: nothing to show";
    EXPECT_TRUE(next.Start()) << "the new copy showed nothing";
    EXPECT_EQ(last.Process().WaitForExit(5000), 0) << "the last copy went on sending";
}

} // namespace
