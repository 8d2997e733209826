#include "talk_switch.h"

#include "shared_state.h"

namespace {

enum class Delivery { Handled, Unknown, Refused };

// A busy or hung target must never freeze the relay or the window, so the
// wait is bounded; SMTO_NORMAL keeps the waiting thread serving the messages
// sent to it (hooks, notifications, presence checks), and SMTO_ABORTIFHUNG
// returns at once from a window the system already judges hung.
//
// A command that times out or is aborted has an unknown outcome: if the
// target had not begun to handle it, it is taken back out of the target's
// queue and never arrives. Only a failure that says nothing was delivered
// (window gone, access denied) counts as refused.
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
    return (error == ERROR_TIMEOUT || error == ERROR_SUCCESS) ? Delivery::Unknown
                                                              : Delivery::Refused;
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
    // A new command supersedes a start still owed for the talk before it.
    g_startOwed.store(false);

    HWND target = FindWindowW(TARGET_WINDOW_CLASS, TARGET_WINDOW_TITLE);
    const Delivery delivery = target ? SendTalkCommand(target, on) : Delivery::Refused;
    if (delivery == Delivery::Refused) {
        // Nothing reached the target, so it is silent as far as we know.
        g_talking.store(false);
        return false;
    }

    if (delivery == Delivery::Handled) {
        // The target now does what the user asks: nothing is owed.
        g_stopOwed.store(false);
    } else if (on) {
        // A busy target takes back a start it had not begun to handle: the
        // user would talk into a microphone that is off for the whole hold.
        g_startOwed.store(true);
    } else {
        // The user let go, so the window shows OFF, but the target may still
        // be transmitting.
        g_stopOwed.store(true);
    }
    if (on && !g_talking.load()) {
        // A stop forced meanwhile (the voice changer just appeared, the desk
        // was taken away) may have gone out ahead of this start: it may be
        // transmitting with nobody talking, so the stop is owed again.
        g_stopOwed.store(true);
        return true;
    }
    // A start that may have arrived counts as talking, so that the release
    // sends a stop.
    NotifyMainWindow(on ? WM_TALK_STARTED : WM_TALK_STOPPED);
    return true;
}

bool StopTalkingNow() {
    if (!g_talking.load() && !g_stopOwed.load()) {
        return false;
    }
    g_talking.store(true); // forces the stop whatever the talk state
    return SetTalking(false);
}

bool CommandOwed() {
    return g_talking.load() ? g_startOwed.load() : g_stopOwed.load();
}

void SendOwedCommand() {
    // A second round only for a start overtaken by the user's release.
    for (int round = 0; round < 2; ++round) {
        const bool on = g_talking.load();
        std::atomic<bool>& owed = on ? g_startOwed : g_stopOwed;
        if (!owed.load()) {
            return;
        }
        // A voice changer that is gone, or refuses, is owed nothing.
        HWND target = FindWindowW(TARGET_WINDOW_CLASS, TARGET_WINDOW_TITLE);
        const Delivery delivery = target ? SendTalkCommand(target, on) : Delivery::Refused;
        if (delivery != Delivery::Unknown) {
            owed.store(false);
        }
        if (delivery == Delivery::Refused || g_talking.load() == on) {
            return;
        }
        // The user pressed or let go meanwhile, from the window: that command
        // may have landed before this one, so it is owed again. A stop goes
        // out at once from here, so that it cannot land before this start,
        // whatever the window's own stop meanwhile marks as paid.
        (on ? g_stopOwed : g_startOwed).store(true);
        if (!on) {
            return;
        }
    }
}
