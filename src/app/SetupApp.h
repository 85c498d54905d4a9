// CSetupApp: the application object; it runs the main setup window.
#pragma once

#include "afx/App.h"

class CSetupApp : public CWinApp {
public:
    BOOL InitInstance() override;
};
