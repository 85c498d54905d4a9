// The cabinet is read from memory through cabinet.dll's FDI API (on every Windows), loaded from the system folder by
// full path: no decompressor's code is the program's own, and no cabinet.dll planted beside it is used.
#include "unpack/Cabinet.h"

#include <fdi.h>

#include "afx/SystemLibrary.h"

namespace {
// FDI names the cabinet it opens only by this name; the open callback has no other context.
char kCabinetName[] = "payload.cab";

// Every handle FDI holds: the cabinet in memory, or a file being written.
struct Stream {
    const BYTE* data;  // the cabinet; null for a written file
    size_t size;
    size_t position;
    HANDLE file;
    DWORD* error;  // where a failed write leaves Windows' error
};

struct Extraction {
    const BYTE* data;
    size_t size;
    const wchar_t* folder;  // null: the names are only checked, nothing is written
    DWORD error;
};
// The cabinet being read: FDI's open callback has no context of its own. One extraction at a time.
const Extraction* g_extraction = nullptr;

char Upper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

bool Equal(const char* one, const char* other) {
    while (*one && *one == *other) ++one, ++other;
    return *one == *other;
}

// Windows opens such a name as a device in every folder (RtlIsDosDeviceName_U): CON, PRN, AUX, NUL, COM1-COM9 and
// LPT1-LPT9, in any case, with whatever follows the first dot and whatever blanks stand before it. "NUL" swallows
// what is written; "COM3" may be the braille display itself.
bool DeviceName(const char* begin, const char* end) {
    const char* stop = begin;
    while (stop < end && *stop != '.') ++stop;
    while (stop > begin && stop[-1] == ' ') --stop;
    long length = stop - begin;
    if (length != 3 && length != 4) return false;
    const char kDevices[] = "CONPRNAUXNULCOMLPT";  // the last two with a digit 1-9 after them
    for (int device = 0; device < 6; ++device) {
        const char* candidate = kDevices + 3 * device;
        if (Upper(begin[0]) != candidate[0] || Upper(begin[1]) != candidate[1] || Upper(begin[2]) != candidate[2]) {
            continue;
        }
        return device < 4 ? length == 3 : length == 4 && begin[3] >= '1' && begin[3] <= '9';
    }
    return false;
}

FNALLOC(Allocate) { return ::HeapAlloc(::GetProcessHeap(), 0, cb); }
FNFREE(Free) { ::HeapFree(::GetProcessHeap(), 0, pv); }

INT_PTR NewStream(const BYTE* data, size_t size, HANDLE file, DWORD* error) {
    auto* stream = static_cast<Stream*>(Allocate(sizeof(Stream)));
    if (!stream) return -1;
    *stream = Stream{data, size, 0, file, error};
    return reinterpret_cast<INT_PTR>(stream);
}

FNOPEN(Open) {
    (void)oflag;
    (void)pmode;
    if (!g_extraction || !Equal(pszFile, kCabinetName)) return -1;  // only the cabinet itself is opened
    return NewStream(g_extraction->data, g_extraction->size, INVALID_HANDLE_VALUE, nullptr);
}

FNREAD(Read) {
    auto* stream = reinterpret_cast<Stream*>(hf);
    if (!stream->data) return static_cast<UINT>(-1);
    size_t left = stream->size - stream->position;
    UINT count = left < cb ? static_cast<UINT>(left) : cb;
    BYTE* to = static_cast<BYTE*>(pv);
    const BYTE* from = stream->data + stream->position;
    for (UINT i = 0; i < count; ++i) to[i] = from[i];
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
    Free(stream);
    return ok ? 0 : -1;
}

FNSEEK(Seek) {
    auto* stream = reinterpret_cast<Stream*>(hf);
    if (!stream->data) return -1;
    // A cabinet in memory is far below 2 GB: positions fit a long.
    long base = seektype == SEEK_CUR   ? static_cast<long>(stream->position)
                : seektype == SEEK_END ? static_cast<long>(stream->size)
                                       : 0;
    long target = base + dist;
    if (target < 0 || target > static_cast<long>(stream->size)) return -1;
    stream->position = static_cast<size_t>(target);
    return target;
}

// The file's folders, each made new or found, then the file itself, which must not exist yet. The name is safe.
HANDLE CreateBelow(const wchar_t* folder, const char* name, DWORD* error) {
    wchar_t path[MAX_PATH];
    int length = ::lstrlenW(folder);
    if (length + 1 + ::lstrlenA(name) >= MAX_PATH) {
        *error = ERROR_FILENAME_EXCED_RANGE;
        return INVALID_HANDLE_VALUE;
    }
    ::lstrcpyW(path, folder);
    path[length++] = L'\\';
    for (const char* c = name; *c; ++c) {
        path[length] = L'\0';
        if (*c == '\\' && !::CreateDirectoryW(path, nullptr) && ::GetLastError() != ERROR_ALREADY_EXISTS) {
            *error = ::GetLastError();
            return INVALID_HANDLE_VALUE;
        }
        path[length++] = static_cast<wchar_t>(*c);  // plain ASCII
    }
    path[length] = L'\0';
    HANDLE file = ::CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) *error = ::GetLastError();
    return file;
}

FNFDINOTIFY(Notify) {
    auto* extraction = static_cast<Extraction*>(pfdin->pv);
    switch (fdint) {
        case fdintCABINET_INFO:
        case fdintENUMERATE:
            return 0;
        case fdintCOPY_FILE: {
            if (!SafeEntryName(pfdin->psz1)) {
                extraction->error = ERROR_INVALID_DATA;
                return -1;
            }
            if (!extraction->folder) return 0;  // checked only: skipped
            HANDLE file = CreateBelow(extraction->folder, pfdin->psz1, &extraction->error);
            if (file == INVALID_HANDLE_VALUE) return -1;
            INT_PTR stream = NewStream(nullptr, 0, file, &extraction->error);
            if (stream == -1) {
                ::CloseHandle(file);
                extraction->error = ERROR_NOT_ENOUGH_MEMORY;
            }
            return stream;
        }
        case fdintCLOSE_FILE_INFO:
            return Close(pfdin->hf) == 0 ? TRUE : FALSE;
        default:  // a payload is one cabinet: a file that goes on in another is damage
            extraction->error = ERROR_INVALID_DATA;
            return -1;
    }
}

// One pass over the cabinet through FDI: every entry's name checked, and each file written below `folder` unless it
// is null.
bool Pass(const BYTE* data, size_t size, const wchar_t* folder, DWORD* error) {
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
    Extraction extraction{data, size, folder, ERROR_SUCCESS};
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
}  // namespace

bool SafeEntryName(const char* name) {
    const char* component = name;
    for (const char* c = name;; ++c) {
        if (*c == '\\' || !*c) {
            // Empty (a leading, doubled or last backslash), ending in a dot or a blank (Windows drops those, and "."
            // and ".." are such), or a device.
            if (c == component || c[-1] == '.' || c[-1] == ' ' || DeviceName(component, c)) return false;
            if (!*c) return true;
            component = c + 1;
            continue;
        }
        unsigned char byte = static_cast<unsigned char>(*c);
        if (byte < 0x20 || byte >= 0x80) return false;
        for (const char* forbidden = ":/<>\"|?*"; *forbidden; ++forbidden) {
            if (*c == *forbidden) return false;
        }
    }
}

bool CabinetNamesSafe(const BYTE* data, size_t size, DWORD* error) { return Pass(data, size, nullptr, error); }

bool ExtractCabinet(const BYTE* data, size_t size, const wchar_t* folder, DWORD* error) {
    return Pass(data, size, folder, error);
}
