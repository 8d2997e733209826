#include "shared_state.h"

HINSTANCE g_hInstance = nullptr;
bool g_plainLook = false;
HBITMAP g_onImage = nullptr;
HBITMAP g_offImage = nullptr;
HBRUSH g_bgBrush = nullptr;
HWND g_offStatic = nullptr;
HWND g_hotkeyDlg = nullptr;
HHOOK g_keyboardHook = nullptr;
HHOOK g_mouseHook = nullptr;
uint32_t g_hotkey = HOTKEY_INITIAL;
uint32_t g_pendingHotkey = HOTKEY_INITIAL;
wchar_t g_hotkeyName[HOTKEY_NAME_CHARS] = L"F12";
int32_t g_indicatorOn = 0;
bool g_warningBlink = true;
uint32_t g_heldHotkey = 0;
bool g_keyStateEndsHold = false;
DWORD g_keyboardHookTime = 0;
DWORD g_mouseHookTime = 0;

std::atomic<HWND> g_mainDlg{nullptr};
std::atomic<int32_t> g_pendingEvent{PENDING_NONE};
std::atomic<HWND> g_targetSeen{nullptr};
std::atomic<uint32_t> g_talking{0};
std::atomic<uint32_t> g_talkHandled{0};
