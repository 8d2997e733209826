// The real program driven from outside with real input, against the stand-in.
#include "app/main_window.h"
#include "res/resource.h"
#include "vorrel_app.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

using namespace test_support;

namespace {

constexpr DWORD CHECK_PERIOD_MS = 1000; // one presence check a second
constexpr COLORREF BLUE = RGB(62, 115, 186);

// The screen shows this picture and not the other, judged from the pixels alone.
bool WaitForPicture(const VorrelApp& app, int shown) {
    RECT picture;
    GetWindowRect(app.Control(IDC_IMAGE_ON), &picture);
    const ScreenPixels expected = LoadProgramBitmap(shown);
    const ScreenPixels other = LoadProgramBitmap(shown == IDB_ON ? IDB_OFF : IDB_ON);
    auto onScreen = [&] {
        const ScreenPixels screen = CaptureScreen(picture);
        return ImageDistance(screen, expected) < 3.0 && ImageDistance(screen, other) > 10.0;
    };
    return WaitUntil(onScreen, 3000);
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

// Laid out as designed in either look; the label's text shows in the look's
// text colour on the look's background, and the picture keeps its blue.
TEST(MainWindowAtStart, LooksAsLaidOutBlueWithoutArgumentsSystemColoursWithAny) {
    for (const wchar_t* arguments : {L"", L"x"}) {
        SCOPED_TRACE(arguments);
        const bool plain = arguments[0] != L'\0';
        const COLORREF background = plain ? GetSysColor(COLOR_BTNFACE) : BLUE;
        const COLORREF text = plain ? GetSysColor(COLOR_WINDOWTEXT) : RGB(255, 255, 255);
        VorrelApp app;
        ASSERT_TRUE(app.Start(arguments));
        HWND window = app.MainWindow();
        RECT frame, client, picture;
        GetWindowRect(window, &frame);
        // Twice a middle is a sum: the window's middle is the screen's, and the
        // picture's lies near the client area's (its size shows in its pixels).
        EXPECT_NEAR(frame.left + frame.right, GetSystemMetrics(SM_CXSCREEN), 2);
        EXPECT_NEAR(frame.top + frame.bottom, GetSystemMetrics(SM_CYSCREEN), 2);
        GetClientRect(window, &client);
        GetWindowRect(app.Control(IDC_IMAGE_ON), &picture);
        MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&picture), 2);
        EXPECT_NEAR(picture.left + picture.right, client.right, 40);
        EXPECT_NEAR(picture.top + picture.bottom, client.bottom, 40);

        auto pixelsOf = [](const RECT& area, COLORREF colour) {
            const ScreenPixels pixels = CaptureScreen(area);
            return std::count(pixels.pixels.begin(), pixels.pixels.end(), colour);
        };
        POINT corner = {4, 4};
        ClientToScreen(window, &corner);
        const RECT inside = {corner.x, corner.y, corner.x + 1, corner.y + 1};
        EXPECT_TRUE(WaitUntil([&] { return pixelsOf(inside, background) == 1; }, 3000));
        RECT label;
        GetWindowRect(app.Control(IDC_HOTKEY_LABEL), &label);
        EXPECT_TRUE(WaitUntil([&] { return pixelsOf(label, text) > 10; }, 3000))
            << "no label text in its colour";
        EXPECT_GT(pixelsOf(label, background), pixelsOf(label, text));
        EXPECT_TRUE(WaitForPicture(app, IDB_OFF));
        EXPECT_EQ(app.Close(), 0);
    }
}

