// printf-style formatting into a fixed wide buffer that can never overflow.
#pragma once

#include <cstddef>

// Formats into buffer (chars wide characters, terminator included). Text that
// does not fit is cut short; the buffer always ends up terminated.
void FormatText(wchar_t* buffer, size_t chars, const wchar_t* format, ...);

template <size_t N, typename... Args>
void FormatText(wchar_t (&buffer)[N], const wchar_t* format, Args... args) {
    FormatText(static_cast<wchar_t*>(buffer), N, format, args...);
}
