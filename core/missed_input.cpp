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
bool hotkeyReadDown = false; // at the last check, during this hold
POINT lastCursor = {};
DWORD mouseHookTimeAtLastCheck = 0;

// Tick counts wrap after 49 days; their difference does not.
bool Later(DWORD time, DWORD than) {
    return static_cast<int32_t>(time - than) > SAME_EVENT_SLACK_MS;
}

DWORD Newest(DWORD a, DWORD b) {
    return static_cast<int32_t>(a - b) > 0 ? a : b;
}

DWORD LastInputTime() {
    LASTINPUTINFO lastInput = {sizeof lastInput, 0};
    GetLastInputInfo(&lastInput);
    return lastInput.dwTime;
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

// A hotkey the hooks saw go down that Windows says is up, after it read down
// or once the press is older than any hook chain takes, was let go where the
// hooks could not see it. GetAsyncKeyState also reads "up" on another desktop
// (and, we believe, while an elevated window has the input): ending the talk
// then errs towards silence, the side to err on. A remapping tool that
// swallows the hotkey after this program's hook has seen it ends its talks.
// True when a release was missed.
bool ReleaseHotkeyIfUp() {
    const int key = HotkeyVirtualKey(g_hotkey);
    const bool held = key && g_heldHotkey == g_hotkey;
    const bool readDown = held && IsDown(key);
    const bool wasReadDown = hotkeyReadDown;
    hotkeyReadDown = readDown;
    if (!held || readDown ||
        (!wasReadDown && static_cast<int32_t>(GetTickCount() - g_heldHotkeyTime) < HOOK_CHAIN_MS)) {
        return false;
    }
    // A press stored meanwhile is newer than this reading: leave it.
    int32_t none = PENDING_NONE;
    if (!g_pendingEvent.compare_exchange_strong(none, PENDING_RELEASED)) {
        return false;
    }
    g_heldHotkey = 0;
    return true;
}

void RegisterRawKeyboard(DWORD flags, HWND window) {
    RAWINPUTDEVICE keyboard = {};
    keyboard.usUsagePage = 0x01; // generic desktop
    keyboard.usUsage = 0x06;     // keyboard
    keyboard.dwFlags = flags;
    keyboard.hwndTarget = window;
    RegisterRawInputDevices(&keyboard, 1, sizeof keyboard);
}

} // namespace

void StartWatchingForMissedInput(HWND window) {
    GetCursorPos(&lastCursor);
    rawKeyboardTime = g_keyboardHookTime = g_mouseHookTime = mouseHookTimeAtLastCheck =
        LastInputTime();
    RegisterRawKeyboard(RIDEV_INPUTSINK, window);
}

void StopWatchingForMissedInput() {
    RegisterRawKeyboard(RIDEV_REMOVE, nullptr);
}

void NoteRawKeyboardInput() {
    rawKeyboardTime = static_cast<DWORD>(GetMessageTime());
}

// Windows removes a low-level hook that keeps it waiting and never says so.
// Each hook's last event is compared with a witness that does not depend on
// it: raw keyboard input for keys; for the mouse, input newer than anything
// either device showed, or the cursor moving without a mouse hook call.
// Reinstalling a live hook by mistake costs nothing.
void CheckForMissedInput() {
    const bool mouseHotkey = g_hotkey > HOTKEY_XBUTTON_BASE;
    const bool releaseMissed = ReleaseHotkeyIfUp();

    POINT cursor = {};
    GetCursorPos(&cursor);
    const DWORD lastInput = LastInputTime();
    const DWORD keysSeen = Newest(rawKeyboardTime, g_keyboardHookTime);
    const bool cursorMovedUnseen = (cursor.x != lastCursor.x || cursor.y != lastCursor.y) &&
                                   g_mouseHookTime == mouseHookTimeAtLastCheck;

    const bool keyboardMissed =
        (releaseMissed && !mouseHotkey) || Later(rawKeyboardTime, g_keyboardHookTime);
    // A hotkey button held that the hooks never saw go down is a click the
    // mouse hook missed, whatever the keys do meanwhile.
    const int key = HotkeyVirtualKey(g_hotkey);
    const bool pressMissed = mouseHotkey && key && g_heldHotkey != g_hotkey && IsDown(key);
    const bool mouseMissed = (releaseMissed && mouseHotkey) || pressMissed || cursorMovedUnseen ||
                             Later(lastInput, Newest(keysSeen, g_mouseHookTime));
    ReinstallInputHooks(keyboardMissed, mouseMissed);
    // What the witnesses saw is accounted for: a fresh hook starts level.
    if (keyboardMissed) {
        g_keyboardHookTime = keysSeen;
    }
    if (mouseMissed) {
        g_mouseHookTime = lastInput;
    }
    lastCursor = cursor;
    mouseHookTimeAtLastCheck = g_mouseHookTime;
}
