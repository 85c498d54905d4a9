// The recording voice's registration, its log read back, and the screen reader flag.
#include "OwnVoice.h"

#include <gtest/gtest.h>

#include "Bench.h"
#include "MachineRegistry.h"

namespace bench {

namespace {
// TreatAs below the voice class sends its CoCreateInstance to the recording voice's own class, so the bench never
// changes the voice class's registration itself: taking TreatAs away puts Windows' speech back.
constexpr char kVoiceTreatAs[] = "SOFTWARE\\Classes\\CLSID\\{96749377-3391-11D2-9EE3-00C04F797396}\\TreatAs";
constexpr char kRecordingClass[] = "{5C7D8E21-4B3A-4F0E-9A61-2E6B1D0C9F47}";
const std::string kRecordingKey = std::string("SOFTWARE\\Classes\\CLSID\\") + kRecordingClass;

void Append32(std::string& bytes, DWORD value) {
    for (int i = 0; i < 4; ++i) bytes += static_cast<char>(value >> (8 * i) & 0xFF);
}
}  // namespace

bool UnderWine() { return ::GetProcAddress(::GetModuleHandleA("ntdll.dll"), "wine_get_version") != nullptr; }

void UseRecordingVoice(const std::string& log, bool installed) {
    if (!UnderWine()) GTEST_SKIP() << "the setup's own voice is heard through a recording voice under Wine only";
    if (installed) {
        SetMachineString(kRecordingKey + "\\InprocServer32", "", ProgramFolder() + "\\recording-voice.dll");
        SetMachineString(kRecordingKey + "\\InprocServer32", "ThreadingModel", "Both");
    } else {
        SetMachineString(kRecordingKey, "", "a voice class that is not registered");
    }
    SetMachineString(kVoiceTreatAs, "", kRecordingClass);
    ::SetEnvironmentVariableA("KELVO_VOICE_LOG", log.c_str());
}

std::vector<VoiceCall> VoiceCalls(const std::string& log) {
    std::vector<VoiceCall> calls;
    std::string text = ReadFileBytes(log);
    for (std::size_t start = 0; start < text.size();) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(start, end - start);
        start = end + 1;
        std::size_t blank = line.find(' ');
        if (blank == std::string::npos) continue;
        std::string what;
        for (std::size_t i = blank + 1; i < line.size(); ++i) {
            bool escape = line[i] == '\\' && i + 1 < line.size() && (line[i + 1] == 'r' || line[i + 1] == 'n');
            what += escape ? (line[++i] == 'r' ? '\r' : '\n') : line[i];
        }
        calls.push_back(
            {static_cast<DWORD>(std::stoul(line.substr(0, blank))), machine::Ansi(machine::FromUtf8(what))});
    }
    return calls;
}

std::vector<std::string> SaidTexts(const std::string& log) {
    std::vector<std::string> texts;
    for (const VoiceCall& call : VoiceCalls(log)) {
        if (call.what.rfind("say ", 0) == 0) texts.push_back(call.what.substr(4));
    }
    return texts;
}

// Written to the user's settings as well, so that the setup, another process, reads it under Wine too.
void SetScreenReaderFlag(bool running) {
    ASSERT_TRUE(::SystemParametersInfoA(SPI_SETSCREENREADER, running, nullptr, SPIF_UPDATEINIFILE | SPIF_SENDCHANGE));
}

void ResetVoice() {
    if (!UnderWine()) return;
    DeleteMachineTree(kVoiceTreatAs);
    DeleteMachineTree(kRecordingKey);
    SetScreenReaderFlag(false);
    ::SetEnvironmentVariableA("KELVO_VOICE_LOG", nullptr);
}

// 8-bit mono at 8000 Hz: a byte a sample, 128 is silence.
std::string SilentWave(unsigned ms) {
    const DWORD rate = 8000;
    const DWORD samples = rate * ms / 1000;
    std::string wave = "RIFF";
    Append32(wave, 36 + samples);
    wave += "WAVEfmt ";
    Append32(wave, 16);
    wave += std::string("\x01\x00\x01\x00", 4);  // PCM, one channel
    Append32(wave, rate);
    Append32(wave, rate);                        // bytes a second
    wave += std::string("\x01\x00\x08\x00", 4);  // one byte a frame, 8 bits a sample
    wave += "data";
    Append32(wave, samples);
    return wave + std::string(samples, '\x80');
}

}  // namespace bench
