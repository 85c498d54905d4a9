// How a flow talks to the user and ends the process; a test puts a recorder in place of the windows.
#pragma once

#include <windows.h>

#include <string>

class PromptHost {
public:
    virtual ~PromptHost() = default;

    // Each shows the prompt text of this moment in its dialog and returns when the dialog closes.
    virtual void ShowMessage() = 0;
    virtual void ShowWait() = 0;
    // Ends the process with the setup's exit code. Only a test's host returns, so flows return after it.
    virtual void EndProcess() = 0;
    // From now on every prompt is spoken by the setup's own voice too, while no screen reader runs: the user has
    // closed the one it listened with at the setup's request.
    virtual void SpeakFromNowOn() {}
    // The next prompt is spoken this much later, when a sound that plays under it has ended.
    virtual void SpeakAfterSound(unsigned ms) { (void)ms; }

    // Sets the prompt text, then shows it.
    void Tell(const std::string& message);
    void Wait(const std::string& message);
    // The last message of a run: tell it, then end the process.
    void TellAndEnd(const std::string& message);
};

// The real host: CMessagePrompt, CWaitPrompt, the setup's own voice and ExitProcess.
PromptHost& WindowPrompts();
