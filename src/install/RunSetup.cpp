// "Begin": the installation sequence. (Being built: it returns at once for now.)
#include "app/SetupDlg.h"

void CSetupDlg::RunSetupVista() {}

void CSetupDlg::RunSetupNt() {}
