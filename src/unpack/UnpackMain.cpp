// The one-file program's entry: hardened first; then the payload copied into its own memory and checked there, every
// name in it checked, the payload unpacked into a protected folder held by the program, the setup's whole tree run
// from there and the setup's exit code handed back, the folder removed. No window of its own but a failure's message.
//
// It links no C runtime start-up and no C++ library: its entry is OneFileStart, it calls Windows and a few functions
// of msvcrt.dll that the compiler may call for copies (memcpy, memset), and nothing throws.
#include <windows.h>

#include "afx/ProcessHardening.h"
#include "unpack/Cabinet.h"
#include "unpack/Payload.h"
#include "unpack/ProtectedFolder.h"
#include "unpack/SetupProcess.h"
#include "unpack/SystemCrypto.h"

namespace {
const wchar_t kTitle[] = L"Kelvo Braille display setup";
const wchar_t kSetupName[] = L"\\Kelvo Braille display setup.exe";
const wchar_t kDamaged[] = L"The setup file is damaged or incomplete. Please download it again.";
const wchar_t kNoTempFolder[] = L"The setup cannot be unpacked: Windows' temporary folder %1 is missing.";
const wchar_t kNoPermissions[] =
    L"The setup cannot be unpacked: Windows' temporary folder %1 lies on a disk that keeps no permissions (such as "
    L"FAT or exFAT), where the unpacked setup could not be kept from other programs.";
const wchar_t kNoRoom[] =
    L"The setup cannot be unpacked: there is not enough free space on the disk of %1. Please free some space and run "
    L"it again.";
const wchar_t kCannotUnpack[] = L"The setup cannot be unpacked into %1: %2";
const wchar_t kCannotRead[] = L"The setup cannot be unpacked: %2";
const wchar_t kCannotStart[] = L"The setup cannot be started: %2";
constexpr int kFailed = 1;

// The message with the folder as %1 and Windows' own words for the error as %2.
int Fail(const wchar_t* message, const wchar_t* folder, DWORD error) {
    wchar_t* cause = nullptr;
    ::FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                     nullptr, error, 0, reinterpret_cast<LPWSTR>(&cause), 0, nullptr);
    DWORD_PTR inserts[] = {reinterpret_cast<DWORD_PTR>(folder), reinterpret_cast<DWORD_PTR>(cause ? cause : L"")};
    wchar_t* text = nullptr;
    ::FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_STRING | FORMAT_MESSAGE_ARGUMENT_ARRAY,
                     message, 0, 0, reinterpret_cast<LPWSTR>(&text), 0, reinterpret_cast<va_list*>(inserts));
    ::MessageBoxW(nullptr, text ? text : message, kTitle, MB_OK | MB_ICONERROR | MB_SETFOREGROUND);
    ::LocalFree(text);
    ::LocalFree(cause);
    return kFailed;
}

int Unpack(const Payload& payload) {
    // Whole, and every name a file below the folder: checked before anything is written, the folder included. A PC
    // that cannot read a cabinet is told so, not that the download is damaged.
    DWORD error = ERROR_SUCCESS;
    if (!PayloadIntact(payload)) return Fail(kDamaged, L"", error);
    if (!CabinetNamesSafe(payload.data, payload.size, &error)) {
        return Fail(error == ERROR_INVALID_DATA ? kDamaged : kCannotRead, L"", error);
    }
    CSystemCrypto crypto;
    UnpackFolder folder;
    FolderFailure failure = FolderFailure::None;
    if (!MakeProtectedFolder(crypto, &folder, &failure, &error)) {
        return Fail(failure == FolderFailure::NoTempFolder    ? kNoTempFolder
                    : failure == FolderFailure::NoPermissions ? kNoPermissions
                                                              : kCannotUnpack,
                    folder.path, error);
    }
    if (!ExtractCabinet(payload.data, payload.size, folder.path, &error)) {
        RemoveFolder(&folder);
        bool full = error == ERROR_DISK_FULL || error == ERROR_HANDLE_DISK_FULL;
        return Fail(error == ERROR_INVALID_DATA ? kDamaged : full ? kNoRoom : kCannotUnpack, folder.path, error);
    }
    wchar_t setup[MAX_PATH];
    ::lstrcpyW(setup, folder.path);  // MakeProtectedFolder leaves room for the name
    ::lstrcatW(setup, kSetupName);
    DWORD exitCode = kFailed;
    bool ran = RunSetup(setup, folder.path, &exitCode, &error);
    RemoveFolder(&folder);
    return ran ? static_cast<int>(exitCode) : Fail(kCannotStart, folder.path, error);
}
}  // namespace

extern "C" void WINAPI OneFileStart() {
    HardenProcess();
    Payload payload;
    int exitCode = CopyPayload(::GetModuleHandleW(nullptr), &payload) ? Unpack(payload) : Fail(kDamaged, L"", 0);
    FreePayload(&payload);
    ::ExitProcess(static_cast<UINT>(exitCode));
}
