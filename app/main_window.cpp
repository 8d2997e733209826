#include "main_window.h"

#include "core/bounded_text.h"
#include "core/input_hooks.h"
#include "core/missed_input.h"
#include "core/presence_monitor.h"
#include "core/shared_state.h"
#include "core/talk_switch.h"
#include "core/window_colouring.h"
#include "hotkey/hotkey_dialog.h"
#include "res/resource.h"

#include <tpcshrd.h>
#include <wtsapi32.h>

#include <initializer_list>

namespace {

constexpr int PICTURE_SIZE = 128;

// The left button went down on the window and has not come up yet, and a
// presence check has read it down since.
bool leftButtonHeld = false;
bool leftButtonReadDown = false;
// The press's own start is on its way to the voice changer.
bool mouseStartUnderWay = false;

void CentreOnParent(HWND window) {
    HWND parent = GetParent(window);
    if (!parent) {
        parent = GetDesktopWindow();
    }
    RECT parentRect;
    RECT windowRect;
    GetWindowRect(parent, &parentRect);
    GetWindowRect(window, &windowRect);
    const int parentWidth = parentRect.right - parentRect.left;
    const int parentHeight = parentRect.bottom - parentRect.top;
    const int width = windowRect.right - windowRect.left;
    const int height = windowRect.bottom - windowRect.top;
    SetWindowPos(window, HWND_TOP, parentRect.left + (parentWidth - width) / 2,
                 parentRect.top + (parentHeight - height) / 2, 0, 0, SWP_NOSIZE);
}

HWND CreatePicture(HWND window, int id, const wchar_t* text, HBITMAP picture, POINT at,
                   DWORD extraStyle) {
    // No SS_NOTIFY: clicks on the picture fall through to the window.
    HWND control =
        CreateWindowExW(0, L"STATIC", text, WS_CHILD | WS_VISIBLE | SS_BITMAP | extraStyle, at.x,
                        at.y, PICTURE_SIZE, PICTURE_SIZE, window,
                        reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), g_hInstance, nullptr);
    SendMessageW(control, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(picture));
    return control;
}

void ShowIndicator(bool on) {
    g_indicatorOn = on ? 1 : 0;
    // The OFF picture lies on top of the ON one: hiding it shows ON.
    ShowWindow(g_offStatic, on ? SW_HIDE : SW_SHOW);
}

// Touch would otherwise hold a press back until the finger lifts, or turn a
// long press into a right click. Windows asks the window under the finger,
// mostly a picture, and reads this property where it is set.
void KeepLongTouchesHeld(HWND window, bool keep) {
    constexpr wchar_t TABLET_PROPERTY[] = L"MicrosoftTabletPenServiceProperty";
    for (HWND part :
         {window, GetDlgItem(window, IDC_IMAGE_ON), GetDlgItem(window, IDC_IMAGE_OFF)}) {
        if (keep) {
            SetPropW(part, TABLET_PROPERTY,
                     reinterpret_cast<HANDLE>(static_cast<INT_PTR>(TABLET_DISABLE_PRESSANDHOLD)));
        } else {
            RemovePropW(part, TABLET_PROPERTY);
        }
    }
}

void Initialise(HWND window) {
    CentreOnParent(window);
    g_mainDlg.store(window);
    EnsureBackgroundBrush();

    // The picture sits a little above and left of the window's middle,
    // measured on the outer frame.
    RECT frame;
    GetWindowRect(window, &frame);
    const POINT at = {(frame.right - frame.left - PICTURE_SIZE) / 2 - 10,
                      (frame.bottom - frame.top - PICTURE_SIZE) / 2 - 10};
    // Overlapping siblings paint in an order the system does not promise, so
    // the ON picture clips itself against the OFF picture kept above it.
    CreatePicture(window, IDC_IMAGE_ON, L"ON", g_onImage, at, WS_CLIPSIBLINGS);
    g_offStatic = CreatePicture(window, IDC_IMAGE_OFF, L"OFF", g_offImage, at, 0);
    KeepLongTouchesHeld(window, true);
    SetWindowPos(g_offStatic, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    g_indicatorOn = 0;
    // Enter presses "Set hotkey" even where the dialog manager does not make
    // a focused push button the default by itself.
    SendMessageW(window, DM_SETDEFID, IDC_SET_HOTKEY, 0);
    // Locking, disconnecting and logging off take the keys away mid-talk.
    WTSRegisterSessionNotification(window, NOTIFY_FOR_THIS_SESSION);
    StartWatchingForMissedInput(window);

    // The thread runs until the process ends, so its handle is never needed.
    // cppcheck-suppress leakReturnValNotUsed
    CreateThread(nullptr, 0, MonitorThreadProc, nullptr, 0, nullptr);
}

// A release always ends with the indicator OFF, even when no stop could be
// sent (the target is gone, or the talk state was cleared).
void EndMouseTalk() {
    if (!SetTalking(false)) {
        ShowIndicator(false);
    }
}

void EndMouseHold() {
    if (leftButtonHeld) {
        leftButtonHeld = false;
        ReleaseCapture();
        // Lost during the press's own start: the relay sends the stop behind
        // it, so that the window waits on the voice changer only once.
        if (mouseStartUnderWay) {
            SilenceThroughRelay();
            ShowIndicator(false);
        } else {
            EndMouseTalk();
        }
    }
}

// The button's logical left is the physical right when they are swapped, and
// GetAsyncKeyState reads the physical buttons.
bool LeftButtonDown() {
    const int left = GetSystemMetrics(SM_SWAPBUTTON) ? VK_RBUTTON : VK_LBUTTON;
    return (GetAsyncKeyState(left) & 0x8000) != 0;
}

// The desk is going away (locked, disconnected, suspended, logged off): the
// releases will go to another desktop or never come, so every talk ends now.
void EndEveryTalk() {
    g_pendingEvent.store(PENDING_NONE); // a press not yet relayed must not follow the stop
    leftButtonHeld = false;
    ReleaseCapture();
    StopTalkingNow();
    ShowIndicator(false);
}

void ShowAppliedHotkey(HWND window) {
    HWND label = GetDlgItem(window, IDC_HOTKEY_LABEL);
    if (!label) {
        return;
    }
    wchar_t text[WINDOW_TEXT_CHARS];
    FormatText(text, L"hotkey-> %ls", g_hotkeyName);
    SetWindowTextW(label, text);
}

} // namespace

