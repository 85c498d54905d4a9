// Loads winmm by its full path in the system folder, so that a DLL planted beside the setup is never used.
#include "probe/Sound.h"

#include <windows.h>

#include <cstdint>
#include <cstring>

#include "afx/SystemLibrary.h"

bool PlayWave(const char* file, unsigned flags) {
    using PlaySoundFn = BOOL(WINAPI*)(LPCSTR, HMODULE, DWORD);
    static const PlaySoundFn play = SystemFunction<PlaySoundFn>("winmm.dll", "PlaySoundA");
    return play && play(file, nullptr, flags);
}

namespace {
std::uint32_t LittleEndian32(const unsigned char* bytes) {
    return bytes[0] | bytes[1] << 8 | bytes[2] << 16 | static_cast<std::uint32_t>(bytes[3]) << 24;
}

bool ReadExactly(HANDLE file, void* buffer, DWORD size) {
    DWORD read = 0;
    return ::ReadFile(file, buffer, size, &read, nullptr) && read == size;
}

// Walks the RIFF chunks: the format chunk gives the bytes a second, the data chunk the bytes of sound. A chunk of
// odd size is followed by a pad byte.
unsigned WaveLengthOf(HANDLE file) {
    unsigned char header[12];
    if (!ReadExactly(file, header, sizeof header) || std::memcmp(header, "RIFF", 4) != 0 ||
        std::memcmp(header + 8, "WAVE", 4) != 0) {
        return 0;
    }
    std::uint32_t bytesPerSecond = 0;
    unsigned char chunk[8];
    while (ReadExactly(file, chunk, sizeof chunk)) {
        std::uint32_t size = LittleEndian32(chunk + 4);
        if (std::memcmp(chunk, "data", 4) == 0) {
            return bytesPerSecond ? static_cast<unsigned>(static_cast<std::uint64_t>(size) * 1000 / bytesPerSecond) : 0;
        }
        if (std::memcmp(chunk, "fmt ", 4) == 0 && size >= 16) {
            unsigned char format[16];
            if (!ReadExactly(file, format, sizeof format)) return 0;
            bytesPerSecond = LittleEndian32(format + 8);
            size -= sizeof format;
        }
        LARGE_INTEGER skip;
        skip.QuadPart = static_cast<LONGLONG>(size) + (size & 1);
        if (!::SetFilePointerEx(file, skip, nullptr, FILE_CURRENT)) return 0;
    }
    return 0;
}
}  // namespace

unsigned WaveLengthMs(const char* file) {
    HANDLE handle = ::CreateFileA(file, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return 0;
    unsigned length = WaveLengthOf(handle);
    ::CloseHandle(handle);
    return length;
}
