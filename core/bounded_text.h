// printf-style formatting into a fixed wide buffer that can never overflow.
#pragma once

#include <cstddef>
#include <cwchar>

// Formats into buffer, terminator included. Text that does not fit is cut
// short and the buffer always ends up terminated (the standard leaves the
// contents open after an overflow, so the end is terminated explicitly).
template <size_t N, typename... Args>
void FormatText(wchar_t (&buffer)[N], const wchar_t* format, Args... args) {
    static_assert(N > 0, "no room for the terminator");
    if (std::swprintf(buffer, N, format, args...) < 0) {
        buffer[N - 1] = L'\0';
    }
}