INT_PTR CALLBACK MainDlgProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG:
        Initialise(window);
        return TRUE;

    case WM_CLOSE:
        // A talk still on ends with the last stop, once the relay is stopped.
        leftButtonHeld = false;
        DestroyWindow(window);
        return TRUE;

    case WM_DESTROY:
        KeepLongTouchesHeld(window, false);
        StopWatchingForMissedInput();
        WTSUnRegisterSessionNotification(window);
        g_mainDlg.store(nullptr);
        PostQuitMessage(0);
        return TRUE;

    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDOK:
        case IDCANCEL:
            // Enter and Escape must never close the window.
            return TRUE;
        case IDC_SET_HOTKEY:
            DialogBoxParamW(g_hInstance, MAKEINTRESOURCEW(IDD_HOTKEY), window, HotkeyDlgProc, 0);
            return FALSE;
        default:
            return FALSE;
        }

    case WM_LBUTTONDOWN:
        // With the capture, the release comes here even off the window.
        SetCapture(window);
        leftButtonHeld = true;
        leftButtonReadDown = false;
        // Press and release both follow the talk state: already talking
        // through the hotkey, the press adds nothing.
        mouseStartUnderWay = true;
        SetTalking(true);
        mouseStartUnderWay = false;
        return TRUE;

    case WM_LBUTTONUP:
        if (leftButtonHeld) {
            leftButtonHeld = false;
            ReleaseCapture();
        }
        EndMouseTalk();
        return TRUE;

    case WM_CAPTURECHANGED:
        // Another window took the mouse, or the window lost the focus, while
        // the button was held: its release will never come here.
        EndMouseHold();
        return TRUE;

    case WM_ACTIVATE:
        // Another window came to the front: the release will go there.
        if (LOWORD(wParam) == WA_INACTIVE && leftButtonHeld) {
            ReleaseCapture();
        }
        return FALSE;

    case WM_TALK_STARTED:
    case WM_TALK_STOPPED:
        // The talk state, not the message: the relay's notice may come after
        // a newer command from this window.
        ShowIndicator(IsTalking());
        return 0;

    case WM_HOTKEY_APPLIED:
        ShowAppliedHotkey(window);
        return 0;

    case WM_CHECK_TARGET:
        CheckTargetPresence(window);
        CheckForMissedInput();
        // A release that never came here: another desktop took it. Only once
        // the button has read down: a finger on a touch screen may never.
        if (leftButtonHeld) {
            const bool down = LeftButtonDown();
            if (leftButtonReadDown && !down) {
                EndMouseHold();
            }
            leftButtonReadDown = down;
        }
        return 0;

    case WM_INPUT:
        NoteRawInput(reinterpret_cast<HRAWINPUT>(lParam));
        return FALSE; // the default handling frees the input

    case WM_WTSSESSION_CHANGE:
        switch (wParam) {
        case WTS_SESSION_LOCK:
        case WTS_CONSOLE_DISCONNECT:
        case WTS_REMOTE_DISCONNECT:
            EndEveryTalk();
            break;
        case WTS_SESSION_UNLOCK:
        case WTS_CONSOLE_CONNECT:
        case WTS_REMOTE_CONNECT:
            // The hooks may have been dropped while the desk was away.
            ReinstallInputHooks(true, true);
            break;
        default:
            break;
        }
        return TRUE;

    case WM_POWERBROADCAST:
        if (wParam == PBT_APMSUSPEND) {
            EndEveryTalk();
        } else if (wParam == PBT_APMRESUMESUSPEND || wParam == PBT_APMRESUMEAUTOMATIC) {
            ReinstallInputHooks(true, true);
        }
        SetWindowLongPtrW(window, DWLP_MSGRESULT, TRUE);
        return TRUE;

    case WM_ENDSESSION:
        // The process may be ended as soon as this returns.
        if (wParam) {
            EndEveryTalk();
        }
        return TRUE;

    case WM_TABLET_QUERYSYSTEMGESTURESTATUS:
        // Where the query comes here rather than to the property.
        SetWindowLongPtrW(window, DWLP_MSGRESULT, TABLET_DISABLE_PRESSANDHOLD);
        return TRUE;

    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSTATIC:
        return ColourDialogPart(message, reinterpret_cast<HDC>(wParam));

    default:
        return FALSE;
    }
}
