#include "input_hooks.h"

#include "event_relay.h"
#include "shared_state.h"

// Windows silently drops a low-level hook that is slow to return, so the
// procedures below only compare, store one word and post one message. The
// talk command itself goes out from the relay thread.

namespace {

unsigned hookReinstalls = 0;

void OnHotkeyInput(uint32_t hotkeyCode, bool released) {
    if (released && g_hotkeyDlg) {
        PostMessageW(g_hotkeyDlg, WM_INPUT_RELEASED, 0, static_cast<LPARAM>(hotkeyCode));
    }
    if (hotkeyCode == g_hotkey) {
        // What a check found belongs to one hold, not to a quick press after it.
        g_keyStateEndsHold = g_keyStateEndsHold && !released && g_heldHotkey == hotkeyCode;
        g_heldHotkey = released ? 0 : hotkeyCode;
        g_pendingEvent.store(released ? PENDING_RELEASED : PENDING_PRESSED);
    }
}

// The new hook goes in before the old one comes out, so that no event falls
// between them; a hook that cannot be installed leaves the old one in place.
void ReplaceHook(HHOOK& hook, int kind, HOOKPROC procedure) {
    HHOOK fresh = SetWindowsHookExW(kind, procedure, nullptr, 0);
    if (!fresh) {
        return;
    }
    if (hook) {
        UnhookWindowsHookEx(hook);
    }
    hook = fresh;
}

} // namespace

DWORD EventTime(DWORD stamp) {
    const DWORD now = GetTickCount();
    return static_cast<int32_t>(stamp - now) > 0 ? now : stamp;
}

uint32_t XButtonHotkeyCode(DWORD mouseData) {
    return static_cast<uint16_t>(HOTKEY_XBUTTON_BASE + HIWORD(mouseData));
}

// Injected events are deliberately not filtered: synthesised input (remote
// desktops, macro pads, accessibility tools) must talk like a real key.
LRESULT CALLBACK KeyboardHookProc(int code, WPARAM wParam, LPARAM lParam) noexcept {
    if (code == HC_ACTION) {
        const auto* event = reinterpret_cast<const KBDLLHOOKSTRUCT*>(lParam);
        g_keyboardHookTime = EventTime(event->time);
        switch (wParam) {
        case WM_KEYDOWN:
        case WM_SYSKEYDOWN:
            OnHotkeyInput(event->vkCode, false);
            break;
        case WM_KEYUP:
        case WM_SYSKEYUP:
            OnHotkeyInput(event->vkCode, true);
            break;
        default:
            break;
        }
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

LRESULT CALLBACK MouseHookProc(int code, WPARAM wParam, LPARAM lParam) noexcept {
    if (code == HC_ACTION) {
        const auto* event = reinterpret_cast<const MSLLHOOKSTRUCT*>(lParam);
        g_mouseHookTime = EventTime(event->time);
        switch (wParam) {
        case WM_MBUTTONDOWN:
            OnHotkeyInput(HOTKEY_MIDDLE_BUTTON, false);
            break;
        case WM_MBUTTONUP:
            OnHotkeyInput(HOTKEY_MIDDLE_BUTTON, true);
            break;
        case WM_XBUTTONDOWN:
            OnHotkeyInput(XButtonHotkeyCode(event->mouseData), false);
            break;
        case WM_XBUTTONUP:
            OnHotkeyInput(XButtonHotkeyCode(event->mouseData), true);
            break;
        default:
            break;
        }
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

void InstallInputHooks() {
    ReplaceHook(g_keyboardHook, WH_KEYBOARD_LL, KeyboardHookProc);
    ReplaceHook(g_mouseHook, WH_MOUSE_LL, MouseHookProc);
    StartEventRelay();
}

void ReinstallInputHooks(bool keyboard, bool mouse) {
    // Only hooks that were installed: none go in before start-up or after teardown.
    if (keyboard && g_keyboardHook) {
        ReplaceHook(g_keyboardHook, WH_KEYBOARD_LL, KeyboardHookProc);
        ++hookReinstalls;
    }
    if (mouse && g_mouseHook) {
        ReplaceHook(g_mouseHook, WH_MOUSE_LL, MouseHookProc);
        ++hookReinstalls;
    }
}

unsigned HookReinstallCount() {
    return hookReinstalls;
}

bool RemoveInputHooks() {
    if (g_keyboardHook) {
        UnhookWindowsHookEx(g_keyboardHook);
        g_keyboardHook = nullptr;
    }
    if (g_mouseHook) {
        UnhookWindowsHookEx(g_mouseHook);
        g_mouseHook = nullptr;
    }
    // An event stored just before the hooks came out may still be in hand.
    return StopEventRelay();
}
