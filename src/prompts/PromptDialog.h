// CPromptDialog: what the message prompt and the wait prompt share, the focused read-only message field.
#pragma once

#include "afx/Dialog.h"

class CPromptDialog : public CDialog {
public:
    using CDialog::CDialog;

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnInitDialog() override;

    CEdit m_edit;
};
