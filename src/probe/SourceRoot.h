// Files that ship beside the program, addressed from the drive and folder of the program's own file.
#pragma once

#include <string>

// Fills a pattern such as "%s%supdate\\chimes.wav" with the drive, then the folder (which ends in a backslash).
std::string SourcePath(const char* pattern);
