// Window-Eyes detection and configuration. (Being built.)
#include "app/SetupDlg.h"

bool CSetupDlg::DetectWindowEyes(std::string&, std::string&) { return false; }

void CSetupDlg::UpdateWindowEyes(const std::string&, const std::string&, const std::string&, Family) {}
