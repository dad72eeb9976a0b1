#pragma once
// printf-style formatting into a std::string, checked by the compiler.

#include <string>

std::string FormatText(const char* format, ...) __attribute__((format(printf, 1, 2)));
