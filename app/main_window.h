// The program's one permanent window: the button picture, the hotkey label,
// "Set hotkey" and the warning line.
#pragma once

#include <windows.h>

INT_PTR CALLBACK MainDlgProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
