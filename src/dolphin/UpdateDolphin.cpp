// The Dolphin update. (Being built: it finds no Dolphin for now.)
#include "app/SetupDlg.h"

void CSetupDlg::UpdateDolphinNt() {}

void CSetupDlg::UpdateDolphinVista() {}
