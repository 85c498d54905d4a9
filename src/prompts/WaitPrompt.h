// CWaitPrompt: a message without buttons while the wizard waits; ENTER goes on, ESC ends the process.
#pragma once

#include "prompts/PromptDialog.h"
#include "res/resource.h"

class CWaitPrompt : public CPromptDialog {
public:
    explicit CWaitPrompt(CWnd* pParent = nullptr) : CPromptDialog(IDD_WAIT_PROMPT, pParent) {}

protected:
    void OnCancel() override;
};
