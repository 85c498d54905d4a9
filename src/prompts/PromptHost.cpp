// The prompt host of the running program, and the prompt-text convenience every flow uses.
#include "prompts/PromptHost.h"

#include <windows.h>

#include "prompts/ExitCode.h"
#include "prompts/MessagePrompt.h"
#include "prompts/PromptText.h"
#include "prompts/SetupVoice.h"
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
    WindowPromptHost() {
        m_message.TellWhenBehind(&m_voice);
        m_wait.TellWhenBehind(&m_voice);
    }
    void ShowMessage() override { Show(m_message); }
    void ShowWait() override { Show(m_wait); }
    void EndProcess() override { ::ExitProcess(kSetupExitCode); }
    void SpeakFromNowOn() override { m_voice.SpeakFromNowOn(); }
    void SpeakAfterSound(unsigned ms) override { m_voice.DelayNext(ms); }

private:
    // The voice starts as the prompt opens and stops as it closes, as a screen reader follows the focus.
    void Show(CPromptDialog& prompt) {
        m_voice.Say(PromptText());
        prompt.DoModal();
        m_voice.Silence();
    }

    CMessagePrompt m_message;
    CWaitPrompt m_wait;
    SetupVoice m_voice;
};
}  // namespace

PromptHost& WindowPrompts() {
    static WindowPromptHost host;
    return host;
}
