// System-wide low-level keyboard and mouse hooks that watch for the hotkey.
#pragma once

#include <windows.h>

#include <cstdint>

LRESULT CALLBACK KeyboardHookProc(int code, WPARAM wParam, LPARAM lParam) noexcept;
LRESULT CALLBACK MouseHookProc(int code, WPARAM wParam, LPARAM lParam) noexcept;

// Hotkey code of an X button event: 300 plus the button number in the high
// word of mouseData, summed in 16 bits.
uint32_t XButtonHotkeyCode(DWORD mouseData);

// Installs both hooks on the calling thread, which must pump messages, and
// starts the relay thread.
void InstallInputHooks();

// Puts in a fresh copy of the chosen hooks, for one that Windows may have
// removed without a word; GUI thread only.
void ReinstallInputHooks(bool keyboard, bool mouse);

// Removes both hooks and stops the relay; true once no hotkey event can reach
// the talk switch any more (the relay's wait is bounded).
bool RemoveInputHooks();
