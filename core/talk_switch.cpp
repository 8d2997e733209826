#include "talk_switch.h"

#include "shared_state.h"

namespace {

enum class Delivery { Handled, Queued, NotDelivered };

// A hung target must never freeze the relay or the window, so the wait is
// bounded; SMTO_NORMAL keeps the waiting thread serving the messages sent to
// it (hooks, notifications, presence checks).
//
// After a time-out the command still sits in the target's queue and is acted
// on if the target recovers, so it counts as sent: the talk state and the
// indicator follow the command, and the opposite command goes out on the next
// release. Reverting instead would leave a recovering target transmitting
// with nobody left to silence it.
//
// Any other failure (window gone, access denied) means the command never
// reached the target, which is the same as finding no target.
Delivery SendTalkCommand(HWND target, bool on) {
    char bytes[TALK_COMMAND_BYTES] = {'2', '|', on ? '1' : '0'};
    COPYDATASTRUCT command = {};
    command.dwData = TALK_COPYDATA_ID;
    command.cbData = TALK_COMMAND_BYTES;
    command.lpData = bytes;

    DWORD_PTR reply = 0;
    SetLastError(ERROR_SUCCESS);
    if (SendMessageTimeoutW(target, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&command),
                            SMTO_NORMAL | SMTO_ABORTIFHUNG, TALK_SEND_TIMEOUT_MS, &reply)) {
        return Delivery::Handled;
    }
    const DWORD error = GetLastError();
    // Older systems report a time-out with no error code.
    return (error == ERROR_TIMEOUT || error == ERROR_SUCCESS) ? Delivery::Queued
                                                              : Delivery::NotDelivered;
}

void NotifyMainWindow(UINT message) {
    HWND mainDlg = g_mainDlg.load();
    if (mainDlg) {
        SendMessageW(mainDlg, message, 0, 0);
    }
}

} // namespace

bool SetTalking(bool on) {
    bool expected = !on;
    if (!g_talking.compare_exchange_strong(expected, on)) {
        return false;
    }

    HWND target = FindWindowW(TARGET_WINDOW_CLASS, TARGET_WINDOW_TITLE);
    if (!target || SendTalkCommand(target, on) == Delivery::NotDelivered) {
        // Nothing reached the target, so it is silent as far as we know.
        g_talking.store(false);
        return false;
    }

    NotifyMainWindow(on ? WM_TALK_STARTED : WM_TALK_STOPPED);
    return true;
}
