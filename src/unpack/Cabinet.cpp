// The cabinet is read from memory through cabinet.dll's FDI API (on every Windows), loaded from the system folder by
// full path: no decompressor's code is the program's own, and no cabinet.dll planted beside it is used.
#include "unpack/Cabinet.h"

#include <fdi.h>

#include <cstdlib>
#include <cstring>

#include "afx/SystemLibrary.h"

namespace {
// FDI names the cabinet it opens only by this name; the open callback has no other context.
char kCabinetName[] = "payload.cab";

// Every handle FDI holds: the cabinet in memory, or a file being written.
struct Stream {
    const BYTE* data = nullptr;  // the cabinet; null for a written file
    size_t size = 0;
    size_t position = 0;
    HANDLE file = INVALID_HANDLE_VALUE;
    DWORD* error = nullptr;  // where a failed write leaves Windows' error
};

struct Extraction {
    const BYTE* data;
    size_t size;
    const std::wstring* folder;
    DWORD error;
};
// The cabinet being read: FDI's open callback has no context of its own. One extraction at a time.
const Extraction* g_extraction = nullptr;

FNALLOC(Allocate) { return std::malloc(cb); }
FNFREE(Free) { std::free(pv); }

FNOPEN(Open) {
    (void)oflag;
    (void)pmode;
    if (!g_extraction || std::strcmp(pszFile, kCabinetName) != 0) return -1;  // only the cabinet itself is opened
    auto* stream = new Stream;
    stream->data = g_extraction->data;
    stream->size = g_extraction->size;
    return reinterpret_cast<INT_PTR>(stream);
}

FNREAD(Read) {
    auto* stream = reinterpret_cast<Stream*>(hf);
    if (!stream->data) return static_cast<UINT>(-1);
    size_t left = stream->size - stream->position;
    UINT count = left < cb ? static_cast<UINT>(left) : cb;
    std::memcpy(pv, stream->data + stream->position, count);
    stream->position += count;
    return count;
}

FNWRITE(Write) {
    auto* stream = reinterpret_cast<Stream*>(hf);
    DWORD written = 0;
    if (stream->file == INVALID_HANDLE_VALUE || !::WriteFile(stream->file, pv, cb, &written, nullptr) ||
        written != cb) {
        if (stream->error && *stream->error == ERROR_SUCCESS) *stream->error = ::GetLastError();
        return static_cast<UINT>(-1);
    }
    return written;
}

FNCLOSE(Close) {
    auto* stream = reinterpret_cast<Stream*>(hf);
    bool ok = stream->file == INVALID_HANDLE_VALUE || ::CloseHandle(stream->file);
    delete stream;
    return ok ? 0 : -1;
}

FNSEEK(Seek) {
    auto* stream = reinterpret_cast<Stream*>(hf);
    if (!stream->data) return -1;
    long long base = seektype == SEEK_CUR   ? static_cast<long long>(stream->position)
                     : seektype == SEEK_END ? static_cast<long long>(stream->size)
                                            : 0;
    long long target = base + dist;
    if (target < 0 || target > static_cast<long long>(stream->size)) return -1;
    stream->position = static_cast<size_t>(target);
    return static_cast<__LONG32>(target);
}

// A name that stays below the folder: relative, plain ASCII, no drive, stream or parent folder. The cabinet is
// checked and signed; this keeps a mistake in the build from writing anywhere else.
bool SafeName(const char* name) {
    if (!*name || *name == '\\' || *name == '/') return false;
    for (const char* c = name; *c; ++c) {
        unsigned char byte = static_cast<unsigned char>(*c);
        if (byte < 0x20 || byte >= 0x80 || *c == ':' || *c == '/') return false;
    }
    std::string wrapped = std::string("\\") + name + "\\";
    return wrapped.find("\\..\\") == std::string::npos && wrapped.find("\\.\\") == std::string::npos &&
           wrapped.find("\\\\") == std::string::npos;
}

// The file's folders, each made new or found, then the file itself, which must not exist yet.
HANDLE CreateBelow(const std::wstring& folder, const char* name) {
    std::wstring path = folder + L"\\";
    for (const char* c = name; *c; ++c) {
        if (*c == '\\' && !::CreateDirectoryW(path.c_str(), nullptr) && ::GetLastError() != ERROR_ALREADY_EXISTS) {
            return INVALID_HANDLE_VALUE;
        }
        path += static_cast<wchar_t>(*c);
    }
    return ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
}

FNFDINOTIFY(Notify) {
    auto* extraction = static_cast<Extraction*>(pfdin->pv);
    switch (fdint) {
        case fdintCABINET_INFO:
        case fdintENUMERATE:
            return 0;
        case fdintCOPY_FILE: {
            if (!SafeName(pfdin->psz1)) {
                extraction->error = ERROR_INVALID_DATA;
                return -1;
            }
            HANDLE file = CreateBelow(*extraction->folder, pfdin->psz1);
            if (file == INVALID_HANDLE_VALUE) {
                extraction->error = ::GetLastError();
                return -1;
            }
            auto* stream = new Stream;
            stream->file = file;
            stream->error = &extraction->error;
            return reinterpret_cast<INT_PTR>(stream);
        }
        case fdintCLOSE_FILE_INFO:
            return Close(pfdin->hf) == 0 ? TRUE : FALSE;
        default:  // a payload is one cabinet: a file that goes on in another is damage
            extraction->error = ERROR_INVALID_DATA;
            return -1;
    }
}
}  // namespace

bool ExtractCabinet(const BYTE* data, size_t size, const std::wstring& folder, DWORD* error) {
    using CreateFn = HFDI(DIAMONDAPI*)(PFNALLOC, PFNFREE, PFNOPEN, PFNREAD, PFNWRITE, PFNCLOSE, PFNSEEK, int, PERF);
    using CopyFn = BOOL(DIAMONDAPI*)(HFDI, char*, char*, int, PFNFDINOTIFY, PFNFDIDECRYPT, void*);
    using DestroyFn = BOOL(DIAMONDAPI*)(HFDI);
    auto create = SystemFunction<CreateFn>("cabinet.dll", "FDICreate");
    auto copy = SystemFunction<CopyFn>("cabinet.dll", "FDICopy");
    auto destroy = SystemFunction<DestroyFn>("cabinet.dll", "FDIDestroy");
    if (!create || !copy || !destroy) {
        *error = ERROR_MOD_NOT_FOUND;
        return false;
    }
    Extraction extraction{data, size, &folder, ERROR_SUCCESS};
    ERF erf{};
    HFDI fdi = create(Allocate, Free, Open, Read, Write, Close, Seek, cpuUNKNOWN, &erf);
    if (!fdi) {
        *error = ERROR_NOT_ENOUGH_MEMORY;
        return false;
    }
    g_extraction = &extraction;
    char path[] = "";
    bool ok = copy(fdi, kCabinetName, path, 0, Notify, nullptr, &extraction) && extraction.error == ERROR_SUCCESS;
    g_extraction = nullptr;
    destroy(fdi);
    *error = ok ? ERROR_SUCCESS : extraction.error != ERROR_SUCCESS ? extraction.error : ERROR_INVALID_DATA;
    return ok;
}
