// What a run found: the Windows it ran on, its screen reader and a line per scenario, as report.txt and as JUnit XML
// (report.xml).
#pragma once

#include <string>
#include <vector>

#include "ScenarioProcess.h"

namespace kit {

// "Microsoft Windows 7 Professional, version 6.1 build 7601, 64-bit, ANSI code page 1252, elevated" (and the Wine
// version where Wine runs it). Read before any scenario changes the product name.
std::string DescribeWindows(bool elevated);

// A scenario's line, in report.txt as on the console: "skipped  Suite.Scenario  0.1 s  its reason".
std::string Line(const Outcome& outcome);

// "N passed, M failed, K skipped": the closing line of the run.
std::string Tally(const std::vector<Outcome>& outcomes);

// Both reports into `folder`: first the Windows, then the screen reader's lines; the text ends with the tally. False
// when one could not be written.
bool WriteReports(const std::wstring& folder, const std::string& windows, const std::vector<std::string>& screenReader,
                  const std::vector<Outcome>& outcomes);

}  // namespace kit
