#pragma once
#include <cstdarg>
#include <string>

// printf-style formatting into a string as long as the text needs: a reason or a path is never
// cut short by a buffer of some size chosen by hand.
std::string FormattedText(const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 1, 2)))
#endif
    ;
std::string FormattedTextV(const char* format, va_list arguments);
