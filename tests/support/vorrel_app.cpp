#include "vorrel_app.h"

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

std::wstring VorrelApp::ControlText(int id) const {
    return WindowText(Control(id));
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
    if (!WaitUntil([&] { return IsWindowEnabled(mainWindow_) != FALSE; }, 5000) || !Focus()) {
        return nullptr;
    }
    HWND chooser = nullptr;
    for (int attempt = 0; attempt < 2 && !chooser; ++attempt) {
        ClickAt(CentreOf(Control(IDC_SET_HOTKEY)));
        // Once the owner is disabled the chooser is on its way: never click
        // again then, as a second click would land on its Cancel button.
        WaitUntil(
            [&] {
                return (chooser = SelectionWindow()) != nullptr || !IsWindowEnabled(mainWindow_);
            },
            3000);
        if (!chooser && !IsWindowEnabled(mainWindow_)) {
            WaitUntil([&] { return (chooser = SelectionWindow()) != nullptr; }, 5000);
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
        ClickAt(CentreOf(GetDlgItem(chooser, closeWith)));
    } else {
        PostMessageW(chooser, WM_SYSCOMMAND, SC_CLOSE, 0); // Alt+F4 and the system menu
    }
    if (!WaitUntil([&] { return SelectionWindow() == nullptr; }, 3000)) {
        return "the chooser did not close";
    }
    if (!label.empty() &&
        !WaitUntil([&] { return ControlText(IDC_HOTKEY_LABEL) == label; }, 3000)) {
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

POINT VorrelApp::PictureCentre() const {
    return CentreOf(Control(IDC_IMAGE_ON));
}

void VorrelApp::HoldPicture(bool down) const {
    if (!down) {
        ReleaseLeft();
        return;
    }
    Focus();
    PressLeftAt(PictureCentre());
}

bool VorrelApp::Focus() const {
    return BringToFront(mainWindow_);
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
    ScreenPixels image;
    image.width = area.right - area.left;
    image.height = area.bottom - area.top;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = image.width;
    info.bmiHeader.biHeight = -image.height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, image.width, image.height, screen, area.left, area.top, SRCCOPY);
    GdiFlush();
    const auto* pixels = static_cast<const BYTE*>(bits);
    for (int i = 0; i < image.width * image.height; ++i) {
        image.pixels.push_back(RGB(pixels[4 * i + 2], pixels[4 * i + 1], pixels[4 * i]));
    }
    SelectObject(memory, old);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return image;
}

ScreenPixels LoadProgramBitmap(int resourceId) {
    ScreenPixels image;
    HMODULE module =
        LoadLibraryExW(SiblingExecutable(L"vorrel.exe").c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    HRSRC found = module ? FindResourceW(module, MAKEINTRESOURCEW(resourceId), RT_BITMAP) : nullptr;
    HGLOBAL loaded = found ? LoadResource(module, found) : nullptr;
    const auto* header =
        loaded ? static_cast<const BITMAPINFOHEADER*>(LockResource(loaded)) : nullptr;
    if (header && header->biBitCount == 24) {
        image.width = header->biWidth;
        image.height = std::abs(header->biHeight);
        const bool bottomUp = header->biHeight > 0;
        const auto* bits = reinterpret_cast<const BYTE*>(header) + header->biSize;
        const int stride = (image.width * 3 + 3) & ~3;
        for (int y = 0; y < image.height; ++y) {
            const BYTE* row =
                bits + static_cast<size_t>(bottomUp ? image.height - 1 - y : y) * stride;
            for (int x = 0; x < image.width; ++x) {
                image.pixels.push_back(RGB(row[3 * x + 2], row[3 * x + 1], row[3 * x]));
            }
        }
    }
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

void PressLeftAt(POINT at) {
    // A press within the double-click time of the last one would be a double
    // click; under Wine even a press elsewhere right after one can go astray.
    static ULONGLONG lastPress = 0;
    const ULONGLONG since = GetTickCount64() - lastPress;
    if (since <= GetDoubleClickTime()) {
        PumpMessagesFor(static_cast<DWORD>(GetDoubleClickTime() - since) + 50);
    }
    MoveCursorTo(at.x, at.y);
    SendMouseButton(MOUSEEVENTF_LEFTDOWN);
    lastPress = GetTickCount64();
}

void ReleaseLeft() {
    SendMouseButton(MOUSEEVENTF_LEFTUP);
}

void ClickAt(POINT at) {
    PressLeftAt(at);
    ReleaseLeft();
}

} // namespace test_support
