// The real program driven from outside with real input, against the stand-in.
#include "res/resource.h"
#include "vorrel_app.h"

#include <gtest/gtest.h>

using namespace test_support;

namespace {

using Payloads = std::vector<std::string>;

constexpr DWORD CHECK_PERIOD_MS = 1000; // one presence check a second
constexpr COLORREF BLUE = RGB(62, 115, 186);

// Which picture the screen shows, judged from the pixels alone.
enum class Shown { Off, On, Neither };

Shown PictureOnScreen(const VorrelApp& app) {
    RECT picture;
    GetWindowRect(app.Control(IDC_IMAGE_ON), &picture);
    const ScreenPixels screen = CaptureScreen(picture);
    const double toOff = ImageDistance(screen, LoadProgramBitmap(IDB_OFF));
    const double toOn = ImageDistance(screen, LoadProgramBitmap(IDB_ON));
    if (toOff < 3.0 && toOn > 10.0) {
        return Shown::Off;
    }
    if (toOn < 3.0 && toOff > 10.0) {
        return Shown::On;
    }
    return Shown::Neither;
}

bool WaitForPicture(const VorrelApp& app, Shown expected) {
    return WaitUntil([&] { return PictureOnScreen(app) == expected; }, 3000);
}

COLORREF ClientPixel(HWND window, int x, int y) {
    POINT at = {x, y};
    ClientToScreen(window, &at);
    const RECT area = {at.x, at.y, at.x + 1, at.y + 1};
    return CaptureScreen(area).At(0, 0);
}

// The program running against a stand-in that it has already silenced once.
class WithTarget : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(StartWithSilencedTarget(target, app));
        ASSERT_EQ(target.Payloads(), (Payloads{"2|0"})) << "silenced at its first check";
    }
    StandIn target;
    VorrelApp app;
};

TEST(MainWindowAtStart, LooksAsLaidOut) {
    VorrelApp app;
    ASSERT_TRUE(app.Start());
    HWND window = app.MainWindow();

    wchar_t caption[256];
    GetWindowTextW(window, caption, 256);
    EXPECT_STREQ(caption, L"Vorrel v0.4 (Pelorin Pulgin)");

    RECT frame;
    GetWindowRect(window, &frame);
    const int width = frame.right - frame.left;
    const int height = frame.bottom - frame.top;
    RECT desktop;
    GetWindowRect(GetDesktopWindow(), &desktop);
    EXPECT_EQ(frame.left, desktop.left + (desktop.right - desktop.left - width) / 2);
    EXPECT_EQ(frame.top, desktop.top + (desktop.bottom - desktop.top - height) / 2);

    for (int id : {IDC_IMAGE_ON, IDC_IMAGE_OFF}) {
        RECT picture;
        GetWindowRect(app.Control(id), &picture);
        MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&picture), 2);
        EXPECT_EQ(picture.left, (width - 128) / 2 - 10) << id;
        EXPECT_EQ(picture.top, (height - 128) / 2 - 10) << id;
        EXPECT_EQ(picture.right - picture.left, 128) << id;
        EXPECT_EQ(picture.bottom - picture.top, 128) << id;
    }

    EXPECT_EQ(app.ControlText(IDC_HOTKEY_LABEL), L"hotkey-> F12");
    EXPECT_EQ(app.ControlText(IDC_SET_HOTKEY), L"Set hotkey");
    EXPECT_TRUE(app.OffPictureVisible());
    EXPECT_TRUE(WaitForPicture(app, Shown::Off));
    EXPECT_EQ(app.Close(), 0);
}

