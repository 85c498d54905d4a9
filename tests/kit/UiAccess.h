// Whether this PC's Window-Eyes can read the elevated setup at all: what the manifests of its programs request.
#pragma once

#include <string>
#include <vector>

namespace kit {

// The report's lines on it: "Screen reader: no Window-Eyes installed", or the folder that Window-Eyes' registry Path
// names (in either registry view) with how many of its programs request uiAccess="true", then a line for each
// program there. Read before any scenario replaces Window-Eyes' key.
std::vector<std::string> DescribeWindowEyesAccess();

}  // namespace kit
