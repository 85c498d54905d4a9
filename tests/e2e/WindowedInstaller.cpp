// A driver installer with a window of its own, as a vendor's is: it asks the user to confirm, and ends on ENTER.
// The scenarios put it in the place of the shipped installer, which has no window.
#include <windows.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    ::MessageBoxA(nullptr, "The display's driver is ready to install.", "Kelvo driver installer", MB_OK);
    return 0;
}
