// The modal window in which the user presses the wanted hotkey.
#pragma once

#include <windows.h>

INT_PTR CALLBACK HotkeyDlgProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
