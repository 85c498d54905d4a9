// The one-file program as it reads its own resources: whole, the payload unpacks into the shipped files byte for
// byte; damaged or cut short anywhere, or holding a name that is no file, it is refused before anything is written.
// Its digest is its own SHA-256. Its manifest and version are the setup's; it runs from swap, and its own part is lean.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "MachineFiles.h"
#include "unpack/Cabinet.h"
#include "unpack/Payload.h"
#include "unpack/ProtectedFolder.h"
#include "unpack/Sha256.h"

namespace {
// The build's one-file program, loaded for its resources only.
class OneFilePayload : public ::testing::Test {
protected:
    void SetUp() override {
        m_module = ::LoadLibraryExA(Path("kelvo-setup-*.exe").c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
        ASSERT_TRUE(m_module) << Path("kelvo-setup-*.exe") << ": error " << ::GetLastError();
        ASSERT_TRUE(CopyPayload(m_module, &m_payload));
    }
    void TearDown() override {
        FreePayload(&m_payload);
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
        return PayloadIntact(changed);
    }

    HMODULE m_module = nullptr;
    Payload m_payload;
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
    ASSERT_TRUE(PayloadIntact(m_payload));
    DWORD error = 0;
    EXPECT_TRUE(CabinetNamesSafe(m_payload.data, m_payload.size, &error)) << "error " << error;
    std::string folder = FreshFolder("kelvo-payload-test");
    std::wstring wide(folder.begin(), folder.end());
    EXPECT_TRUE(ExtractCabinet(m_payload.data, m_payload.size, wide.c_str(), &error)) << "error " << error;
    std::string dist = Path("../dist");
    std::string files = ListFiles(dist);
    EXPECT_EQ(files, ListFiles(folder));
    for (size_t start = 0, end; (end = files.find('\n', start)) != std::string::npos; start = end + 1) {
        std::string name = files.substr(start, end - start);
        EXPECT_EQ(machine::ReadFileBytes(dist + "\\" + name), machine::ReadFileBytes(folder + "\\" + name)) << name;
    }
    // Each file is written new: a second unpacking into the same folder fails rather than overwrite.
    EXPECT_FALSE(ExtractCabinet(m_payload.data, m_payload.size, wide.c_str(), &error));
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
        ExtractCabinet(m_payload.data, m_payload.size / 2, std::wstring(folder.begin(), folder.end()).c_str(), &error));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_DATA), error);
    machine::RemoveTree(folder);
}

// A name of the payload that Windows would open as a device, or change, is no file: refused (a bad build made it).
TEST(OneFileNames, OnlyNamesThatAreFilesBelowTheFolderPass) {
    struct Row {
        const char* name;
        bool safe;
    };
    const Row rows[] = {
        {"update\\chimes.wav", true},
        {"updatedolphin\\kelvo\\kelvo00039.INI", true},
        {"COM10", true},
        {"CONSOLE.ini", true},
        {"nul1", true},
        {"auxiliary.txt", true},
        {"update\\.hidden", true},
        // DOS device names, in any component, any case, with or without an extension
        {"NUL", false},
        {"update\\NUL", false},
        {"update\\COM3", false},
        {"aux.txt", false},
        {"Con", false},
        {"prn.ini", false},
        {"update\\lpt1.dat", false},
        {"com9", false},
        {"LPT9\\x.ini", false},
        {"nul.tar.gz", false},
        {"AUX .txt", false},
        // ending in a dot or a blank, which Windows drops
        {"update\\chimes.", false},
        {"update\\chimes ", false},
        {"update.\\chimes.wav", false},
        {"update \\chimes.wav", false},
        // leaving the folder, or no name Windows allows
        {"..\\x", false},
        {".\\x", false},
        {"\\x", false},
        {"x\\", false},
        {"x\\\\y", false},
        {"C:x", false},
        {"x/y", false},
        {"x?y", false},
        {"x*y", false},
        {"x\"y", false},
        {"x<y", false},
        {"x|y", false},
        {"\xe4.ini", false},
        {"", false},
    };
    for (const Row& row : rows) EXPECT_EQ(row.safe, SafeEntryName(row.name)) << "'" << row.name << "'";
}

