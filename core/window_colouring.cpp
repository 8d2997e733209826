#include "window_colouring.h"

#include "shared_state.h"

void EnsureBackgroundBrush() {
    if (!g_bgBrush) {
        g_bgBrush = CreateSolidBrush(BACKGROUND_COLOUR);
    }
}

INT_PTR ColourDialogPart(UINT message, HDC dc) {
    if (g_plainLook) {
        return FALSE;
    }
    if (message == WM_CTLCOLORSTATIC) {
        SetTextColor(dc, RGB(255, 255, 255));
        SetBkMode(dc, TRANSPARENT);
    }
    return reinterpret_cast<INT_PTR>(g_bgBrush);
}
