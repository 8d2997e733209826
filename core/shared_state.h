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
// hotkey they saw go down and not yet up (0 when none) and the time stamp of
// the last event each hook saw.
extern uint32_t g_heldHotkey;
// The key state may end this hold: a check read it down, its hook was found
// dead and put back, or the window in front hid input from the hooks.
extern bool g_keyStateEndsHold;
extern DWORD g_keyboardHookTime;
extern DWORD g_mouseHookTime;

// The only cells touched by more than one thread.
extern std::atomic<HWND> g_mainDlg;
extern std::atomic<int32_t> g_pendingEvent;
// The voice changer window the presence check last saw, null while none.
extern std::atomic<HWND> g_targetSeen;

// The talk as the user wants it (g_talking) and the last such value whose
// command the voice changer handled with no other command beside it
// (g_talkHandled). Each is a version, bumped at every change, times two, plus
// 1 while talking. The invariant, kept by core/talk_switch.cpp: the two
// differ whenever the voice changer may not be doing what the user wants,
// and while they differ the relay sends the wish again once nothing else is
// on its way (a second after a wait that gave up). Only the thread whose
// command was handled alone marks its own version paid, so no thread marks
// paid a debt it did not pay, and a newer wish is never paid by an older
// command.
extern std::atomic<uint32_t> g_talking;
extern std::atomic<uint32_t> g_talkHandled;
