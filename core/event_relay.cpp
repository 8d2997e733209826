#include "event_relay.h"

#include "shared_state.h"
#include "talk_switch.h"

namespace {
constexpr DWORD RELAY_IDLE_SLEEP_MS = 10;
}

bool RelayPendingEvent() {
    if (g_pendingEvent.load() == PENDING_NONE) {
        return false;
    }
    switch (g_pendingEvent.exchange(PENDING_NONE)) {
    case PENDING_PRESSED:
        SetTalking(true);
        break;
    case PENDING_RELEASED:
        SetTalking(false);
        break;
    default:
        break;
    }
    return true;
}

DWORD WINAPI RelayThreadProc(LPVOID) {
    for (;;) {
        if (!RelayPendingEvent()) {
            Sleep(RELAY_IDLE_SLEEP_MS);
        }
    }
}
