// Each scenario of the end-to-end program as a process of its own, with a time limit, as CTest runs it.
#pragma once

#include <string>
#include <vector>

namespace kit {

struct Outcome {
    std::string name;     // Suite.Scenario
    bool passed = false;  // a skipped scenario has not passed
    double seconds = 0;
    std::string message;  // for a failure: its first message
    std::string output;   // for a failure: all the scenario wrote
};

// The scenarios of `program` that `filter` selects (a GoogleTest filter; empty for all); empty on failure.
std::vector<std::string> ListScenarios(const std::string& program, const std::string& filter);

// Runs one scenario; its whole output goes to `log`. Past `limitSeconds` the scenario and every process it started
// are ended, and it fails.
Outcome RunScenario(const std::string& program, const std::string& name, const std::string& log, unsigned limitSeconds);

}  // namespace kit
