// CAboutDlg: the About dialog opened from the system menu.
#pragma once

#include "afx/Dialog.h"
#include "res/resource.h"

class CAboutDlg : public CDialog {
public:
    CAboutDlg() : CDialog(IDD_ABOUTBOX) {}
};
