// What a run found: the Windows it ran on and a line per scenario, as report.txt and as JUnit XML (report.xml).
#pragma once

#include <string>
#include <vector>

#include "ScenarioProcess.h"

namespace kit {

// "Microsoft Windows 7 Professional, version 6.1 build 7601, 64-bit, ANSI code page 1252, elevated" (and the Wine
// version where Wine runs it). Read before any scenario changes the product name.
std::string DescribeWindows(bool elevated);

// Both reports into `folder`; the text ends with the line "N passed, M failed". False when one could not be written.
bool WriteReports(const std::wstring& folder, const std::string& windows, const std::vector<Outcome>& outcomes);

}  // namespace kit
