// Carries hotkey events from the hooks to the talk switch, off the GUI thread.
#pragma once

#include <windows.h>

// Takes one pending event, if any, and acts on it. Returns false when there
// was nothing to take.
bool RelayPendingEvent();

// Thread body: relays events forever, napping 10 ms whenever idle.
DWORD WINAPI RelayThreadProc(LPVOID unused);
