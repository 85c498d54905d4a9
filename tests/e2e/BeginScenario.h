// The fixture of the "Begin" scenarios: the sequence's messages, a log of the stand-in driver installer's runs,
// and the prompts taken in turn.
#pragma once

#include "Scenario.h"

namespace begin {
constexpr char kVistaProduct[] = "Windows Vista (TM) Home Premium";
constexpr char kNtConnect[] =
    "Please connect Kelvo braille display to your computer and wait.\r\nPress ESC to quit if you want.";
constexpr char kVistaConnect[] =
    "Please connect Kelvo Braille Display to your computer.\r\nPress ENTER after hearing two beeps from "
    "display.\r\nPress ESC to quit if you want.";
constexpr char kVistaRetry[] = "Please press ENTER to try again.\r\nIf you want to quit,press ESC.";
constexpr char kFinished[] =
    "Congratulations! Kelvo Braille Display setup has been completed successfully !\r\nPlease press ENTER to "
    "finish !";
constexpr char kDriverFailed[] = "Error!Driver failed\r\nPlease press ENTER and Kelvo Setup will be closed!";

inline std::string Announcement(const std::string& port) {
    return "Kelvo Braille Display at " + port + "   \r\nPlease press ENTER to continue";
}
}  // namespace begin

class BeginScenario : public Scenario {
protected:
    void SetUp() override {
        Scenario::SetUp();
        ::SetEnvironmentVariableA("KELVO_SIM_LOG", InstallerLog().c_str());
    }
    void TearDown() override {
        ::SetEnvironmentVariableA("KELVO_SIM_LOG", nullptr);
        Scenario::TearDown();
    }

    // One line per run of the stand-in driver installer: its current folder, a tab, its command line.
    std::string InstallerLog() const { return m_sandbox.Path("installer.log"); }
    std::string InstallerRuns() const { return bench::ReadFileBytes(InstallerLog()); }

    // Starts the wizard and presses "Begin"; `main` is the main setup window.
    void StartAndBegin(bench::Wizard& wizard, bench::Window& main) {
        main = wizard.WaitMain();
        ASSERT_TRUE(main.Exists());
        main.Click(kBegin);
    }

    // The next prompt, answered with ENTER; its text.
    std::string Next(bench::Wizard& wizard) {
        bench::Window prompt = wizard.WaitPrompt(m_previous);
        if (!prompt.Handle()) return "<no prompt>";
        m_previous = prompt.Handle();
        return bench::AnswerEnter(prompt);
    }
    bench::Window NextPrompt(bench::Wizard& wizard) {
        bench::Window prompt = wizard.WaitPrompt(m_previous);
        m_previous = prompt.Handle();
        return prompt;
    }

    HWND m_previous = nullptr;
};
