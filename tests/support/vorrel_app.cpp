#include "vorrel_app.h"

#include "app/main_window.h"
#include "res/resource.h"

#include <cstdlib>

namespace test_support {

namespace {

// The first visible dialog box with this caption (any, when null) that `accept` takes.
HWND FindDialog(const wchar_t* caption, const std::function<bool(HWND)>& accept) {
    HWND window = nullptr;
    while ((window = FindWindowExW(nullptr, window, L"#32770", caption))) {
        if (IsWindowVisible(window) && accept(window)) {
            return window;
        }
    }
    return nullptr;
}

POINT CentreOf(HWND window) {
    RECT rect;
    GetWindowRect(window, &rect);
    return {(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2};
}

// A left button press at a screen point, spaced beyond the double-click time
// from the last one so that each is a plain press; with its release if asked.
void PressLeftAt(POINT at, bool release) {
    // A press within the double-click time of the last one would be a double
    // click; under Wine even a press elsewhere right after one can go astray.
    static ULONGLONG lastPress = 0;
    const ULONGLONG since = GetTickCount64() - lastPress;
    if (since <= GetDoubleClickTime()) {
        PumpMessagesFor(static_cast<DWORD>(GetDoubleClickTime() - since) + 50);
    }
    MoveCursorTo(at.x, at.y);
    SendMouse(MOUSEEVENTF_LEFTDOWN);
    lastPress = GetTickCount64();
    if (release) {
        ReleaseLeft();
    }
}

// The pixels of an area of a device context, copied into a 32-bit bitmap.
ScreenPixels CopyPixels(HDC source, int left, int top, int width, int height) {
    ScreenPixels image = {width, height, {}};
    // Top row first.
    BITMAPINFO info = {{sizeof info.bmiHeader, width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0}, {}};
    void* bits = nullptr;
    HDC memory = CreateCompatibleDC(source);
    HBITMAP bitmap = CreateDIBSection(source, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, width, height, source, left, top, SRCCOPY);
    GdiFlush();
    const auto* pixels = static_cast<const BYTE*>(bits);
    for (int i = 0; pixels && i < width * height; ++i) {
        image.pixels.push_back(RGB(pixels[4 * i + 2], pixels[4 * i + 1], pixels[4 * i]));
    }
    SelectObject(memory, old);
    DeleteObject(bitmap);
    DeleteDC(memory);
    return image;
}

} // namespace

bool VorrelApp::Start(const std::wstring& arguments, int showCommand) {
    mainWindow_ = nullptr;
    auto ours = [this](HWND window) {
        DWORD owner = 0;
        GetWindowThreadProcessId(window, &owner);
        return owner == process_.Id();
    };
    return process_.Start(SiblingExecutable(L"vorrel.exe"), arguments, showCommand) &&
           WaitUntil(
               [&] { return (mainWindow_ = FindDialog(MAIN_WINDOW_CAPTION, ours)) != nullptr; },
               15000);
}

HWND VorrelApp::Control(int id) const {
    return GetDlgItem(mainWindow_, id);
}

bool VorrelApp::OffPictureVisible() const {
    return IsWindowVisible(Control(IDC_IMAGE_OFF)) != FALSE;
}

bool VorrelApp::HasCapture() const {
    GUITHREADINFO info = {};
    info.cbSize = sizeof info;
    return GetGUIThreadInfo(GetWindowThreadProcessId(mainWindow_, nullptr), &info) &&
           info.hwndCapture == mainWindow_;
}

HWND VorrelApp::SelectionWindow() const {
    return FindDialog(nullptr, [this](HWND window) {
        return window != mainWindow_ && GetWindow(window, GW_OWNER) == mainWindow_;
    });
}

HWND VorrelApp::OpenChooser() const {
    // A chooser that just closed gives the main window back its input; an
    // active window does not spend the click on its activation.
    if (!WaitUntil([&] { return IsWindowEnabled(mainWindow_) != FALSE; }, 5000) ||
        !BringToFront(mainWindow_)) {
        return nullptr;
    }
    HWND chooser = nullptr;
    auto open = [&] { return (chooser = SelectionWindow()) != nullptr; };
    for (int attempt = 0; attempt < 2 && !chooser; ++attempt) {
        PressLeftAt(CentreOf(Control(IDC_SET_HOTKEY)), true);
        // Once the owner is disabled the chooser is on its way: never click
        // again then, as a second click would land on its Cancel button.
        WaitUntil([&] { return open() || !IsWindowEnabled(mainWindow_); }, 3000);
        if (!chooser && !IsWindowEnabled(mainWindow_)) {
            WaitUntil(open, 5000);
        }
    }
    return chooser;
}

std::string VorrelApp::ChooseHotkey(const std::function<void()>& choose, const std::wstring& prompt,
                                    int closeWith, const std::wstring& label) const {
    HWND chooser = OpenChooser();
    if (!chooser) {
        return "the chooser did not open";
    }
    choose();
    if (!WaitUntil([&] { return WindowText(GetDlgItem(chooser, IDC_STATIC)) == prompt; }, 3000)) {
        return "the prompt did not read the choice";
    }
    if (closeWith) {
        // A click before the chooser has come to the front is spent on that.
        WaitUntil([&] { return GetForegroundWindow() == chooser; }, 3000);
        PressLeftAt(CentreOf(GetDlgItem(chooser, closeWith)), true);
    } else {
        PostMessageW(chooser, WM_SYSCOMMAND, SC_CLOSE, 0); // Alt+F4 and the system menu
    }
    if (!WaitUntil([&] { return SelectionWindow() == nullptr; }, 3000)) {
        return "the chooser did not close";
    }
    if (!label.empty() &&
        !WaitUntil([&] { return WindowText(Control(IDC_HOTKEY_LABEL)) == label; }, 3000)) {
        return "the label did not change";
    }
    return "";
}

bool VorrelApp::WaitForChecks(int count) const {
    HWND warning = Control(IDC_STATIC);
    for (int i = 0; i < count; ++i) {
        const bool visible = IsWindowVisible(warning) != FALSE;
        if (!WaitUntil([&] { return (IsWindowVisible(warning) != FALSE) != visible; }, 3000)) {
            return false;
        }
    }
    return true;
}

void VorrelApp::HoldPicture(bool down) const {
    if (down) {
        BringToFront(mainWindow_);
        PressLeftAt(CentreOf(Control(IDC_IMAGE_ON)), false);
    } else {
        ReleaseLeft();
    }
}

bool VorrelApp::WaitForTargetGone() const {
    return WaitUntil([&] { return IsWindowVisible(Control(IDC_STATIC)) != FALSE; }, 5000);
}

long VorrelApp::Close(DWORD timeoutMs) {
    PostMessageW(mainWindow_, WM_CLOSE, 0, 0);
    return process_.WaitForExit(timeoutMs);
}

bool StartWithSilencedTarget(StandIn& target, VorrelApp& app) {
    return target.Start() && app.Start() && target.WaitForCommandCount(1, 5000);
}

bool RestartTarget(StandIn& target, const VorrelApp& app) {
    target.Stop();
    return app.WaitForTargetGone() && target.Start() && target.WaitForCommandCount(1, 5000);
}

ScreenPixels CaptureScreen(const RECT& area) {
    HDC screen = GetDC(nullptr);
    const ScreenPixels image =
        CopyPixels(screen, area.left, area.top, area.right - area.left, area.bottom - area.top);
    ReleaseDC(nullptr, screen);
    return image;
}

ScreenPixels LoadProgramBitmap(int resourceId) {
    HMODULE module =
        LoadLibraryExW(SiblingExecutable(L"vorrel.exe").c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    auto* bitmap = static_cast<HBITMAP>(
        LoadImageW(module, MAKEINTRESOURCEW(resourceId), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
    BITMAP size = {};
    GetObjectW(bitmap, sizeof size, &size); // all zero when not loaded
    HDC memory = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(memory, bitmap);
    const ScreenPixels image = CopyPixels(memory, 0, 0, size.bmWidth, size.bmHeight);
    SelectObject(memory, old);
    DeleteDC(memory);
    DeleteObject(bitmap);
    FreeLibrary(module); // fails harmlessly on null
    return image;
}

double ImageDistance(const ScreenPixels& a, const ScreenPixels& b) {
    if (a.pixels.size() != b.pixels.size() || a.pixels.empty()) {
        return 1e9;
    }
    double total = 0;
    for (size_t i = 0; i < a.pixels.size(); ++i) {
        total += std::abs(GetRValue(a.pixels[i]) - GetRValue(b.pixels[i])) +
                 std::abs(GetGValue(a.pixels[i]) - GetGValue(b.pixels[i])) +
                 std::abs(GetBValue(a.pixels[i]) - GetBValue(b.pixels[i]));
    }
    return total / (3.0 * a.pixels.size());
}

void ReleaseLeft() {
    SendMouse(MOUSEEVENTF_LEFTUP);
}

} // namespace test_support
