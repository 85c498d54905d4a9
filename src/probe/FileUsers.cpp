// The Restart Manager lists the processes that have a file open or loaded, whatever account runs them, for an
// installer that runs elevated (RmGetList); it needs no handle to those processes. rstrtmgr.dll is loaded at run time
// from the system folder by full path, as the setup's other optional DLLs are: it is no KnownDLL, and Windows XP lacks
// it.
#include "probe/FileUsers.h"

#include <restartmanager.h>

#include "afx/SystemLibrary.h"

namespace {
constexpr char kRestartManager[] = "rstrtmgr.dll";

using RmStartSessionFn = DWORD(WINAPI*)(DWORD*, DWORD, WCHAR[]);
using RmRegisterResourcesFn = DWORD(WINAPI*)(DWORD, UINT, LPCWSTR[], UINT, RM_UNIQUE_PROCESS[], UINT, LPCWSTR[]);
using RmGetListFn = DWORD(WINAPI*)(DWORD, UINT*, UINT*, RM_PROCESS_INFO[], LPDWORD);
using RmEndSessionFn = DWORD(WINAPI*)(DWORD);

std::vector<wchar_t> Wide(const std::string& text) {
    int size = ::MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, nullptr, 0);
    std::vector<wchar_t> wide(static_cast<std::size_t>(size > 0 ? size : 1), L'\0');
    if (size > 0) ::MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, wide.data(), size);
    return wide;
}
}  // namespace

FileUsers::~FileUsers() {
    if (!m_started) return;
    if (auto end = SystemFunction<RmEndSessionFn>(kRestartManager, "RmEndSession")) end(m_session);
}

bool FileUsers::Started() {
    if (m_tried) return m_started;
    m_tried = true;
    auto start = SystemFunction<RmStartSessionFn>(kRestartManager, "RmStartSession");
    auto enroll = SystemFunction<RmRegisterResourcesFn>(kRestartManager, "RmRegisterResources");
    WCHAR key[CCH_RM_SESSION_KEY + 1] = L"";
    if (!start || !enroll || start(&m_session, 0, key) != ERROR_SUCCESS) return false;
    m_started = true;
    std::vector<std::vector<wchar_t>> names;
    std::vector<LPCWSTR> files;
    for (const std::string& file : m_files) names.push_back(Wide(file));
    for (const std::vector<wchar_t>& name : names) files.push_back(name.data());
    if (enroll(m_session, static_cast<UINT>(files.size()), files.data(), 0, nullptr, 0, nullptr) != ERROR_SUCCESS) {
        m_started = false;
        if (auto end = SystemFunction<RmEndSessionFn>(kRestartManager, "RmEndSession")) end(m_session);
    }
    return m_started;
}

// The list is asked for again on each call: it changes as processes load and unload the files, or end.
bool FileUsers::Uses(DWORD processId) {
    auto list = SystemFunction<RmGetListFn>(kRestartManager, "RmGetList");
    if (!Started() || !list) return true;
    std::vector<RM_PROCESS_INFO> users(8);
    for (;;) {
        UINT needed = 0;
        UINT count = static_cast<UINT>(users.size());
        DWORD reasons = 0;
        DWORD result = list(m_session, &needed, &count, users.data(), &reasons);
        if (result == ERROR_MORE_DATA) {
            users.resize(needed > users.size() ? needed : users.size() * 2);
            continue;
        }
        if (result != ERROR_SUCCESS) return true;
        for (UINT i = 0; i < count; ++i) {
            if (users[i].Process.dwProcessId == processId) return true;
        }
        return false;
    }
}
