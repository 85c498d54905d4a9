// The message field of a prompt: it shows the prompt text and holds the focus, so a screen reader speaks it.
#include "prompts/PromptDialog.h"

#include "prompts/PromptText.h"
#include "res/resource.h"

void CPromptDialog::DoDataExchange(CDataExchange* pDX) { DDX_Control(pDX, IDC_MESSAGE, m_edit); }

// Returning TRUE lets the dialog manager focus the first tab stop, the field, which also selects the whole text.
BOOL CPromptDialog::OnInitDialog() {
    CDialog::OnInitDialog();
    m_edit.SetWindowText(PromptText().c_str());
    m_edit.SetFocus();
    return TRUE;
}