// The left button held on the picture talks until it is let go of, whichever
// way. Key repeats and a press on the window add nothing to a talk the hotkey
// holds; the window's release ends it all the same.
TEST_F(WithTarget, LeftButtonHeldOnThePictureTalksUntilLetGo) {
    struct Case {
        const char* what;
        std::function<void()> letGo;
        bool hotkeyFirst = false; // F12 held, and left down until the row ends
    };
    // The hotkey goes first: through the relay, in line with the relay's
    // silencing, which a press on the picture could only meet half-way.
    const Case cases[] = {
        {"hotkey held, released on the picture", [] { ReleaseLeft(); }, true},
        {"released on the picture", [] { ReleaseLeft(); }},
        {"second press of a double click",
         [] {
             ReleaseLeft();
             SendMouse(MOUSEEVENTF_LEFTDOWN); // within the double-click time
             ReleaseLeft();
         }},
        {"released off the window",
         [&] {
             RECT frame;
             GetWindowRect(app.MainWindow(), &frame);
             MoveCursorTo(frame.right + 40, frame.bottom + 40);
             ReleaseLeft();
         }},
        // What the system sends when it takes the mouse away, e.g. for a menu.
        {"capture taken away", [&] { PostMessageW(app.MainWindow(), WM_CANCELMODE, 0, 0); }},
        {"another window comes to the front",
         [&] {
             HWND other = CreateWindowExW(0, L"STATIC", L"", WS_POPUP | WS_VISIBLE, 0, 0, 100, 100,
                                          nullptr, nullptr, nullptr, nullptr);
             EXPECT_TRUE(BringToFront(other));
             EXPECT_TRUE(target.WaitForLast("2|0", 3000)) << "still talking while held";
             MoveCursorTo(50, 50);
             ReleaseLeft();
             DestroyWindow(other);
         }},
    };
    for (const Case& c : cases) {
        const size_t before = target.Commands().size();
        if (c.hotkeyFirst) {
            SendKey(VK_F12, true);
            ASSERT_TRUE(target.WaitForLast("2|1", 3000)) << c.what;
            EXPECT_TRUE(WaitForPicture(app, IDB_ON)) << c.what;
            for (int repeat = 0; repeat < 5; ++repeat) {
                SendKey(VK_F12, true);
                PumpMessagesFor(40);
            }
        }
        app.HoldPicture(true);
        ASSERT_TRUE(WaitUntil([&] { return app.HasCapture(); }, 3000)) << c.what << ": not taken";
        ASSERT_TRUE(target.WaitForLast("2|1", 3000)) << c.what;
        EXPECT_TRUE(WaitForPicture(app, IDB_ON)) << c.what;

        c.letGo();
        EXPECT_TRUE(target.WaitForLast("2|0", 3000)) << c.what;
        EXPECT_TRUE(WaitForPicture(app, IDB_OFF)) << c.what;
        // Kept, the mouse would take every later click, "Set hotkey"'s too.
        EXPECT_TRUE(WaitUntil([&] { return !app.HasCapture(); }, 3000)) << c.what;
        ReleaseLeft();
        // The release's stop follows whatever the press sent.
        EXPECT_EQ(target.Payloads(before), (Payloads{"2|1", "2|0"})) << c.what << ": talked twice";
        SendKey(VK_F12, false);
    }
}

