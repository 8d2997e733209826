#include "hotkey_dialog.h"

#include "core/bounded_text.h"
#include "core/shared_state.h"
#include "core/window_colouring.h"
#include "hotkey_names.h"
#include "res/resource.h"

namespace {

// The prompt control doubles as the display of the pending choice.
void TakeReleasedInput(HWND window, uint32_t code) {
    HWND prompt = GetDlgItem(window, IDC_STATIC);
    wchar_t text[WINDOW_TEXT_CHARS];

    if (code <= HOTKEY_XBUTTON_BASE) {
        wchar_t name[HOTKEY_NAME_CHARS];
        if (!KeyboardHotkeyName(code, name)) {
            return;
        }
        g_pendingHotkey = code;
        if (prompt) {
            FormatText(text, L">>>> %ls (%d) <<<<", name, static_cast<int>(code));
            SetWindowTextW(prompt, text);
            FormatText(g_hotkeyName, L"%ls", name);
        }
        return;
    }

    g_pendingHotkey = code;
    if (prompt) {
        MouseHotkeyName(code, g_hotkeyName);
        FormatText(text, L">>>> %ls <<<<", g_hotkeyName);
        SetWindowTextW(prompt, text);
    }
}

void Close(HWND window, INT_PTR result) {
    g_hotkeyDlg = nullptr;
    EndDialog(window, result);
}

} // namespace

INT_PTR CALLBACK HotkeyDlgProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG:
        g_hotkeyDlg = window;
        EnsureBackgroundBrush();
        return TRUE;

    case WM_INPUT_RELEASED:
        TakeReleasedInput(window, static_cast<uint32_t>(lParam));
        return FALSE;

    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDC_APPLY:
            if (g_pendingHotkey != g_hotkey) {
                // The held old key's release would no longer match. Through the
                // relay, the stop also follows a press it may still have in hand.
                g_pendingEvent.store(PENDING_RELEASED);
                // Nothing found of the old key's hold is the new one's.
                g_heldHotkey = 0;
                g_keyStateEndsHold = false;
            }
            g_hotkey = g_pendingHotkey;
            g_hotkeyDlg = nullptr;
            SendMessageW(g_mainDlg.load(), WM_HOTKEY_APPLIED, 0, 0);
            EndDialog(window, IDC_APPLY);
            return TRUE;
        case IDC_CANCEL_CHOICE:
            Close(window, IDC_CANCEL_CHOICE);
            return TRUE;
        default:
            // Escape and Enter's own commands: the window stays open and the
            // key counts as a choice like any other.
            return FALSE;
        }

    case WM_CLOSE:
        Close(window, IDC_CANCEL_CHOICE);
        return TRUE;

    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSTATIC:
        return ColourDialogPart(message, reinterpret_cast<HDC>(wParam));

    default:
        return FALSE;
    }
}
