// The prompt host of the running program, and the prompt-text convenience every flow uses.
#include "prompts/PromptHost.h"

#include <windows.h>

#include "prompts/ExitCode.h"
#include "prompts/MessagePrompt.h"
#include "prompts/PromptText.h"
#include "prompts/WaitPrompt.h"

void PromptHost::Tell(const std::string& message) {
    PromptText() = message;
    ShowMessage();
}

void PromptHost::Wait(const std::string& message) {
    PromptText() = message;
    ShowWait();
}

void PromptHost::TellAndEnd(const std::string& message) {
    Tell(message);
    EndProcess();
}

namespace {
class WindowPromptHost : public PromptHost {
public:
    void ShowMessage() override { m_message.DoModal(); }
    void ShowWait() override { m_wait.DoModal(); }
    void EndProcess() override { ::ExitProcess(kSetupExitCode); }

private:
    CMessagePrompt m_message;
    CWaitPrompt m_wait;
};
}  // namespace

PromptHost& WindowPrompts() {
    static WindowPromptHost host;
    return host;
}
