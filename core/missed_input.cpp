#include "missed_input.h"

#include "input_hooks.h"
#include "shared_state.h"

namespace {

// Time stamps of one event may differ by a tick between sources.
constexpr int32_t SAME_EVENT_SLACK_MS = 50;

DWORD rawKeyboardTime = 0;
DWORD rawMouseTime = 0;

// Tick counts wrap after 49 days; their difference does not.
bool Later(DWORD time, DWORD than) {
    return static_cast<int32_t>(time - than) > SAME_EVENT_SLACK_MS;
}

bool IsDown(int key) {
    return (GetAsyncKeyState(key) & 0x8000) != 0;
}

// The key whose state tells whether the hotkey is down, 0 for the X buttons
// beyond the second, which have none.
int HotkeyVirtualKey(uint32_t code) {
    if (code <= 0xFF) {
        return static_cast<int>(code);
    }
    return code == HOTKEY_MIDDLE_BUTTON      ? VK_MBUTTON
           : code == HOTKEY_XBUTTON_BASE + 1 ? VK_XBUTTON1
           : code == HOTKEY_XBUTTON_BASE + 2 ? VK_XBUTTON2
                                             : 0;
}

// The process's integrity level; one that cannot be read counts as the
// highest, as only processes with more rights keep it from us.
DWORD IntegrityOf(DWORD processId) {
    DWORD level = MAXDWORD;
    HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId);
    HANDLE token = nullptr;
    alignas(TOKEN_MANDATORY_LABEL) BYTE label[64];
    DWORD size = 0;
    if (process && OpenProcessToken(process, TOKEN_QUERY, &token) &&
        GetTokenInformation(token, TokenIntegrityLevel, label, sizeof label, &size)) {
        PSID sid = reinterpret_cast<TOKEN_MANDATORY_LABEL*>(label)->Label.Sid;
        level = *GetSidSubAuthority(sid, *GetSidSubAuthorityCount(sid) - 1u);
    }
    if (token) {
        CloseHandle(token);
    }
    if (process) {
        CloseHandle(process);
    }
    return level;
}

// Windows shows the hooks no input while the window in front belongs to a
// process with more rights, or while none of this desktop is in front (a
// consent prompt's secure desktop), and the key state then reads up.
bool ForegroundHidesInputFromHooks() {
    HWND front = GetForegroundWindow();
    DWORD processId = 0;
    if (!front || !GetWindowThreadProcessId(front, &processId)) {
        return true;
    }
    static const DWORD ownLevel = IntegrityOf(GetCurrentProcessId());
    return processId != GetCurrentProcessId() && IntegrityOf(processId) > ownLevel;
}

// Raw input is the witness of each device that does not depend on its hook.
// A program that moves the pointer (SetCursorPos) makes none, and it carries
// the same time stamp as the hook's event, even one the sender chose (one
// from the future is read as now on both sides).
void RegisterRawInput(DWORD flags, HWND window) {
    RAWINPUTDEVICE devices[2] = {};
    for (RAWINPUTDEVICE& device : devices) {
        device.usUsagePage = 0x01; // generic desktop
        device.dwFlags = flags;
        device.hwndTarget = window;
    }
    devices[0].usUsage = 0x06; // keyboard
    devices[1].usUsage = 0x02; // mouse
    RegisterRawInputDevices(devices, 2, sizeof devices[0]);
}

} // namespace

void StartWatchingForMissedInput(HWND window) {
    rawKeyboardTime = rawMouseTime = g_keyboardHookTime = g_mouseHookTime = GetTickCount();
    RegisterRawInput(RIDEV_INPUTSINK, window);
}

void StopWatchingForMissedInput() {
    RegisterRawInput(RIDEV_REMOVE, nullptr);
}

void NoteRawInput(HRAWINPUT input) {
    RAWINPUTHEADER header = {};
    UINT size = sizeof header;
    if (GetRawInputData(input, RID_HEADER, &header, &size, sizeof header) ==
        static_cast<UINT>(-1)) {
        return;
    }
    (header.dwType == RIM_TYPEMOUSE ? rawMouseTime : rawKeyboardTime) =
        EventTime(static_cast<DWORD>(GetMessageTime()));
}

bool (*g_foregroundHidesInput)() = ForegroundHidesInputFromHooks;

// Windows removes a low-level hook that keeps it waiting and never says so.
// Each hook's last event is compared with the device's raw input. Reinstalling
// a live hook by mistake costs little.
//
// A hotkey the hooks saw go down that Windows says is up was let go where
// the hooks could not see it, but only on evidence that they could have
// missed it. A tool that swallows the hotkey after this program's hook has
// seen it (to free a side button from "Back", say), always or only in some
// windows, keeps Windows from showing it down at all: without evidence such
// a hold is left to the hooks.
void CheckForMissedInput() {
    const bool keyboardMissed = Later(rawKeyboardTime, g_keyboardHookTime);
    const bool mouseMissed = Later(rawMouseTime, g_mouseHookTime);
    ReinstallInputHooks(keyboardMissed, mouseMissed);
    // What the witnesses saw is accounted for: a fresh hook starts level.
    if (keyboardMissed) {
        g_keyboardHookTime = rawKeyboardTime;
    }
    if (mouseMissed) {
        g_mouseHookTime = rawMouseTime;
    }

    const int key = HotkeyVirtualKey(g_hotkey);
    if (!key || !g_heldHotkey || g_heldHotkey != g_hotkey) {
        return;
    }
    const bool down = IsDown(key);
    const bool hookMissed = g_hotkey > HOTKEY_XBUTTON_BASE ? mouseMissed : keyboardMissed;
    g_keyStateEndsHold = g_keyStateEndsHold || down || hookMissed || g_foregroundHidesInput();
    // A press stored meanwhile is newer than this reading: leave it.
    int32_t none = PENDING_NONE;
    if (down || !g_keyStateEndsHold ||
        !g_pendingEvent.compare_exchange_strong(none, PENDING_RELEASED)) {
        return;
    }
    g_heldHotkey = 0;
    g_keyStateEndsHold = false;
}
