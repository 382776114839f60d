#pragma once
// printf-style formatting into a string of any length.

#include <cstdarg>
#include <string>

#define DL_PRINTF(fmt_index, first_arg) __attribute__((format(printf, fmt_index, first_arg)))

std::string FormatV(const char* format, va_list args);
std::string Format(const char* format, ...) DL_PRINTF(1, 2);
// The local time now, through strftime.
std::string LocalTimeText(const char* strftimeFormat);
