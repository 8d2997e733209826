// Display names of hotkey codes.
#pragma once

#include "core/shared_state.h"

#include <cstdint>

// The keyboard layout's name for a virtual-key code; false when the layout
// has none (the key cannot be chosen then).
bool KeyboardHotkeyName(uint32_t virtualKey, wchar_t (&name)[HOTKEY_NAME_CHARS]);

// "MiddleMouseButton" for 500, "XMouseButton <n>" for 300 + n.
void MouseHotkeyName(uint32_t code, wchar_t (&name)[HOTKEY_NAME_CHARS]);