// Whatever the voice changer does, the window goes at once and the program
// ends by itself. A press still in the relay's hands when the hooks come out
// must not follow the last stop; a stop taken back by a busy voice changer is
// sent again after the window has gone; and once a new copy's window shows,
// that copy silences the voice changer itself: no stop goes out behind its back.
TEST(Closing, WindowGoesAtOnceAndTheLastWordIsAStopUnlessANewCopyShows) {
    auto key = [](VorrelApp&, bool down) { SendKey(VK_F12, down); };
    auto picture = [](VorrelApp& app, bool down) { app.HoldPicture(down); };
    enum Then { HELD, PRESSED_AGAIN, NEW_COPY_WINDOW, LET_GO, LET_GO_TARGET_GONE, NEXT_STARTED };
    struct Case {
        const char* what;
        std::wstring standIn;
        std::function<void(VorrelApp&, bool)> hold; // null: nothing held
        Then then;                                  // as the window closes
        const char* last; // the voice changer's last command, null: not asked
    };
    // 300 ms keeps a command under way at the close; 1700 ms outlasts any wait.
    const Case again = {"hotkey tapped on", L"--delay-ms 300", key, PRESSED_AGAIN, "2|0"};
    const Case cases[] = {
        again,
        again,
        again,
        {"left button held on the picture", L"--delay-ms 300", picture, HELD, "2|0"},
        {"new copy's window there", L"--delay-ms 300", key, NEW_COPY_WINDOW, "2|1"},
        {"busy voice changer let go of", L"--busy-ms 4000 --busy-after 2", key, LET_GO, "2|0"},
        // The stop it still owes goes with the voice changer.
        {"hung voice changer", L"--hang-from 2", picture, LET_GO_TARGET_GONE, nullptr},
        // The last copy still sends its stop, and leaves it to the new one.
        {"stop owed to a slow voice changer", L"--delay-ms 1700", nullptr, NEXT_STARTED, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        StandIn target(c.standIn);
        VorrelApp app, next;
        ASSERT_TRUE(StartWithSilencedTarget(target, app));
        if (c.hold) {
            c.hold(app, true);
            ASSERT_TRUE(target.WaitForLast("2|1", 3000));
        }
        if (c.then == LET_GO || c.then == LET_GO_TARGET_GONE) {
            PumpMessagesFor(100); // the relay's stop under way at the close
            c.hold(app, false);
            PumpMessagesFor(100);
        }
        HWND newCopy =
            CreateWindowExW(0, L"#32770", c.then == NEW_COPY_WINDOW ? MAIN_WINDOW_CAPTION : L"", 0,
                            0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr);
        bool down = true; // quick presses and releases keep the relay sending as it closes
        auto tap = [&] { return c.then != PRESSED_AGAIN || (SendKey(VK_F12, down = !down), true); };
        PostMessageW(app.MainWindow(), WM_CLOSE, 0, 0);
        // A hung voice changer holds the window up for a bounded wait or two.
        EXPECT_TRUE(WaitUntil([&] { return tap() && !IsWindow(app.MainWindow()); }, 4000));
        if (c.then == NEXT_STARTED) {
            EXPECT_TRUE(app.Process().IsRunning()) << "the stop was paid: nothing to show";
            EXPECT_TRUE(next.Start()) << "the new copy showed nothing";
        } else if (c.then == LET_GO_TARGET_GONE) {
            target.Stop();
        }
        // Past a busy spell of four seconds, short of the ten the last stop is tried for.
        EXPECT_TRUE(WaitUntil([&] { return tap() && !app.Process().IsRunning(); }, 6000));
        EXPECT_EQ(app.Process().WaitForExit(0), 0);
        DestroyWindow(newCopy);
        if (c.hold) { // a second release changes nothing
            c.hold(app, false);
        }
        if (c.last) { // whatever it sent, it sent before it ended
            EXPECT_EQ(target.Payloads().back(), c.last);
        }
    }
}

TEST_F(WithTarget, EscapeDoesNothingEnterAndSpaceOpenTheChooser) {
    ASSERT_TRUE(BringToFront(app.MainWindow()));
    TapKey(VK_ESCAPE); // had it closed the window, Enter below would open nothing

    for (WORD key : {VK_RETURN, VK_SPACE}) {
        ASSERT_TRUE(BringToFront(app.MainWindow()));
        TapKey(key);
        HWND chooser = nullptr;
        ASSERT_TRUE(WaitUntil([&] { return (chooser = app.SelectionWindow()) != nullptr; }, 3000))
            << "key " << key;
        PostMessageW(GetDlgItem(chooser, IDC_CANCEL_CHOICE), BM_CLICK, 0, 0);
        ASSERT_TRUE(WaitUntil([&] { return app.SelectionWindow() == nullptr; }, 3000));
        EXPECT_TRUE(WaitUntil([&] { return IsWindowEnabled(app.MainWindow()) != FALSE; }, 3000));
    }
    EXPECT_EQ(target.Payloads(), (Payloads{"2|0"}));
}

TEST(Presence, WarningBlinksWhileTheTargetIsAbsentAndALateTargetIsSilencedOnce) {
    VorrelApp app;
    ASSERT_TRUE(app.Start());
    HWND warning = app.Control(IDC_STATIC);
    ASSERT_NE(warning, nullptr);

    // The hotkey and the window meanwhile reach nobody and leave nothing
    // behind: the picture stays OFF, and the late target below gets only its
    // silencing, and then talks.
    SendKey(VK_F12, true);
    app.HoldPicture(true);
    // One change per check: the typical gap is a period, never a fraction of it.
    std::vector<ULONGLONG> gaps;
    ASSERT_TRUE(app.WaitForChecks(1));
    for (ULONGLONG last = GetTickCount64(); gaps.size() < 2; last += gaps.back()) {
        ASSERT_TRUE(app.WaitForChecks(1));
        gaps.push_back(GetTickCount64() - last);
        EXPECT_GE(gaps.back(), CHECK_PERIOD_MS / 2);
    }
    EXPECT_TRUE(app.OffPictureVisible());
    ReleaseLeft();
    SendKey(VK_F12, false);
    std::sort(gaps.begin(), gaps.end());
    EXPECT_GE(gaps[gaps.size() / 2], CHECK_PERIOD_MS * 8 / 10);
    EXPECT_LE(gaps[gaps.size() / 2], CHECK_PERIOD_MS * 2);

    StandIn target;
    ASSERT_TRUE(target.Start());
    ASSERT_TRUE(target.WaitForCommandCount(1, 3000));
    EXPECT_TRUE(WaitUntil([&] { return !IsWindowVisible(warning); }, 3000));
    PumpMessagesFor(CHECK_PERIOD_MS + 200); // no further silencing while present
    EXPECT_EQ(TalkCycle(target, F12_KEY), (Payloads{"2|1", "2|0"}));
    EXPECT_EQ(target.Payloads(), (Payloads{"2|0", "2|1", "2|0"}));
    EXPECT_FALSE(IsWindowVisible(warning));
    EXPECT_EQ(app.Close(), 0);
}

TEST_F(WithTarget, TargetClosedWhileTalkingThenRestarted) {
    struct Case {
        const char* what;
        std::function<void(bool)> hold;
        bool offAfterRelease; // only the window's own release turns it OFF
    };
    const Case cases[] = {
        {"hotkey", F12_KEY, false},
        {"left button on the window", [&](bool down) { app.HoldPicture(down); }, true},
    };
    for (const Case& c : cases) {
        c.hold(true);
        ASSERT_TRUE(target.WaitForLast("2|1", 3000)) << c.what;
        // Handled, not just received: one that dies while handling it took nothing.
        ASSERT_TRUE(WaitUntil([&] { return !app.OffPictureVisible(); }, 3000)) << c.what;
        target.Stop();
        ASSERT_TRUE(app.WaitForTargetGone()) << c.what;
        EXPECT_FALSE(app.OffPictureVisible()) << c.what << ": there is nobody to tell";
        c.hold(false);
        if (c.offAfterRelease) {
            EXPECT_TRUE(WaitUntil([&] { return app.OffPictureVisible(); }, 3000)) << c.what;
        } else {
            EXPECT_TRUE(app.WaitForChecks(2)) << c.what;
            EXPECT_FALSE(app.OffPictureVisible()) << c.what << ": a release that sends nothing";
        }

        ASSERT_TRUE(target.Start()) << c.what;
        ASSERT_TRUE(target.WaitForCommandCount(1, 3000)) << c.what;
        EXPECT_TRUE(WaitForPicture(app, IDB_OFF)) << c.what;
        EXPECT_EQ(TalkCycle(target, F12_KEY), (Payloads{"2|1", "2|0"})) << c.what;
        EXPECT_EQ(target.Payloads(), (Payloads{"2|0", "2|1", "2|0"})) << c.what;
    }
}

} // namespace
