// Input the hooks never saw: a hotkey let go while the hooks could not see it
// (another desktop, an elevated window, a removed hook), and a hook that
// Windows removed because it once answered too slowly.
#pragma once

#include <windows.h>

// Has raw keyboard and mouse input sent to the window, a second witness of
// every event that the hooks should see. Stop before the window is destroyed.
void StartWatchingForMissedInput(HWND window);
void StopWatchingForMissedInput();
// For the window's WM_INPUT: notes when it came, never what it was.
void NoteRawInput(HRAWINPUT input);

// At each presence check, on the GUI thread: puts back a hook that missed
// input, and hands the relay the release of a hotkey that is no longer down.
void CheckForMissedInput();

// Whether the window in front hides input from the hooks; tests replace it.
extern bool (*g_foregroundHidesInput)();
