// The real program, started as its own process and looked at from outside.
#pragma once

#include "test_support.h"

#include <windows.h>

#include <string>
#include <vector>

namespace test_support {

class VorrelApp {
  public:
    // Starts vorrel.exe and waits until its main window is visible.
    bool Start(const std::wstring& arguments = L"", int showCommand = -1);
    HWND MainWindow() const {
        return mainWindow_;
    }
    HWND Control(int id) const;
    bool OffPictureVisible() const;
    // The main window holds the mouse: it has taken a press on itself.
    bool HasCapture() const;
    // The owned, enabled selection window, or null when none is open.
    HWND SelectionWindow() const;
    // Opens the selection window with a real click on "Set hotkey"; null when
    // it did not open.
    HWND OpenChooser() const;
    // Opens the chooser, sends `choose`, waits for the prompt, then closes it
    // with a click on Apply or Cancel (closeWith: their ids) or a system close
    // (0) and waits until it is gone; after Apply, until the label reads
    // `label`. Returns what did not happen, empty when all did.
    std::string ChooseHotkey(const std::function<void()>& choose, const std::wstring& prompt,
                             int closeWith, const std::wstring& label = L"") const;
    // Waits until the warning has blinked `count` times: presence checks done
    // while the voice changer is absent.
    bool WaitForChecks(int count) const;
    // Holds the left button down on the picture, the window brought to the
    // front first so that the press is not spent on activating it; or lets go.
    void HoldPicture(bool down) const;
    // Waits until a presence check has seen the voice changer gone: the
    // warning shows (within two checks, whatever the blink phase).
    bool WaitForTargetGone() const;
    // Closes the window as the close box does; returns the exit code or -1.
    long Close(DWORD timeoutMs = 10000);
    ChildProcess& Process() {
        return process_;
    }

  private:
    ChildProcess process_;
    HWND mainWindow_ = nullptr;
};

// Starts the voice changer stand-in, then the program, and waits until the
// program's first presence check has silenced the stand-in.
bool StartWithSilencedTarget(StandIn& target, VorrelApp& app);

// Stops the stand-in, waits until the program has seen it gone, starts it
// again (with an empty log) and waits until the program has silenced it.
bool RestartTarget(StandIn& target, const VorrelApp& app);

// Pixels of the screen, 24-bit, top row first.
struct ScreenPixels {
    int width = 0;
    int height = 0;
    std::vector<COLORREF> pixels;
};
ScreenPixels CaptureScreen(const RECT& area);

// A 24-bit bitmap resource of vorrel.exe, read without loading the program.
ScreenPixels LoadProgramBitmap(int resourceId);

// Mean absolute difference per channel between two equal-sized images.
double ImageDistance(const ScreenPixels& a, const ScreenPixels& b);

// Lets go of the left button.
void ReleaseLeft();

} // namespace test_support
