// Formatting of the program's texts, as CString::Format does it.
#pragma once

#include <string>

std::string FormatText(const char* format, ...) __attribute__((format(printf, 1, 2)));