TEST(MainWindowColours, BlueWithoutArgumentsSystemColoursWithAny) {
    struct Case {
        const wchar_t* arguments;
        COLORREF expected;
    };
    const Case cases[] = {
        {L"", BLUE}, {L"x", GetSysColor(COLOR_BTNFACE)}, {L"--plain", GetSysColor(COLOR_BTNFACE)}};
    for (const Case& c : cases) {
        VorrelApp app;
        ASSERT_TRUE(app.Start(c.arguments));
        EXPECT_TRUE(
            WaitUntil([&] { return ClientPixel(app.MainWindow(), 4, 4) == c.expected; }, 3000))
            << "arguments '" << std::string(c.arguments, c.arguments + wcslen(c.arguments))
            << "' gave 0x" << std::hex << ClientPixel(app.MainWindow(), 4, 4);
        // The picture keeps its blue in either look.
        EXPECT_TRUE(WaitForPicture(app, Shown::Off));
        EXPECT_EQ(app.Close(), 0);
    }
}

TEST_F(WithTarget, HeldHotkeyTalksOnceAndReleaseSilences) {
    SendKey(VK_F12, true);
    ASSERT_TRUE(target.WaitForCommandCount(2, 3000));
    EXPECT_TRUE(WaitUntil([&] { return !app.OffPictureVisible(); }, 3000));
    EXPECT_TRUE(WaitForPicture(app, Shown::On));

    for (int repeat = 0; repeat < 5; ++repeat) { // auto-repeat
        SendKey(VK_F12, true);
        PumpMessagesFor(40);
    }
    PumpMessagesFor(300);
    EXPECT_EQ(target.Payloads(), (Payloads{"2|0", "2|1"}));

    SendKey(VK_F12, false);
    ASSERT_TRUE(target.WaitForCommandCount(3, 3000));
    EXPECT_EQ(target.Payloads(), (Payloads{"2|0", "2|1", "2|0"}));
    EXPECT_TRUE(WaitUntil([&] { return app.OffPictureVisible(); }, 3000));
    EXPECT_TRUE(WaitForPicture(app, Shown::Off));
}

TEST_F(WithTarget, LeftButtonHeldOnThePictureTalks) {
    PressLeftAt(app.PictureCentre());
    ASSERT_TRUE(target.WaitForCommandCount(2, 3000));
    EXPECT_TRUE(WaitUntil([&] { return !app.OffPictureVisible(); }, 3000));
    EXPECT_TRUE(WaitForPicture(app, Shown::On));

    ReleaseLeft();
    ASSERT_TRUE(target.WaitForCommandCount(3, 3000));
    EXPECT_EQ(target.Payloads(), (Payloads{"2|0", "2|1", "2|0"}));
    EXPECT_TRUE(WaitForPicture(app, Shown::Off));
}

TEST_F(WithTarget, SecondPressOfADoubleClickIsIgnored) {
    const POINT at = app.PictureCentre();
    PressLeftAt(at);
    ReleaseLeft();
    PressLeftAt(at);
    ReleaseLeft();
    ASSERT_TRUE(target.WaitForCommandCount(3, 3000));
    PumpMessagesFor(500);
    EXPECT_EQ(target.Payloads(), (Payloads{"2|0", "2|1", "2|0"}));
    EXPECT_TRUE(app.OffPictureVisible());
}

TEST_F(WithTarget, ClosingWhileTalkingSilencesTheTargetAndExitsWithZero) {
    SendKey(VK_F12, true);
    ASSERT_TRUE(target.WaitForCommandCount(2, 3000));
    EXPECT_EQ(app.Close(), 0);
    SendKey(VK_F12, false);
    EXPECT_EQ(target.Payloads(), (Payloads{"2|0", "2|1", "2|0"}));
}

