#include "missed_input.h"

#include "input_hooks.h"
#include "shared_state.h"

namespace {

// Time stamps of one event may differ by a tick between sources.
constexpr int32_t SAME_EVENT_SLACK_MS = 50;
// Windows updates a key's state only once every low-level hook has passed the
// event on, and gives each up to a second: a press newer than this may not
// show in the key state yet.
constexpr int32_t HOOK_CHAIN_MS = 1500;

DWORD rawKeyboardTime = 0;
DWORD rawMouseTime = 0;
// Windows has shown a press of the hotkey down since it was chosen. A tool
// that swallows the hotkey after this program's hook has seen it (to free a
// side button from "Back", say) keeps Windows from ever showing it down.
uint32_t watchedHotkey = 0;
bool hotkeyShownDown = false;

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
    switch (code) {
    case HOTKEY_XBUTTON_BASE + 1:
        return VK_XBUTTON1;
    case HOTKEY_XBUTTON_BASE + 2:
        return VK_XBUTTON2;
    case HOTKEY_MIDDLE_BUTTON:
        return VK_MBUTTON;
    default:
        return 0;
    }
}

// A hotkey the hooks saw go down that Windows says is up was let go where the
// hooks could not see it: once a check has read this hold down, or once the
// press is older than any hook chain takes to show it. GetAsyncKeyState also
// reads "up" on another desktop (and, we believe, while an elevated window
// has the input): ending the talk then errs towards silence, the side to err
// on. A hotkey that Windows has never shown down is left to the hooks: what
// is traded is that a swallowed hotkey's lost release is not caught.
// True when a release was missed.
bool ReleaseHotkeyIfUp() {
    if (g_hotkey != watchedHotkey) {
        watchedHotkey = g_hotkey;
        hotkeyShownDown = false;
    }
    const int key = HotkeyVirtualKey(g_hotkey);
    if (!key || g_heldHotkey != g_hotkey) {
        return false;
    }
    if (IsDown(key)) {
        g_heldHotkeyReadDown = hotkeyShownDown = true;
        return false;
    }
    const bool mayNotShowYet =
        static_cast<int32_t>(GetTickCount() - g_heldHotkeyTime) < HOOK_CHAIN_MS;
    if (!g_heldHotkeyReadDown && (!hotkeyShownDown || mayNotShowYet)) {
        return false;
    }
    // A press stored meanwhile is newer than this reading: leave it.
    int32_t none = PENDING_NONE;
    if (!g_pendingEvent.compare_exchange_strong(none, PENDING_RELEASED)) {
        return false;
    }
    // A press that never showed may also be one that a tool started since
    // swallows: that cut is made once, until Windows shows the hotkey again.
    hotkeyShownDown = hotkeyShownDown && g_heldHotkeyReadDown;
    g_heldHotkey = 0;
    g_heldHotkeyReadDown = false;
    return true;
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

// Windows removes a low-level hook that keeps it waiting and never says so.
// Each hook's last event is compared with the device's raw input, and the
// mouse hook also with the hotkey button held. Reinstalling a live hook by
// mistake costs little.
void CheckForMissedInput() {
    const bool mouseHotkey = g_hotkey > HOTKEY_XBUTTON_BASE;
    const bool releaseMissed = ReleaseHotkeyIfUp();

    const bool keyboardMissed =
        (releaseMissed && !mouseHotkey) || Later(rawKeyboardTime, g_keyboardHookTime);
    // A hotkey button held that the hooks never saw go down is a click the
    // mouse hook missed.
    const int key = HotkeyVirtualKey(g_hotkey);
    const bool pressMissed = mouseHotkey && key && g_heldHotkey != g_hotkey && IsDown(key);
    const bool mouseMissed =
        (releaseMissed && mouseHotkey) || pressMissed || Later(rawMouseTime, g_mouseHookTime);
    ReinstallInputHooks(keyboardMissed, mouseMissed);
    // What the witnesses saw is accounted for: a fresh hook starts level.
    if (keyboardMissed) {
        g_keyboardHookTime = rawKeyboardTime;
    }
    if (mouseMissed) {
        g_mouseHookTime = rawMouseTime;
    }
}
