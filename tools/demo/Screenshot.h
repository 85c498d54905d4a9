// Screenshots of a window as it shows on the screen, saved as BMP files.
#pragma once

#include <windows.h>

#include <string>

// The window's rectangle of the screen (with whatever covers it); false when it could not be saved.
bool SaveScreenshot(HWND window, const std::string& path);
