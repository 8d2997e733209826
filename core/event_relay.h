// Carries hotkey events from the hooks to the talk switch, off the GUI thread.
#pragma once

#include <windows.h>

// Takes one pending event, if any, and acts on it. Returns true when that sent
// a command (a key's auto-repeat, while talking, sends none).
bool RelayPendingEvent();

// Thread body: relays events, napping 10 ms whenever idle, and sends an owed
// command again about once a second, until stopped.
DWORD WINAPI RelayThreadProc(LPVOID unused);

void StartEventRelay();

// Stops the relay and waits, within a bound, until it has finished the event
// in hand: after it returns true, no hotkey event can start a talk command.
bool StopEventRelay();
