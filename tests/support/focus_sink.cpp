#include "focus_sink.h"

#include "test_support.h"

namespace test_support {

namespace {

LRESULT CALLBACK SinkProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_CLOSE:
    case WM_SYSCOMMAND:
        return 0; // Alt+F4, Alt+Space and friends do nothing here
    default:
        return DefWindowProcW(window, message, wParam, lParam);
    }
}

} // namespace

FocusSink::FocusSink() {
    WNDCLASSW windowClass = {};
    windowClass.lpfnWndProc = SinkProc;
    windowClass.lpszClassName = L"VorrelTestFocusSink";
    windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(GRAY_BRUSH));
    RegisterClassW(&windowClass);
    // No caption and no system menu: nothing for stray keys to open.
    window_ = CreateWindowExW(WS_EX_TOPMOST, L"VorrelTestFocusSink", L"", WS_POPUP | WS_VISIBLE,
                              1000, 800, 200, 150, nullptr, nullptr, nullptr, nullptr);
}

FocusSink::~FocusSink() {
    DestroyWindow(window_);
}

bool FocusSink::TakeFocus() const {
    MoveCursorTo(1100, 875);
    return BringToFront(window_);
}

} // namespace test_support
