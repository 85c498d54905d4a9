// The registry string reader against the real registry of the Wine prefix: its size limit, its failures, and
// that a failed read leaves the result alone.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "app/SetupDlg.h"

namespace {
constexpr char kKey[] = "SOFTWARE\\KelvoUnitTest\\Reader";

class RegistryReader : public ::testing::Test {
protected:
    void SetUp() override {
        ::RegDeleteTreeA(HKEY_LOCAL_MACHINE, "SOFTWARE\\KelvoUnitTest");
        ASSERT_EQ(ERROR_SUCCESS,
                  ::RegCreateKeyExA(HKEY_LOCAL_MACHINE, kKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &m_key, nullptr));
    }
    void TearDown() override {
        ::RegCloseKey(m_key);
        ::RegDeleteTreeA(HKEY_LOCAL_MACHINE, "SOFTWARE\\KelvoUnitTest");
    }
    void Set(const char* name, DWORD type, const std::string& bytes) {
        ASSERT_EQ(ERROR_SUCCESS, ::RegSetValueExA(m_key, name, 0, type, reinterpret_cast<const BYTE*>(bytes.data()),
                                                  static_cast<DWORD>(bytes.size())));
    }
    void SetText(const char* name, const std::string& text) {
        Set(name, REG_SZ, std::string(text.c_str(), text.size() + 1));
    }
    static bool Read(const char* key, const char* name, std::string& result) {
        return CSetupDlg::ReadRegistryString(key, name, result);
    }

    HKEY m_key = nullptr;
};

TEST_F(RegistryReader, ReadsSeventyNineCharactersButNotEighty) {
    SetText("Short", std::string(79, 'a'));
    SetText("Long", std::string(80, 'b'));
    SetText("Longer", std::string(300, 'c'));
    std::string result = "before";
    EXPECT_TRUE(Read(kKey, "Short", result));
    EXPECT_EQ(std::string(79, 'a'), result);
    result = "before";
    EXPECT_FALSE(Read(kKey, "Long", result));
    EXPECT_EQ("before", result);
    EXPECT_FALSE(Read(kKey, "Longer", result));
    EXPECT_EQ("before", result);
}

TEST_F(RegistryReader, MissingKeyOrValueFailsAndLeavesTheResult) {
    std::string result = "kept";
    EXPECT_FALSE(Read("SOFTWARE\\KelvoUnitTest\\NoSuchKey", "Value", result));
    EXPECT_FALSE(Read(kKey, "NoSuchValue", result));
    EXPECT_EQ("kept", result);
}

TEST_F(RegistryReader, EmptyValueReadsAsEmptyText) {
    SetText("Empty", "");
    std::string result = "not empty";
    EXPECT_TRUE(Read(kKey, "Empty", result));
    EXPECT_EQ("", result);
}

TEST_F(RegistryReader, ExpandableTextComesBackUnexpanded) {
    Set("Expand", REG_EXPAND_SZ, std::string("%SystemRoot%\\x\0", 15));
    std::string result;
    EXPECT_TRUE(Read(kKey, "Expand", result));
    EXPECT_EQ("%SystemRoot%\\x", result);
}

TEST_F(RegistryReader, OtherTypesGiveTheirBytesUpToTheFirstZero) {
    Set("Binary", REG_BINARY, std::string("COM9\0tail", 9));
    Set("Unterminated", REG_SZ, "COM12");
    Set("Number", REG_DWORD, std::string("\x41\x42\0\0", 4));
    std::string result;
    EXPECT_TRUE(Read(kKey, "Binary", result));
    EXPECT_EQ("COM9", result);
    EXPECT_TRUE(Read(kKey, "Unterminated", result));
    EXPECT_EQ("COM12", result);
    EXPECT_TRUE(Read(kKey, "Number", result));
    EXPECT_EQ("AB", result);
}

TEST_F(RegistryReader, NothingIsCachedAndNoKeyStaysOpen) {
    std::string result = "none";
    EXPECT_FALSE(Read(kKey, "Late", result));
    SetText("Late", "COM3");
    EXPECT_TRUE(Read(kKey, "Late", result));
    EXPECT_EQ("COM3", result);
    // Every key the reader opened is closed again: the key can be deleted with nothing left behind.
    for (int i = 0; i < 200; ++i) Read(kKey, "Late", result);
    ::RegCloseKey(m_key);
    m_key = nullptr;
    EXPECT_EQ(ERROR_SUCCESS, ::RegDeleteTreeA(HKEY_LOCAL_MACHINE, "SOFTWARE\\KelvoUnitTest"));
    EXPECT_FALSE(Read(kKey, "Late", result));
}
}  // namespace
