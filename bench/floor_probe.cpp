// The floor of the push-to-talk pipeline: the same low-level hook and the
// same talk command as the program, but the hook wakes the sender through an
// event instead of the sender polling every 10 ms. F12 only, no window of
// its own beyond a hidden marker that tells the benchmark it is ready.
#include "core/talk_switch.h"

#include <windows.h>

#include <atomic>

namespace {

HANDLE g_wake = nullptr;
std::atomic<bool> g_down{false};

LRESULT CALLBACK FloorKeyboardProc(int code, WPARAM wParam, LPARAM lParam) noexcept {
    if (code == HC_ACTION) {
        const auto* event = reinterpret_cast<const KBDLLHOOKSTRUCT*>(lParam);
        if (event->vkCode == VK_F12) { // every event of this hook is a key going down or up
            g_down.store(wParam == WM_KEYDOWN || wParam == WM_SYSKEYDOWN);
            SetEvent(g_wake);
        }
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

DWORD WINAPI SenderThreadProc(LPVOID) {
    for (;;) {
        WaitForSingleObject(g_wake, INFINITE);
        SetTalking(g_down.load()); // does nothing when already so
    }
}

} // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    g_wake = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    HHOOK hook = SetWindowsHookExW(WH_KEYBOARD_LL, FloorKeyboardProc, nullptr, 0);
    CreateThread(nullptr, 0, SenderThreadProc, nullptr, 0, nullptr);
    // Found by the benchmark once the hook is in place.
    HWND marker = CreateWindowExW(0, L"STATIC", L"vorrel floor probe", WS_POPUP, 0, 0, 0, 0,
                                  nullptr, nullptr, instance, nullptr);
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        DispatchMessageW(&message);
    }
    DestroyWindow(marker);
    UnhookWindowsHookEx(hook);
    return 0;
}
