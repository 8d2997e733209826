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

// How many commands are on their way, and how many ever set out. Only a
// command that set out alone, and after whose ticket none was taken before it
// was handled, settles the talk: one sent beside it may have been handled
// before it or after, whichever version it carries. A command settles its
// own version only: a newer one stays owed.
std::atomic<int32_t> commandsUnderWay{0};
std::atomic<uint32_t> commandsSetOut{0};
// After a command that was not handled, an owed one waits until this tick,
// so that a busy voice changer is not kept busier.
std::atomic<ULONGLONG> owedCommandNotBefore{0};
constexpr ULONGLONG OWED_COMMAND_RETRY_MS = 1000;

// The command's ticket, or 0 when another is on its way.
uint32_t SetOut() {
    const bool alone = commandsUnderWay.fetch_add(1) == 0;
    const uint32_t ticket = commandsSetOut.fetch_add(1) + 1;
    return alone ? ticket : 0;
}

Delivery Deliver(uint32_t ticket, HWND target, uint32_t talk) {
    const Delivery delivery = target ? SendTalkCommand(target, IsOn(talk)) : Delivery::Refused;
    // A refused command reached nothing: nothing more can be owed to that window.
    if (delivery != Delivery::Unknown && ticket != 0 && commandsSetOut.load() == ticket) {
        g_talkHandled.store(talk);
    }
    owedCommandNotBefore.store(
        delivery == Delivery::Handled ? 0 : GetTickCount64() + OWED_COMMAND_RETRY_MS);
    return delivery;
}

HWND FindTarget() {
    return FindWindowW(TARGET_WINDOW_CLASS, TARGET_WINDOW_TITLE);
}

// Gives the talk a new version, also when `always` keeps it as it is, so that
// whatever is on its way no longer settles it; false when nothing changed.
bool MoveTalk(bool on, bool always, uint32_t& moved) {
    uint32_t talk = g_talking.load();
    do {
        if (!always && IsOn(talk) == on) {
            return false;
        }
    } while (!g_talking.compare_exchange_weak(talk, NextTalk(talk, on)));
    moved = NextTalk(talk, on);
    return true;
}

} // namespace

bool IsTalking() {
    return IsOn(g_talking.load());
}

bool SetTalking(bool on) {
    uint32_t talk = 0;
    if (!MoveTalk(on, false, talk)) {
        return false;
    }
    const uint32_t ticket = SetOut();
    const Delivery delivery = Deliver(ticket, FindTarget(), talk);
    commandsUnderWay.fetch_sub(1);
    if (delivery == Delivery::Refused) {
        // Nothing reached the target, so it is silent as far as we know.
        if (on) {
            g_talking.compare_exchange_strong(talk, NextTalk(talk, false));
        }
        return false;
    }
    // A command whose wait gave up may or may not have arrived: a start
    // counts as talking, so that the release sends a stop.
    if (HWND mainDlg = g_mainDlg.load()) {
        SendMessageW(mainDlg, on ? WM_TALK_STARTED : WM_TALK_STOPPED, 0, 0);
    }
    return true;
}

void SilenceThroughRelay() {
    uint32_t talk = 0;
    MoveTalk(false, true, talk);
}

bool StopTalkingNow() {
    if (!IsTalking() && !CommandOwed()) {
        return false;
    }
    uint32_t talk = 0;
    MoveTalk(false, true, talk);
    const uint32_t ticket = SetOut();
    const bool sent = Deliver(ticket, FindTarget(), talk) != Delivery::Refused;
    commandsUnderWay.fetch_sub(1);
    return sent;
}

bool CommandOwed() {
    return g_talking.load() != g_talkHandled.load();
}

void SendOwedCommand() {
    auto owedNow = [] { return CommandOwed() && GetTickCount64() >= owedCommandNotBefore.load(); };
    if (!owedNow()) {
        return;
    }
    // A window the presence check has not seen yet is silenced by it.
    HWND target = FindTarget();
    if (!target || target != g_targetSeen.load()) {
        owedCommandNotBefore.store(GetTickCount64() + OWED_COMMAND_RETRY_MS);
        return;
    }
    // Asked again once alone: a command that came back since may have paid
    // the debt, or given up on it. The relay, which would only send again
    // what is owed, takes no ticket otherwise.
    if (commandsUnderWay.fetch_add(1) == 0 && owedNow()) {
        const uint32_t ticket = commandsSetOut.fetch_add(1) + 1;
        const uint32_t talk = g_talking.load();
        // A window seen since the look-up was silenced with a newer version,
        // which a refusal from the old one must not settle.
        if (g_targetSeen.load() == target) {
            Deliver(ticket, target, talk);
        }
    }
    commandsUnderWay.fetch_sub(1);
}
