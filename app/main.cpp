// Entry point: start-up, the one message loop, and teardown.
#include <windows.h>

#include "app/main_window.h"
#include "core/input_hooks.h"
#include "core/shared_state.h"
#include "core/talk_switch.h"
#include "res/resource.h"

namespace {

// A stop still owed at exit is sent again this often, for at most this long.
constexpr DWORD EXIT_STOP_RETRY_MS = 250;
constexpr ULONGLONG EXIT_STOP_GIVE_UP_MS = 10000;

// A second copy would hook the same hotkey and send every command twice, and
// its owed stops would cut the first copy's talks short: it shows the first.
void BringFirstCopyToFront() {
    HWND first = FindWindowW(L"#32770", MAIN_WINDOW_CAPTION);
    if (first) {
        if (IsIconic(first)) {
            ShowWindow(first, SW_RESTORE);
        }
        SetForegroundWindow(first);
    }
}

// A copy started after this one's window went shows its own; from then on it
// silences the voice changer itself, and a stop from here could land behind
// its first start.
bool NewCopyShows() {
    return FindWindowW(L"#32770", MAIN_WINDOW_CAPTION) != nullptr;
}

} // namespace

// The entry point's signature is fixed; the command line cannot be made const.
// cppcheck-suppress constParameter
int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR commandLine, int showCommand) {
    // Held while this copy runs, the mutex marks the one copy of this session.
    HANDLE oneCopy = CreateMutexW(nullptr, FALSE, L"Local\\Vorrel for Pelorin, one copy");
    const DWORD error = GetLastError();
    // A copy running with higher rights holds a mutex this one may not open.
    if (error == ERROR_ALREADY_EXISTS || (!oneCopy && error == ERROR_ACCESS_DENIED)) {
        if (oneCopy) {
            CloseHandle(oneCopy);
        }
        BringFirstCopyToFront();
        return 0;
    }
    // Any argument at all asks for the system's colours.
    g_plainLook = commandLine && commandLine[0] != L'\0';
    g_hInstance = instance;
    g_onImage = LoadBitmapW(instance, MAKEINTRESOURCEW(IDB_ON));
    g_offImage = LoadBitmapW(instance, MAKEINTRESOURCEW(IDB_OFF));

    HWND mainDlg =
        CreateDialogParamW(instance, MAKEINTRESOURCEW(IDD_MAIN), nullptr, MainDlgProc, 0);
    if (!mainDlg) {
        CloseHandle(oneCopy);
        return 0;
    }
    ShowWindow(mainDlg, showCommand);

    // Hooks go in only once the window is up: their procedures run on this
    // thread and need the loop below to be called at all.
    InstallInputHooks();

    MSG message = {};
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        if (!IsDialogMessageW(mainDlg, &message)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }

    // With the window gone, a copy started now must show: it silences the
    // voice changer itself as it finds it, and no stop below goes out once
    // its window is there.
    CloseHandle(oneCopy);
    // Only once nothing else can send a command does the last stop go out;
    // otherwise a press still in the relay's hands could follow it.
    RemoveInputHooks();
    // Leaving while talking, or with a stop not seen to arrive, would keep the
    // user's microphone open with nothing left to close it. A busy voice
    // changer takes back a stop it had not begun to handle, so keep at it.
    if (!NewCopyShows()) {
        StopTalkingNow();
        const ULONGLONG giveUp = GetTickCount64() + EXIT_STOP_GIVE_UP_MS;
        while (CommandOwed() && GetTickCount64() < giveUp) {
            Sleep(EXIT_STOP_RETRY_MS);
            if (NewCopyShows()) {
                break;
            }
            SendOwedCommand();
        }
    }
    if (g_onImage) {
        DeleteObject(g_onImage);
    }
    if (g_offImage) {
        DeleteObject(g_offImage);
    }
    return static_cast<int>(message.wParam);
}
