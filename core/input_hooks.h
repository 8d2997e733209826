// System-wide low-level keyboard and mouse hooks that watch for the hotkey.
#pragma once

#include <windows.h>

#include <cstdint>

LRESULT CALLBACK KeyboardHookProc(int code, WPARAM wParam, LPARAM lParam) noexcept;
LRESULT CALLBACK MouseHookProc(int code, WPARAM wParam, LPARAM lParam) noexcept;

// Hotkey code of an X button event: 300 plus the button number in the high
// word of mouseData, summed in 16 bits.
uint32_t XButtonHotkeyCode(DWORD mouseData);

// An event's time stamp, but never later than now: whoever sends input may
// stamp it with any time, and one from the future would hide later input.
DWORD EventTime(DWORD stamp);

// Installs both hooks on the calling thread, which must pump messages, and
// starts the relay thread.
void InstallInputHooks();

// Puts in a fresh copy of the chosen hooks, for one that Windows may have
// removed without a word; GUI thread only.
void ReinstallInputHooks(bool keyboard, bool mouse);
// How many hooks have been put back so far, for measuring needless ones.
unsigned HookReinstallCount();

// Removes both hooks and stops the relay; true once no hotkey event can reach
// the talk switch any more (the relay's wait is bounded).
bool RemoveInputHooks();