// The folder is held from its creation by a handle that shares no deletion: no one can rename it away or delete it,
// whoever they are and whatever rights they have on it and on the temporary folder (these tests run elevated), until
// it is let go. The end-to-end scenario shows it while the setup runs, where the setup's current directory, a handle
// that shares no deletion either, refuses the same; here nothing else holds it.
TEST(OneFileFolder, HeldFromItsCreationItCanBeNeitherRenamedNorDeleted) {
    CSystemCrypto crypto;
    UnpackFolder folder;
    FolderFailure failure = FolderFailure::Other;
    DWORD error = 0;
    ASSERT_TRUE(MakeProtectedFolder(crypto, &folder, &failure, &error)) << "error " << error;
    EXPECT_EQ(FolderFailure::None, failure);
    std::wstring path = folder.path, moved = path + L"-moved";
    EXPECT_FALSE(::MoveFileW(path.c_str(), moved.c_str()));
    EXPECT_EQ(static_cast<DWORD>(ERROR_SHARING_VIOLATION), ::GetLastError());
    EXPECT_FALSE(::RemoveDirectoryW(path.c_str()));
    EXPECT_EQ(static_cast<DWORD>(ERROR_SHARING_VIOLATION), ::GetLastError());
    if (::GetFileAttributesW(moved.c_str()) != INVALID_FILE_ATTRIBUTES) ::MoveFileW(moved.c_str(), path.c_str());
    RemoveFolder(&folder);
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, ::GetFileAttributesW(path.c_str())) << "removed once let go";
}

namespace {
std::string Hex(const BYTE* bytes, size_t size) {
    std::string hex;
    for (size_t i = 0; i < size; ++i)
        hex += "0123456789abcdef"[bytes[i] >> 4], hex += "0123456789abcdef"[bytes[i] & 15];
    return hex;
}

std::string OwnSha256(const std::string& bytes) {
    BYTE digest[kSha256Size];
    Sha256(bytes.data(), bytes.size(), digest);
    return Hex(digest, kSha256Size);
}

// The provider is acquired once: under the emulated Wine machine each acquisition takes about half a second.
std::string CryptoApiSha256(const std::string& bytes) {
    static HCRYPTPROV provider = 0;
    if (!provider && !::CryptAcquireContextW(&provider, nullptr, nullptr, PROV_RSA_AES, CRYPT_VERIFYCONTEXT)) {
        provider = 0;
    }
    HCRYPTHASH hash = 0;
    BYTE digest[kSha256Size];
    DWORD size = kSha256Size;
    bool ok = provider && ::CryptCreateHash(provider, CALG_SHA_256, 0, 0, &hash) &&
              ::CryptHashData(hash, reinterpret_cast<const BYTE*>(bytes.data()), static_cast<DWORD>(bytes.size()), 0) &&
              ::CryptGetHashParam(hash, HP_HASHVAL, digest, &size, 0);
    if (hash) ::CryptDestroyHash(hash);
    return ok ? Hex(digest, size) : "<no CryptoAPI digest>";
}
}  // namespace

// The program's own SHA-256 (it needs no crypto provider): FIPS 180-4's examples, and CryptoAPI's digest of every
// length across the padding's one- and two-block cases, and of the payload.
TEST_F(OneFilePayload, OwnSha256IsTheStandardOne) {
    EXPECT_EQ("e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855", OwnSha256(""));
    EXPECT_EQ("ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad", OwnSha256("abc"));
    EXPECT_EQ("248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1",
              OwnSha256("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq"));
    std::string bytes;
    for (int length = 0; length <= 200; ++length, bytes += static_cast<char>(length * 37)) {
        EXPECT_EQ(CryptoApiSha256(bytes), OwnSha256(bytes)) << length << " bytes";
    }
    const std::string payload(reinterpret_cast<const char*>(m_payload.data), m_payload.size);
    EXPECT_EQ(CryptoApiSha256(payload), OwnSha256(payload));
    EXPECT_EQ(Hex(m_payload.digest, kSha256Size), OwnSha256(payload));
}

// Windows copies the whole image into the page file before running it from a network share or a removable medium;
// and the program's own part, all but its resources (the payload, icon, version block and manifest), is at most 40 KB.
TEST_F(OneFilePayload, RunsFromSwapAndItsOwnPartIsAtMost40Kb) {
    std::string file = machine::ReadFileBytes(Path("kelvo-setup-*.exe"));
    ASSERT_GT(file.size(), 0x400u);
    auto dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(file.data());
    auto nt = reinterpret_cast<const IMAGE_NT_HEADERS32*>(file.data() + dos->e_lfanew);
    const WORD runFromSwap = IMAGE_FILE_NET_RUN_FROM_SWAP | IMAGE_FILE_REMOVABLE_RUN_FROM_SWAP;
    EXPECT_EQ(runFromSwap, nt->FileHeader.Characteristics & runFromSwap);
    auto section = IMAGE_FIRST_SECTION(nt);
    size_t resources = 0;
    for (WORD i = 0; i < nt->FileHeader.NumberOfSections; ++i, ++section) {
        if (std::string(reinterpret_cast<const char*>(section->Name), 5) == ".rsrc") resources = section->SizeOfRawData;
    }
    EXPECT_GT(resources, m_payload.size);
    EXPECT_LE(file.size() - resources, 40960u) << file.size() << " bytes, " << resources << " of them resources";
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
