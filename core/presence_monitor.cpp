#include "presence_monitor.h"

#include "res/resource.h"
#include "shared_state.h"
#include "talk_switch.h"

namespace {
constexpr DWORD MONITOR_NAP_MS = 100;
constexpr int MONITOR_NAPS_PER_CHECK = 10;
} // namespace

DWORD WINAPI MonitorThreadProc(LPVOID) {
    // Ends with the window it serves, even if another takes its place.
    HWND mainDlg = g_mainDlg.load();
    g_targetSeen.store(false);
    for (;;) {
        // The check itself runs on the GUI thread, which owns every window it touches.
        SendMessageW(mainDlg, WM_CHECK_TARGET, 0, 0);
        // Short naps so that the thread notices the window's end promptly.
        for (int nap = 0; nap < MONITOR_NAPS_PER_CHECK; ++nap) {
            Sleep(MONITOR_NAP_MS);
            if (g_mainDlg.load() != mainDlg) {
                return 0;
            }
        }
    }
}

void CheckTargetPresence(HWND mainDlg) {
    HWND warning = GetDlgItem(mainDlg, IDC_STATIC);
    HWND target = FindWindowW(TARGET_WINDOW_CLASS, TARGET_WINDOW_TITLE);

    if (!target) {
        g_targetSeen.store(false);
        // Nothing is owed to a voice changer that is gone: one that comes
        // back is silenced as it appears.
        g_startOwed.store(false);
        g_stopOwed.store(false);
        if (warning) {
            ShowWindow(warning, g_warningBlink ? SW_SHOW : SW_HIDE);
        }
        g_warningBlink = !g_warningBlink;
        return;
    }
    if (g_targetSeen.load()) {
        return;
    }

    // Just appeared: whatever it was doing, both sides now start out silent.
    g_indicatorOn = 0;
    ShowWindow(g_offStatic, SW_SHOW);
    g_talking.store(true); // forces the stop below to be sent
    SetTalking(false);
    g_targetSeen.store(true);
    if (warning) {
        ShowWindow(warning, SW_HIDE);
    }
}
