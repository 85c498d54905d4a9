// The program's entry: the process is hardened first, then the application object does everything in InitInstance.
#include "afx/App.h"
#include "afx/ProcessHardening.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    HardenProcess();
    CWinApp* app = AfxGetApp();
    if (app) app->InitInstance();
    return 0;
}
