// Keeps a test lane's Wine desktop open between programs. Wine ends the desktop process about a second after the
// last program that used it, and every scenario's programs would start it again: two seconds a scenario where Wine
// is emulated. A hidden window of a program that never ends is enough; it never shows and never takes the focus.
#include <windows.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    if (!::CreateWindowExA(0, "STATIC", "kelvo lane desktop", 0, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr))
        return 1;
    MSG message;
    while (::GetMessageA(&message, nullptr, 0, 0) > 0) ::DispatchMessageA(&message);
    return 0;
}
