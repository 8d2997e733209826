// Process-wide state shared by the hooks, the relay and monitor threads and
// the two windows, plus the private window messages they exchange.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>

// Hotkey codes: virtual-key codes up to and including 300, X buttons as
// 300 + button number, the middle button as 500.
constexpr uint32_t HOTKEY_XBUTTON_BASE = 300;
constexpr uint32_t HOTKEY_MIDDLE_BUTTON = 500;
constexpr uint32_t HOTKEY_INITIAL = VK_F12;

constexpr int HOTKEY_NAME_CHARS = 100;
constexpr int WINDOW_TEXT_CHARS = 1024;

// Values of g_pendingEvent.
constexpr int32_t PENDING_NONE = 0;
constexpr int32_t PENDING_PRESSED = 1;
constexpr int32_t PENDING_RELEASED = 2;

// Private messages, all with wParam 0.
constexpr UINT WM_CHECK_TARGET = WM_USER + 100;   // monitor -> main window
constexpr UINT WM_TALK_STARTED = WM_USER + 101;   // SetTalking -> main window
constexpr UINT WM_TALK_STOPPED = WM_USER + 102;   // SetTalking -> main window
constexpr UINT WM_HOTKEY_APPLIED = WM_USER + 110; // selection window -> main window
constexpr UINT WM_INPUT_RELEASED = WM_USER + 200; // hooks -> selection window, lParam = code

constexpr COLORREF BACKGROUND_COLOUR = RGB(62, 115, 186);

extern HINSTANCE g_hInstance;
extern bool g_plainLook;
extern HBITMAP g_onImage;
extern HBITMAP g_offImage;
extern HBRUSH g_bgBrush;
extern HWND g_offStatic;
extern HWND g_hotkeyDlg;
extern HHOOK g_keyboardHook;
extern HHOOK g_mouseHook;
extern uint32_t g_hotkey;
extern uint32_t g_pendingHotkey;
extern wchar_t g_hotkeyName[HOTKEY_NAME_CHARS];
extern int32_t g_indicatorOn;
extern bool g_warningBlink;

// What the hooks saw, for finding input they missed (GUI thread only): the
// hotkey they saw go down and not yet up (0 when none) and when they last saw
// it go down, and the time stamp of the last event each hook saw.
extern uint32_t g_heldHotkey;
extern DWORD g_heldHotkeyTime;
// A presence check has read the held hotkey down during this hold.
extern bool g_heldHotkeyReadDown;
extern DWORD g_keyboardHookTime;
extern DWORD g_mouseHookTime;

// The only cells touched by more than one thread.
extern std::atomic<HWND> g_mainDlg;
extern std::atomic<int32_t> g_pendingEvent;
extern std::atomic<bool> g_talking;
extern std::atomic<bool> g_targetSeen;
// A start or a stop went out whose outcome is unknown (the wait for it gave
// up): while the talk state still asks for it, the relay sends it again until
// one is handled, or the voice changer is gone.
extern std::atomic<bool> g_startOwed;
extern std::atomic<bool> g_stopOwed;