TEST_F(WithTarget, EscapeDoesNothingEnterAndSpaceOpenTheChooser) {
    ASSERT_TRUE(app.Focus());
    TapKey(VK_ESCAPE);
    PumpMessagesFor(500);
    EXPECT_TRUE(IsWindowVisible(app.MainWindow()));
    EXPECT_EQ(app.SelectionWindow(), nullptr);

    for (WORD key : {VK_RETURN, VK_SPACE}) {
        ASSERT_TRUE(app.Focus());
        TapKey(key);
        HWND chooser = nullptr;
        ASSERT_TRUE(WaitUntil([&] { return (chooser = app.SelectionWindow()) != nullptr; }, 3000))
            << "key " << key;
        EXPECT_FALSE(IsWindowEnabled(app.MainWindow())) << "the chooser is modal";
        SendMessageW(GetDlgItem(chooser, IDC_CANCEL_CHOICE), BM_CLICK, 0, 0);
        ASSERT_TRUE(WaitUntil([&] { return app.SelectionWindow() == nullptr; }, 3000));
        EXPECT_TRUE(IsWindowEnabled(app.MainWindow()));
    }
    EXPECT_EQ(target.Payloads(), (Payloads{"2|0"}));
}

TEST(Presence, WarningBlinksAboutOncePerSecondWhileTheTargetIsAbsent) {
    VorrelApp app;
    ASSERT_TRUE(app.Start());
    HWND warning = app.Control(IDC_STATIC);
    ASSERT_NE(warning, nullptr);
    EXPECT_EQ(app.ControlText(IDC_STATIC), L"Pelorin Voice Changer is not running!");

    std::vector<ULONGLONG> changes;
    bool visible = IsWindowVisible(warning) != FALSE;
    const ULONGLONG end = GetTickCount64() + 4 * CHECK_PERIOD_MS + 500;
    while (GetTickCount64() < end) {
        PumpMessagesFor(20);
        const bool now = IsWindowVisible(warning) != FALSE;
        if (now != visible) {
            changes.push_back(GetTickCount64());
            visible = now;
        }
    }
    ASSERT_GE(changes.size(), 3u);
    for (size_t i = 1; i < changes.size(); ++i) {
        const ULONGLONG gap = changes[i] - changes[i - 1];
        EXPECT_GE(gap, 700u);
        EXPECT_LE(gap, 1600u);
    }
    // Pressing the hotkey meanwhile reaches nobody and breaks nothing.
    SendKey(VK_F12, true);
    SendKey(VK_F12, false);
    EXPECT_EQ(app.Close(), 0);
}

TEST(Presence, LateTargetIsSilencedOnceAndTheWarningHides) {
    VorrelApp app;
    ASSERT_TRUE(app.Start());
    StandIn target;
    ASSERT_TRUE(target.Start());
    ASSERT_TRUE(target.WaitForCommandCount(1, 3000));
    EXPECT_TRUE(WaitUntil([&] { return !IsWindowVisible(app.Control(IDC_STATIC)); }, 1000));

    PumpMessagesFor(3 * CHECK_PERIOD_MS);
    EXPECT_EQ(target.Payloads(), (Payloads{"2|0"})) << "no further silencing while present";
    EXPECT_FALSE(IsWindowVisible(app.Control(IDC_STATIC)));
    EXPECT_EQ(app.Close(), 0);
}

TEST_F(WithTarget, TargetClosedWhileTalkingThenRestarted) {
    SendKey(VK_F12, true);
    ASSERT_TRUE(target.WaitForCommandCount(2, 3000));
    target.Stop();

    // The indicator stays ON while the hotkey is held: there is nobody to tell.
    PumpMessagesFor(CHECK_PERIOD_MS + 500);
    EXPECT_FALSE(app.OffPictureVisible());
    SendKey(VK_F12, false);
    PumpMessagesFor(300);
    EXPECT_FALSE(app.OffPictureVisible()) << "a release that sends nothing changes nothing";

    StandIn restarted;
    ASSERT_TRUE(restarted.Start());
    ASSERT_TRUE(restarted.WaitForCommandCount(1, 3000));
    EXPECT_TRUE(WaitUntil([&] { return app.OffPictureVisible(); }, 1000));
    EXPECT_TRUE(WaitForPicture(app, Shown::Off));
    PumpMessagesFor(2 * CHECK_PERIOD_MS);
    EXPECT_EQ(restarted.Payloads(), (Payloads{"2|0"}));
}

} // namespace
