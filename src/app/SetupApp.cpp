// The one application object of the setup program.
#include "app/SetupApp.h"

#include "app/SetupDlg.h"

CSetupApp theApp;

// The whole run happens inside the modal main window; returning FALSE ends the application.
BOOL CSetupApp::InitInstance() {
    CSetupDlg dlg;
    m_pMainWnd = &dlg;
    dlg.DoModal();
    m_pMainWnd = nullptr;
    return FALSE;
}
