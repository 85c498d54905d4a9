// CPromptDialog: what the message prompt and the wait prompt share, the focused read-only message field.
#pragma once

#include "afx/Dialog.h"

class CPromptDialog : public CDialog {
public:
    using CDialog::CDialog;

    // Closes a prompt with the result its DoModal returns, handing the foreground on to the prompt that follows.
    static void End(HWND prompt, int result);
    // The window (the main setup window) to hide once this prompt is up; none by default.
    void HideOnceShown(HWND window) { m_hideOnceShown = window; }

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnInitDialog() override;
    void OnOK() override;
    void OnCancel() override;
    MessageMap GetMessageMap() const override;

    CEdit m_edit;

private:
    static void HoldForeground(HWND prompt);
    void OnShowWindow(UINT shown);
    void OnShown();

    static const MessageMapEntry kMessageMap[];
    HWND m_hideOnceShown = nullptr;
};
