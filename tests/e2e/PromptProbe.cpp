// A bench program that shows the setup's prompt dialogs with texts from its command line, so that the
// prompts can be tested without a flow. Exits with the result of the last prompt it showed.
#include <windows.h>

#include <shellapi.h>

#include <string>

#include "prompts/MessagePrompt.h"
#include "prompts/PromptText.h"
#include "prompts/WaitPrompt.h"

namespace {
std::string Narrow(const wchar_t* text) {
    char buffer[4096] = "";
    ::WideCharToMultiByte(CP_ACP, 0, text, -1, buffer, sizeof buffer, nullptr, nullptr);
    std::string result;
    for (const char* c = buffer; *c; ++c) {
        if (*c == '|') {
            result += "\r\n";
        } else {
            result += *c;
        }
    }
    return result;
}
}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    int count = 0;
    wchar_t** args = ::CommandLineToArgvW(::GetCommandLineW(), &count);
    CMessagePrompt message;
    CWaitPrompt wait;
    INT_PTR result = 0;
    for (int i = 1; i + 1 < count; i += 2) {
        PromptText() = Narrow(args[i + 1]);
        result = std::wstring(args[i]) == L"wait" ? wait.DoModal() : message.DoModal();
    }
    return static_cast<int>(result);
}
