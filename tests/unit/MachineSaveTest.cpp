// The kit's save against the real registry of the Wine prefix: every kind of value, an empty key, a key's class and
// security come back exactly; a missing tree goes again from its first missing parent; a record that cannot be put
// back stops none after it; a save that was cut short or changed is refused whole.
#include <gtest/gtest.h>
#include <windows.h>
#include <sddl.h>

#include <string>

#include "MachineRegistry.h"
#include "MachineSave.h"

namespace {
const std::wstring kRoot = L"SOFTWARE\\KelvoUnitTest";
const std::wstring kTree = kRoot + L"\\Saved";
const std::wstring kGuarded = kTree + L"\\Guarded";
const std::wstring kMissing = kRoot + L"\\Missing\\Below\\Deepest";
// Owner, group and a protected DACL of its own, none of which a new key inherits.
const wchar_t kSecurity[] = L"O:SYG:SYD:P(A;;KA;;;SY)(A;CI;KR;;;BU)(A;;KA;;;BA)";

class MachineSave : public ::testing::Test {
protected:
    void SetUp() override {
        machine::DeleteTree(kRoot);
        Set(kTree, L"Text", REG_SZ, Bytes({L"text", 5}));
        Set(kTree, L"Expandable", REG_EXPAND_SZ, Bytes({L"%SystemRoot%\\x", 15}));
        Set(kTree, L"Several", REG_MULTI_SZ, Bytes({L"one\0two\0", 9}));
        Set(kTree, L"Binary", REG_BINARY, std::string("\0\x01\xff\r\n", 5));
        Set(kTree, L"Number", REG_DWORD, std::string("\x2a\0\0\x80", 4));
        Set(kTree, L"Wide", REG_QWORD, std::string("\x01\x02\x03\x04\x05\x06\x07\x08", 8));
        Set(kTree, L"Nothing", REG_NONE, "");
        Set(kTree, L"", REG_SZ, "");  // an empty default value
        Set(kTree, L"Unterminated", REG_SZ, Bytes(L"abc"));
        Set(kTree + L"\\\x0141ukasz", L"\x5f20", REG_SZ, Bytes({L"\x4f1f", 2}));
        Make(kTree + L"\\Empty", L"");
        Make(kGuarded, L"KelvoClass");
        PSECURITY_DESCRIPTOR security = nullptr;
        ASSERT_TRUE(
            ::ConvertStringSecurityDescriptorToSecurityDescriptorW(kSecurity, SDDL_REVISION_1, &security, nullptr));
        HKEY handle = nullptr;
        ASSERT_EQ(ERROR_SUCCESS, machine::CreateToWrite(kGuarded, &handle));
        LONG status = ::RegSetKeySecurity(
            handle, OWNER_SECURITY_INFORMATION | GROUP_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, security);
        ::RegCloseKey(handle);
        ::LocalFree(security);
        ASSERT_EQ(ERROR_SUCCESS, status);
    }
    void TearDown() override { machine::DeleteTree(kRoot); }

