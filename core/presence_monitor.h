// Watches whether the voice changer is running: blinks the main window's
// warning while it is absent and silences it once each time it appears
// (through the relay).
#pragma once

#include <windows.h>

// Thread body: asks the main window for a presence check about once a second
// and ends within 100 ms of the main window's destruction.
DWORD WINAPI MonitorThreadProc(LPVOID unused);

// One presence check; runs on the GUI thread for WM_CHECK_TARGET.
void CheckTargetPresence(HWND mainDlg);
