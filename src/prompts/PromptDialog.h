// CPromptDialog: what the message prompt and the wait prompt share, the focused read-only message field.
#pragma once

#include "afx/Dialog.h"

class SetupVoice;

class CPromptDialog : public CDialog {
public:
    using CDialog::CDialog;

    // Closes a prompt with the result its DoModal returns, handing the foreground on to the prompt that follows.
    static void End(HWND prompt, int result);
    // The voice that tells the user where a prompt waits when Windows opened it behind another window; none by
    // default (the prompt's taskbar button flashes all the same).
    void TellWhenBehind(SetupVoice* voice) { m_voice = voice; }

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
    SetupVoice* m_voice = nullptr;
};
