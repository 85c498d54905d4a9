// The one-file program as it reads its own resources: whole, the payload unpacks into the shipped files byte for
// byte; damaged or cut short anywhere, it is refused before anything is written. Its manifest and version are the
// setup's.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "MachineFiles.h"
#include "unpack/Cabinet.h"
#include "unpack/Payload.h"

namespace {
// The build's one-file program, loaded for its resources only.
class OneFilePayload : public ::testing::Test {
protected:
    void SetUp() override {
        m_module = ::LoadLibraryExA(Path("kelvo-setup-*.exe").c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
        ASSERT_TRUE(m_module) << Path("kelvo-setup-*.exe") << ": error " << ::GetLastError();
        ASSERT_TRUE(FindPayload(m_module, &m_payload));
        ASSERT_TRUE(m_crypto.Ready());
    }
    void TearDown() override {
        if (m_module) ::FreeLibrary(m_module);
    }

    // A file of the build beside its zip, a wildcard resolved.
    static std::string Path(const std::string& pattern) {
        std::string path = "Z:" KELVO_ONEFILE_DIR "/" + pattern;
        for (char& c : path) {
            if (c == '/') c = '\\';
        }
        WIN32_FIND_DATAA found;
        HANDLE find = ::FindFirstFileA(path.c_str(), &found);
        if (find == INVALID_HANDLE_VALUE) return path;
        ::FindClose(find);
        return path.substr(0, path.rfind('\\') + 1) + found.cFileName;
    }

    bool Intact(const std::string& bytes, size_t digestSize = kSha256Size) const {
        Payload changed = m_payload;
        changed.data = reinterpret_cast<const BYTE*>(bytes.data());
        changed.size = bytes.size();
        changed.digestSize = digestSize;
        return PayloadIntact(m_crypto, changed);
    }

    HMODULE m_module = nullptr;
    Payload m_payload;
    CSystemCrypto m_crypto;
};

// An empty folder of this name in the temporary folder.
std::string FreshFolder(const char* name) {
    char temp[MAX_PATH] = "";
    ::GetTempPathA(MAX_PATH, temp);
    std::string folder = std::string(temp) + name;
    machine::RemoveTree(folder);
    EXPECT_TRUE(::CreateDirectoryA(folder.c_str(), nullptr)) << folder;
    return folder;
}

std::string ListFiles(const std::string& folder, const std::string& below = "") {
    std::string listing;
    WIN32_FIND_DATAA found;
    HANDLE find = ::FindFirstFileA((folder + "\\" + below + "*").c_str(), &found);
    if (find == INVALID_HANDLE_VALUE) return listing;
    do {
        std::string name = found.cFileName;
        if (name == "." || name == "..") continue;
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            listing += ListFiles(folder, below + name + "\\");
        } else {
            listing += below + name + "\n";
        }
    } while (::FindNextFileA(find, &found));
    ::FindClose(find);
    return listing;
}
}  // namespace

TEST_F(OneFilePayload, WholeItUnpacksIntoTheShippedFilesByteForByte) {
    ASSERT_TRUE(PayloadIntact(m_crypto, m_payload));
    std::string folder = FreshFolder("kelvo-payload-test");
    DWORD error = 0;
    std::wstring wide(folder.begin(), folder.end());
    EXPECT_TRUE(ExtractCabinet(m_payload.data, m_payload.size, wide, &error)) << "error " << error;
    std::string dist = Path("../dist");
    std::string files = ListFiles(dist);
    EXPECT_EQ(files, ListFiles(folder));
    for (size_t start = 0, end; (end = files.find('\n', start)) != std::string::npos; start = end + 1) {
        std::string name = files.substr(start, end - start);
        EXPECT_EQ(machine::ReadFileBytes(dist + "\\" + name), machine::ReadFileBytes(folder + "\\" + name)) << name;
    }
    // Each file is written new: a second unpacking into the same folder fails rather than overwrite.
    EXPECT_FALSE(ExtractCabinet(m_payload.data, m_payload.size, wide, &error));
    EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_EXISTS), error);
    machine::RemoveTree(folder);
}

