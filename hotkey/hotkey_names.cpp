#include "hotkey_names.h"

#include "core/bounded_text.h"

namespace {

// These keys share their scan code with a numeric-pad key (or, for the
// divide and Num Lock keys, with the main slash and Pause); without the
// extended bit the layout would name the other key.
bool NeedsExtendedBit(uint32_t virtualKey) {
    return (virtualKey >= VK_PRIOR && virtualKey <= VK_DOWN) || virtualKey == VK_INSERT ||
           virtualKey == VK_DELETE || virtualKey == VK_DIVIDE || virtualKey == VK_NUMLOCK;
}

} // namespace

bool KeyboardHotkeyName(uint32_t virtualKey, wchar_t (&name)[HOTKEY_NAME_CHARS]) {
    UINT scanCode = MapVirtualKeyW(virtualKey, MAPVK_VK_TO_VSC);
    if (NeedsExtendedBit(virtualKey)) {
        scanCode |= 0x100;
    }
    const LONG keyMessageParam = static_cast<LONG>(scanCode) << 16;
    wchar_t found[HOTKEY_NAME_CHARS] = L"";
    if (GetKeyNameTextW(keyMessageParam, found, HOTKEY_NAME_CHARS) == 0) {
        return false;
    }
    FormatText(name, L"%ls", found);
    return true;
}

void MouseHotkeyName(uint32_t code, wchar_t (&name)[HOTKEY_NAME_CHARS]) {
    if (code == HOTKEY_MIDDLE_BUTTON) {
        FormatText(name, L"MiddleMouseButton");
    } else {
        FormatText(name, L"XMouseButton %d", static_cast<int>(code - HOTKEY_XBUTTON_BASE));
    }
}
