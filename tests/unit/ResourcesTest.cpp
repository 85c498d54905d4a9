// The resources as the program finds them at run time, read back with the wide APIs: the Chinese texts must
// come out right whatever the code page.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "res/resource.h"

namespace {
constexpr WORD kChinese = MAKELANGID(LANG_CHINESE, SUBLANG_CHINESE_SIMPLIFIED);

INT_PTR CALLBACK NoDialogProc(HWND, UINT, WPARAM, LPARAM) { return FALSE; }

std::wstring VersionString(const wchar_t* name) {
    wchar_t path[MAX_PATH];
    ::GetModuleFileNameW(nullptr, path, MAX_PATH);
    DWORD size = ::GetFileVersionInfoSizeW(path, nullptr);
    std::string block(size, '\0');
    if (!size || !::GetFileVersionInfoW(path, 0, size, block.data())) return L"<no version block>";
    void* value = nullptr;
    UINT length = 0;
    std::wstring query = std::wstring(L"\\StringFileInfo\\080404B0\\") + name;
    if (!::VerQueryValueW(block.data(), query.c_str(), &value, &length)) return L"<missing>";
    return static_cast<const wchar_t*>(value);
}

TEST(Resources, AboutItemTextIsChinese) {
    wchar_t text[128] = L"";
    ASSERT_GT(::LoadStringW(::GetModuleHandleW(nullptr), IDS_ABOUTBOX, text, 128), 0);
    EXPECT_EQ(std::wstring(L"关于 Kelvo Braille display setup(&A)..."), text);
}

TEST(Resources, EveryResourceIsInChinesePrc) {
    HMODULE self = ::GetModuleHandleA(nullptr);
    EXPECT_TRUE(::FindResourceExA(self, RT_DIALOG, MAKEINTRESOURCEA(IDD_ABOUTBOX), kChinese));
    EXPECT_TRUE(::FindResourceExA(self, RT_DIALOG, MAKEINTRESOURCEA(IDD_SETUP_DIALOG), kChinese));
    EXPECT_TRUE(::FindResourceExA(self, RT_DIALOG, MAKEINTRESOURCEA(IDD_MESSAGE_PROMPT), kChinese));
    EXPECT_TRUE(::FindResourceExA(self, RT_DIALOG, MAKEINTRESOURCEA(IDD_WAIT_PROMPT), kChinese));
    EXPECT_TRUE(::FindResourceExA(self, RT_GROUP_ICON, MAKEINTRESOURCEA(IDR_MAINFRAME), kChinese));
    EXPECT_TRUE(::FindResourceExA(self, RT_BITMAP, MAKEINTRESOURCEA(IDB_BANNER), kChinese));
    EXPECT_TRUE(::FindResourceExA(self, RT_VERSION, MAKEINTRESOURCEA(1), kChinese));
    EXPECT_TRUE(::FindResourceExA(self, RT_MANIFEST, MAKEINTRESOURCEA(1), kChinese));
}

TEST(Resources, AboutDialogTextsComeOutInChinese) {
    HWND about =
        ::CreateDialogParamW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_ABOUTBOX), nullptr, NoDialogProc, 0);
    ASSERT_TRUE(about);
    wchar_t text[128] = L"";
    ::GetWindowTextW(about, text, 128);
    EXPECT_EQ(std::wstring(L"关于 Kelvo Braille display setup"), text);
    ::GetDlgItemTextW(about, IDOK, text, 128);
    EXPECT_EQ(std::wstring(L"确定"), text);
    HWND label = ::GetWindow(::GetDlgItem(about, IDOK), GW_HWNDPREV);
    ::GetWindowTextW(label, text, 128);
    EXPECT_EQ(std::wstring(L"Kelvo Braille display setup 1.0 版"), text);
    ::DestroyWindow(about);
}

TEST(Resources, VersionBlockNamesTheProductInChinese) {
    EXPECT_EQ(L"Kelvo Braille display setup 应用程序", VersionString(L"ProductName"));
    EXPECT_EQ(L"Kelvo Braille display setup", VersionString(L"InternalName"));
    EXPECT_EQ(L"Kelvo Braille display setup.EXE", VersionString(L"OriginalFilename"));
    EXPECT_EQ(L"", VersionString(L"CompanyName"));
}

TEST(Resources, BannerAndIconHaveTheirSizes) {
    HMODULE self = ::GetModuleHandleW(nullptr);
    HBITMAP banner = static_cast<HBITMAP>(::LoadImageW(self, MAKEINTRESOURCEW(IDB_BANNER), IMAGE_BITMAP, 0, 0, 0));
    ASSERT_TRUE(banner);
    BITMAP info{};
    ::GetObjectW(banner, sizeof info, &info);
    EXPECT_EQ(59, info.bmWidth);
    EXPECT_EQ(380, info.bmHeight);
    ::DeleteObject(banner);
    HRSRC group = ::FindResourceA(self, MAKEINTRESOURCEA(IDR_MAINFRAME), RT_GROUP_ICON);
    ASSERT_TRUE(group);
    const BYTE* dir = static_cast<const BYTE*>(::LockResource(::LoadResource(self, group)));
    EXPECT_EQ(1, dir[4]);   // one image
    EXPECT_EQ(32, dir[6]);  // 32 x 32
    EXPECT_EQ(32, dir[7]);
    EXPECT_EQ(8, dir[12]);  // 8 bits a pixel: 256 colours
}
}  // namespace
