// How a flow talks to the user and ends the process; a test puts a recorder in place of the windows.
#pragma once

#include <string>

class PromptHost {
public:
    virtual ~PromptHost() = default;

    // Each shows the prompt text of this moment in its dialog and returns when the dialog closes.
    virtual void ShowMessage() = 0;
    virtual void ShowWait() = 0;
    // Ends the process with the setup's exit code. Only a test's host returns, so flows return after it.
    virtual void EndProcess() = 0;

    // Sets the prompt text, then shows it.
    void Tell(const std::string& message);
    void Wait(const std::string& message);
    // The last message of a run: tell it, then end the process.
    void TellAndEnd(const std::string& message);
};

// The real host: CMessagePrompt, CWaitPrompt and ExitProcess.
PromptHost& WindowPrompts();
