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
    g_targetSeen.store(nullptr);
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
        g_targetSeen.store(nullptr);
        if (warning) {
            ShowWindow(warning, g_warningBlink ? SW_SHOW : SW_HIDE);
        }
        g_warningBlink = !g_warningBlink;
        return;
    }
    // Another window than the one last seen is a voice changer that started
    // since, even between two checks.
    if (g_targetSeen.exchange(target) == target) {
        return;
    }

    // Whatever it was doing, both sides now start out silent. The relay sends
    // the stop, so that a check nested in a wait never waits again.
    g_indicatorOn = 0;
    ShowWindow(g_offStatic, SW_SHOW);
    SilenceThroughRelay();
    if (warning) {
        ShowWindow(warning, SW_HIDE);
    }
}