TEST_F(OneFilePayload, DamagedOrCutShortAnywhereIsRefused) {
    const std::string whole(reinterpret_cast<const char*>(m_payload.data), m_payload.size);
    ASSERT_TRUE(Intact(whole));
    struct Row {
        const char* what;
        size_t at;    // the byte changed; npos: none
        size_t keep;  // the bytes kept
    };
    const size_t size = whole.size();
    const Row rows[] = {
        {"first byte changed", 0, size},
        {"a byte in the middle changed", size / 2, size},
        {"last byte changed", size - 1, size},
        {"cut short by one byte", std::string::npos, size - 1},
        {"cut to half", std::string::npos, size / 2},
        {"empty", std::string::npos, 0},
    };
    for (const Row& row : rows) {
        std::string bytes = whole.substr(0, row.keep);
        if (row.at != std::string::npos) bytes[row.at] ^= 0x01;
        EXPECT_FALSE(Intact(bytes)) << row.what;
    }
    EXPECT_FALSE(Intact(whole, kSha256Size - 1)) << "a digest cut short";
}

// Were a cabinet cut short to pass the check (a build's mistake), the reader still writes no whole file from it.
TEST_F(OneFilePayload, CabinetCutShortFailsToUnpack) {
    std::string folder = FreshFolder("kelvo-payload-cut");
    DWORD error = 0;
    EXPECT_FALSE(
        ExtractCabinet(m_payload.data, m_payload.size / 2, std::wstring(folder.begin(), folder.end()), &error));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_DATA), error);
    machine::RemoveTree(folder);
}

namespace {
std::string Manifest(HMODULE module) {
    HRSRC found = ::FindResourceA(module, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(24));
    HGLOBAL loaded = found ? ::LoadResource(module, found) : nullptr;
    return loaded ? std::string(static_cast<const char*>(::LockResource(loaded)), ::SizeofResource(module, found)) : "";
}

// The Windows versions a manifest declares, one Id a line.
std::string SupportedOs(const std::string& manifest) {
    std::string ids;
    for (size_t at = manifest.find("supportedOS Id=\""); at != std::string::npos;
         at = manifest.find("supportedOS Id=\"", at + 1)) {
        ids += manifest.substr(at + 16, 38) + "\n";
    }
    return ids;
}

VS_FIXEDFILEINFO FixedVersion(const std::string& path) {
    VS_FIXEDFILEINFO fixed{};
    DWORD size = ::GetFileVersionInfoSizeA(path.c_str(), nullptr);
    std::string block(size, '\0');
    void* value = nullptr;
    UINT length = 0;
    if (size && ::GetFileVersionInfoA(path.c_str(), 0, size, block.data()) &&
        ::VerQueryValueA(block.data(), "\\", &value, &length) && length >= sizeof fixed) {
        fixed = *static_cast<VS_FIXEDFILEINFO*>(value);
    }
    return fixed;
}
}  // namespace

// One elevation prompt, for the Windows the setup declares, and the version the setup has.
TEST_F(OneFilePayload, ManifestAndVersionAreTheSetups) {
    HMODULE setup =
        ::LoadLibraryExA(Path("../dist/Kelvo Braille display setup.exe").c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_TRUE(setup);
    std::string manifest = Manifest(m_module);
    EXPECT_NE(std::string::npos, manifest.find("level=\"requireAdministrator\"")) << manifest;
    EXPECT_EQ(SupportedOs(Manifest(setup)), SupportedOs(manifest));
    EXPECT_EQ(5u * 39, SupportedOs(manifest).size()) << "Vista, 7, 8, 8.1 and 10";
    ::FreeLibrary(setup);
    VS_FIXEDFILEINFO ours = FixedVersion(Path("kelvo-setup-*.exe"));
    VS_FIXEDFILEINFO theirs = FixedVersion(Path("../dist/Kelvo Braille display setup.exe"));
    EXPECT_NE(0u, ours.dwFileVersionMS);
    EXPECT_EQ(theirs.dwFileVersionMS, ours.dwFileVersionMS);
    EXPECT_EQ(theirs.dwFileVersionLS, ours.dwFileVersionLS);
}