    static std::string Bytes(const std::wstring& text) {
        return std::string(reinterpret_cast<const char*>(text.data()), text.size() * sizeof(wchar_t));
    }
    static void Set(const std::wstring& key, const std::wstring& name, DWORD type, const std::string& data) {
        HKEY handle = nullptr;
        ASSERT_EQ(ERROR_SUCCESS, machine::CreateToWrite(key, &handle));
        LONG status = ::RegSetValueExW(handle, name.c_str(), 0, type, reinterpret_cast<const BYTE*>(data.data()),
                                       static_cast<DWORD>(data.size()));
        ::RegCloseKey(handle);
        ASSERT_EQ(ERROR_SUCCESS, status);
    }
    static void Make(const std::wstring& key, const std::wstring& keyClass) {
        HKEY handle = nullptr;
        ASSERT_EQ(ERROR_SUCCESS, machine::CreateToWrite(key, &handle, keyClass));
        ::RegCloseKey(handle);
    }
    // The save as text: two captures are the same when their texts are.
    static std::string Captured() {
        kit::Saved saved;
        std::string failure;
        EXPECT_TRUE(kit::Capture({kTree, kMissing}, {{kRoot, L"Owner"}, {kRoot, L"Added"}}, saved, failure)) << failure;
        return kit::WriteSave(saved);
    }
};

TEST_F(MachineSave, EveryValueKeyClassAndSecurityComeBackExactly) {
    Set(kRoot, L"Owner", REG_SZ, Bytes({L"Kit Tester", 11}));
    std::string before = Captured();
    kit::Saved saved;
    std::string why;
    ASSERT_TRUE(kit::ReadSave(before, saved, why)) << why;
    EXPECT_EQ(std::vector<std::wstring>({kTree, kRoot + L"\\Missing"}), saved.trees);
    for (const kit::SavedKey& key : saved.keys) {
        if (key.path != kGuarded) continue;
        EXPECT_EQ(L"KelvoClass", key.keyClass);
        wchar_t* text = nullptr;
        ASSERT_TRUE(::ConvertSecurityDescriptorToStringSecurityDescriptorW(
            const_cast<char*>(key.security.data()), SDDL_REVISION_1,
            OWNER_SECURITY_INFORMATION | GROUP_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, &text, nullptr));
        EXPECT_STREQ(kSecurity, text);
        ::LocalFree(text);
    }

    // What a run does: values replaced and added, keys deleted and made, a key's security and class replaced.
    Set(kTree, L"Text", REG_SZ, Bytes({L"changed", 8}));
    Set(kTree, L"Added", REG_DWORD, std::string(4, '\0'));
    Set(kRoot, L"Owner", REG_SZ, Bytes({L"user1", 6}));
    Set(kRoot, L"Added", REG_SZ, Bytes({L"x", 2}));
    Set(kMissing, L"Made", REG_SZ, Bytes({L"x", 2}));
    ASSERT_TRUE(machine::DeleteTree(kTree + L"\\Empty"));
    ASSERT_TRUE(machine::DeleteTree(kGuarded));
    Make(kGuarded, L"");
    ASSERT_NE(before, Captured());

    EXPECT_EQ(std::vector<std::string>(), kit::PutBack(saved));
    EXPECT_EQ(before, Captured());
    HKEY handle = nullptr;
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, machine::OpenToRead(kRoot + L"\\Missing", &handle));
}

TEST_F(MachineSave, PutBackGoesOnPastWhatFailsAndNamesIt) {
    Set(kRoot, L"Owner", REG_SZ, Bytes({L"Kit Tester", 11}));
    kit::Saved saved;
    std::string failure;
    ASSERT_TRUE(kit::Capture({kTree}, {{kRoot, L"Owner"}}, saved, failure)) << failure;
    std::string before = kit::WriteSave(saved);
    // Windows and Wine refuse a key name of more than 255 characters.
    kit::SavedValue impossible;
    impossible.key = kRoot + L"\\" + std::wstring(300, L'k');
    impossible.exists = true;
    saved.values.insert(saved.values.begin(), impossible);
    ASSERT_TRUE(machine::DeleteTree(kTree));
    Set(kRoot, L"Owner", REG_SZ, Bytes({L"user1", 6}));

    std::vector<std::string> failures = kit::PutBack(saved);
    ASSERT_EQ(1u, failures.size());
    EXPECT_NE(std::string::npos, failures[0].find("kkkk"));
    ASSERT_TRUE(kit::Capture({kTree}, {{kRoot, L"Owner"}}, saved, failure)) << failure;
    EXPECT_EQ(before, kit::WriteSave(saved));
}

TEST_F(MachineSave, CutShortOrChangedSaveIsRefusedWhole) {
    std::string text = Captured();
    kit::Saved saved;
    std::string why;
    ASSERT_TRUE(kit::ReadSave(text, saved, why)) << why;
    for (std::size_t length = 0; length < text.size(); ++length) {
        EXPECT_FALSE(kit::ReadSave(text.substr(0, length), saved, why)) << "cut to " << length;
        EXPECT_TRUE(saved.keys.empty() && saved.values.empty() && saved.trees.empty());
    }
    for (std::size_t at = 0; at < text.size(); at += 7) {
        std::string changed = text;
        changed[at] = changed[at] == '0' ? '1' : '0';
        EXPECT_FALSE(kit::ReadSave(changed, saved, why)) << "changed at " << at;
    }
    std::string crlf;
    for (char c : text) crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
    EXPECT_FALSE(kit::ReadSave(crlf, saved, why));
    EXPECT_FALSE(kit::ReadSave(text + text, saved, why));
}
}  // namespace
