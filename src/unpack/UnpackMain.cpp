// The one-file program's entry: hardened first; then the payload checked, unpacked into a protected folder, the setup
// run from there and its exit code handed back, the folder removed. No window of its own but a failure's message.
#include <windows.h>

#include <string>

#include "afx/ProcessHardening.h"
#include "unpack/Cabinet.h"
#include "unpack/Payload.h"
#include "unpack/ProtectedFolder.h"
#include "unpack/SetupProcess.h"
#include "unpack/SystemCrypto.h"

namespace {
const wchar_t kTitle[] = L"Kelvo Braille display setup";
const wchar_t kSetupName[] = L"Kelvo Braille display setup.exe";
const wchar_t kDamaged[] = L"The setup file is damaged or incomplete. Please download it again.";
const wchar_t kNoTempFolder[] = L"The setup cannot be unpacked: Windows' temporary folder %1 is missing.";
const wchar_t kNoRoom[] =
    L"The setup cannot be unpacked: there is not enough free space on the disk of %1. Please free some space and run "
    L"it again.";
const wchar_t kCannotUnpack[] = L"The setup cannot be unpacked into %1: %2";
const wchar_t kCannotStart[] = L"The setup cannot be started: %2";
constexpr int kFailed = 1;

// The message with the folder as %1 and Windows' own words for the error as %2.
int Fail(const wchar_t* message, const std::wstring& folder, DWORD error) {
    wchar_t* cause = nullptr;
    ::FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                     nullptr, error, 0, reinterpret_cast<LPWSTR>(&cause), 0, nullptr);
    DWORD_PTR inserts[] = {reinterpret_cast<DWORD_PTR>(folder.c_str()),
                           reinterpret_cast<DWORD_PTR>(cause ? cause : L"")};
    wchar_t* text = nullptr;
    ::FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_STRING | FORMAT_MESSAGE_ARGUMENT_ARRAY,
                     message, 0, 0, reinterpret_cast<LPWSTR>(&text), 0, reinterpret_cast<va_list*>(inserts));
    ::MessageBoxW(nullptr, text ? text : message, kTitle, MB_OK | MB_ICONERROR | MB_SETFOREGROUND);
    ::LocalFree(text);
    ::LocalFree(cause);
    return kFailed;
}

int Unpack() {
    CSystemCrypto crypto;
    Payload payload;
    if (!FindPayload(::GetModuleHandleW(nullptr), &payload) || !crypto.Ready() || !PayloadIntact(crypto, payload)) {
        return Fail(kDamaged, L"", ERROR_SUCCESS);
    }
    std::wstring folder;
    FolderFailure failure = FolderFailure::None;
    DWORD error = ERROR_SUCCESS;
    if (!MakeProtectedFolder(crypto, &folder, &failure, &error)) {
        return Fail(failure == FolderFailure::NoTempFolder ? kNoTempFolder : kCannotUnpack, folder, error);
    }
    if (!ExtractCabinet(payload.data, payload.size, folder, &error)) {
        RemoveFolder(folder);
        bool full = error == ERROR_DISK_FULL || error == ERROR_HANDLE_DISK_FULL;
        return Fail(error == ERROR_INVALID_DATA ? kDamaged : full ? kNoRoom : kCannotUnpack, folder, error);
    }
    DWORD exitCode = kFailed;
    bool ran = RunSetup(folder + L"\\" + kSetupName, folder, &exitCode, &error);
    RemoveFolder(folder);
    return ran ? static_cast<int>(exitCode) : Fail(kCannotStart, folder, error);
}
}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    HardenProcess();
    return Unpack();
}
