// Entry point: start-up, the one message loop, and teardown.
#include <windows.h>

#include "app/main_window.h"
#include "core/input_hooks.h"
#include "core/shared_state.h"
#include "core/talk_switch.h"
#include "res/resource.h"

// The entry point's signature is fixed; the command line cannot be made const.
// cppcheck-suppress constParameter
int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR commandLine, int showCommand) {
    // Any argument at all asks for the system's colours.
    g_plainLook = commandLine && commandLine[0] != L'\0';
    g_hInstance = instance;
    g_onImage = LoadBitmapW(instance, MAKEINTRESOURCEW(IDB_ON));
    g_offImage = LoadBitmapW(instance, MAKEINTRESOURCEW(IDB_OFF));

    HWND mainDlg =
        CreateDialogParamW(instance, MAKEINTRESOURCEW(IDD_MAIN), nullptr, MainDlgProc, 0);
    if (!mainDlg) {
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

    // Only once nothing else can send a command does the last stop go out;
    // otherwise a press still in the relay's hands could follow it.
    RemoveInputHooks();
    // Leaving while talking, or with a stop not seen to arrive, would keep the
    // user's microphone open with nothing left to close it.
    if (g_talking.load() || g_stopOwed.load()) {
        g_talking.store(true);
        SetTalking(false);
    }
    if (g_onImage) {
        DeleteObject(g_onImage);
    }
    if (g_offImage) {
        DeleteObject(g_offImage);
    }
    return static_cast<int>(message.wParam);
}
