// Tells the voice changer to transmit or to go silent.
#pragma once

#include <windows.h>

#include <cstdint>

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

// Whether a value of g_talking asks to talk, and the next value after it.
constexpr bool IsOn(uint32_t talk) {
    return (talk & 1) != 0;
}
constexpr uint32_t NextTalk(uint32_t talk, bool on) {
    return (talk | 1) + (on ? 2 : 1);
}
bool IsTalking();

// Returns true when the command went to the target (and the main window was
// told), false when nothing was sent (no change, or no voice changer).
bool SetTalking(bool on);

// Ends any talk without waiting: the relay sends the stop.
void SilenceThroughRelay();

// Ends any talk, and pays a stop owed, with one stop sent at once; false when
// none was sent (nothing to end, or no voice changer).
bool StopTalkingNow();

// Whether the voice changer may not be doing what the user wants.
bool CommandOwed();

// Sends the wish again to the voice changer the presence check saw, unless
// nothing is owed, another command is on its way, or a wait gave up less
// than a second ago. The relay calls it whenever idle, and the exit after it.
void SendOwedCommand();
