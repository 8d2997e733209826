#include "bounded_text.h"

#include <cstdarg>
#include <cwchar>

void FormatText(wchar_t* buffer, size_t chars, const wchar_t* format, ...) {
    if (chars == 0) {
        return;
    }
    va_list args;
    va_start(args, format);
    const int written = std::vswprintf(buffer, chars, format, args);
    va_end(args);
    if (written < 0) {
        // Too long: the standard leaves the contents open, so terminate
        // explicitly at the end of the buffer.
        buffer[chars - 1] = L'\0';
    }
}
