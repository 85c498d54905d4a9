// CMessagePrompt: a message with a visible OK button; ENTER and ESC both close it.
#pragma once

#include "prompts/PromptDialog.h"
#include "res/resource.h"

class CMessagePrompt : public CPromptDialog {
public:
    explicit CMessagePrompt(CWnd* pParent = nullptr) : CPromptDialog(IDD_MESSAGE_PROMPT, pParent) {}
};
