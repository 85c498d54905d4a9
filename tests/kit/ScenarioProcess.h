// Each scenario of the end-to-end program as a process of its own, with a time limit: on a tester's PC, one scenario's
// crash or leftover window never reaches the next.
#pragma once

#include <string>
#include <vector>

namespace kit {

// A scenario that GTEST_SKIP ended (its body found nothing to check on this PC) neither passed nor failed.
enum class Verdict { failed, passed, skipped };

struct Outcome {
    std::string name;  // Suite.Scenario
    Verdict verdict = Verdict::failed;
    double seconds = 0;
    std::string message;  // for a failure: its first message; for a skip: its reason
    std::string output;   // for a failure: all the scenario wrote
};

// The scenarios of `program` that `filter` selects (a GoogleTest filter; empty for all); empty on failure.
std::vector<std::string> ListScenarios(const std::wstring& program, const std::string& filter);

// Runs one scenario; its whole output goes to `log`. Past `limitSeconds` the scenario and every process it started
// are ended, and it fails. They end with this program too, however it ends.
Outcome RunScenario(const std::wstring& program, const std::string& name, const std::wstring& log,
                    unsigned limitSeconds);

// Ends the scenario under way and everything it started (CTRL+C, the console window closed).
void EndRunningScenario();

// Ends what a killed run left running: the end-to-end program and its helpers, every program started from one of
// `folders`, and what they started. The number of processes ended.
int EndLeftovers(const std::vector<std::string>& folders);

}  // namespace kit
