// The test programs' access to HKEY_LOCAL_MACHINE, the display's device keys below Enum included.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace machine {

// The backup, restore and take-ownership privileges of this process, enabled; false when its token lacks them (not
// elevated).
bool EnableRegistryPrivileges();

// Windows keeps the keys below SYSTEM\CurrentControlSet\Enum for itself: not even an administrator may write them.
bool BelowEnum(const std::wstring& key);

// Key paths are wide, so that any name a machine holds is met exactly; the ANSI forms convert from the code page.
std::wstring Wide(const std::string& ansi);
std::string Ansi(const std::wstring& wide);
// The same in UTF-8, which the reports, the demo's transcript and the recording voice's log are written in.
std::wstring FromUtf8(const std::string& utf8);
std::string Utf8(const std::wstring& wide);

// The key opened for reading; ERROR_FILE_NOT_FOUND when it is missing. A device key that only SYSTEM may open is
// opened through the backup privilege.
LONG OpenToRead(const std::wstring& key, HKEY* handle);
LONG OpenToRead(const std::string& key, HKEY* handle);
// The key opened for writing, made (with its parents) when missing; a key made here gets `keyClass`.
LONG CreateToWrite(const std::wstring& key, HKEY* handle, const std::wstring& keyClass = std::wstring());
LONG CreateToWrite(const std::string& key, HKEY* handle);
// Gives the key the owner, group and DACL of `security`.
LONG SetKeySecurity(const std::wstring& key, PSECURITY_DESCRIPTOR security);
// Deletes the value; a missing key or value is no error.
bool DeleteValue(const std::wstring& key, const std::wstring& name);
// Deletes the key and every key below it; a missing key is no error.
bool DeleteTree(const std::wstring& key);
bool DeleteTree(const std::string& key);
// The names of the key's direct subkeys.
std::vector<std::wstring> Subkeys(HKEY handle);

}  // namespace machine
