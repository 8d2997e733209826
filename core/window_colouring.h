// The blue look shared by both windows; the plain look keeps system colours.
#pragma once

#include <windows.h>

// Creates the shared background brush if no window has yet.
void EnsureBackgroundBrush();

// Answers WM_CTLCOLORDLG and WM_CTLCOLORSTATIC for a dialog procedure:
// the brush to paint with, or FALSE to leave the colours to the system.
INT_PTR ColourDialogPart(UINT message, HDC dc);
