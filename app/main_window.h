// The program's one permanent window: the button picture, the hotkey label,
// "Set hotkey" and the warning line.
#pragma once

#include <windows.h>

// The caption the template gives the window, by which a second copy finds it.
constexpr wchar_t MAIN_WINDOW_CAPTION[] = L"Vorrel v0.4 (Pelorin Pulgin)";

INT_PTR CALLBACK MainDlgProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
