#include "event_relay.h"

#include "shared_state.h"
#include "talk_switch.h"

#include <atomic>

namespace {

constexpr DWORD RELAY_IDLE_SLEEP_MS = 10;
// The longest step of the relay is one bounded talk command.
constexpr DWORD RELAY_STOP_WAIT_MS = TALK_SEND_TIMEOUT_MS + 500;

std::atomic<bool> relayStopping{false};
HANDLE relayThread = nullptr;

} // namespace

bool RelayPendingEvent() {
    if (g_pendingEvent.load() == PENDING_NONE) {
        return false;
    }
    switch (g_pendingEvent.exchange(PENDING_NONE)) {
    case PENDING_PRESSED:
        return SetTalking(true);
    case PENDING_RELEASED:
        return SetTalking(false);
    default:
        return false;
    }
}

DWORD WINAPI RelayThreadProc(LPVOID) {
    // Sent from here, in line with the hotkey's commands, an owed command can
    // never land behind a hotkey command sent after it.
    while (!relayStopping.load()) {
        if (!RelayPendingEvent()) {
            SendOwedCommand();
            Sleep(RELAY_IDLE_SLEEP_MS);
        }
    }
    return 0;
}

void StartEventRelay() {
    relayStopping.store(false);
    relayThread = CreateThread(nullptr, 0, RelayThreadProc, nullptr, 0, nullptr);
}

bool StopEventRelay() {
    relayStopping.store(true);
    if (!relayThread) {
        return true;
    }
    const bool stopped = WaitForSingleObject(relayThread, RELAY_STOP_WAIT_MS) == WAIT_OBJECT_0;
    CloseHandle(relayThread);
    relayThread = nullptr;
    return stopped;
}
