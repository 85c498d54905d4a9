// The program's entry: the application object does everything in InitInstance.
#include "afx/App.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    CWinApp* app = AfxGetApp();
    if (app) app->InitInstance();
    return 0;
}
