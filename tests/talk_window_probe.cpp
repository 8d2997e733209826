#include "talk_window_probe.h"

#include "core/shared_state.h"

TalkWindowProbe::TalkWindowProbe() {
    WNDCLASSW windowClass = {};
    windowClass.lpfnWndProc = WndProc;
    windowClass.lpszClassName = L"TalkWindowProbe";
    RegisterClassW(&windowClass); // fails harmlessly once registered
    window_ = CreateWindowExW(0, L"TalkWindowProbe", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                              nullptr, nullptr);
    SetWindowLongPtrW(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
}

TalkWindowProbe::~TalkWindowProbe() {
    DestroyWindow(window_);
}

LRESULT CALLBACK TalkWindowProbe::WndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* self = reinterpret_cast<TalkWindowProbe*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (self && (message == WM_TALK_STARTED || message == WM_TALK_STOPPED)) {
        self->notifications.push_back(message);
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}
