// Tells the voice changer to transmit or to go silent.
#pragma once

#include <windows.h>

// The voice changer's top-level window, found anew at every command.
constexpr wchar_t TARGET_WINDOW_CLASS[] = L"PELORINVOICECHANGER";
constexpr wchar_t TARGET_WINDOW_TITLE[] = L"Pelorin Voice Changer";

// The talk command is a WM_COPYDATA with wParam 0 and
//   dwData = TALK_COPYDATA_ID (42)
//   cbData = 3
//   lpData = "2|1" (talk) or "2|0" (silence), ASCII, no terminator.
// The reply value is ignored.
constexpr ULONG_PTR TALK_COPYDATA_ID = 42;
constexpr DWORD TALK_COMMAND_BYTES = 3;

// How long one talk command may keep the caller waiting for the target.
constexpr UINT TALK_SEND_TIMEOUT_MS = 1500;

// Returns true when the command went to the target (and the main window was
// told), false when nothing was sent. A command that the target was not seen
// to handle is owed (g_startOwed, g_stopOwed) until one is handled.
bool SetTalking(bool on);

// Whether a command is owed for the present talk state: a start while the
// user talks, a stop while silent.
bool CommandOwed();

// Sends the owed command again; the talk state and the window stay as they
// are. Only the relay thread and the teardown after it call this, so that no
// owed stop can land behind a hotkey start sent after it.
void SendOwedCommand();

// Ends any talk, and pays a stop owed, with one stop; false when none was
// sent (nothing to end, or no voice changer).
bool StopTalkingNow();
