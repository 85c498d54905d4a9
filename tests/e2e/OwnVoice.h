// The setup's own voice as the bench hears it: Windows' speech class treated as a recording voice, and the screen
// reader flag that keeps the setup silent. Under Wine only: on a PC the bench leaves Windows' speech alone.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace bench {

bool UnderWine();

// The speech voice class treated as the recording voice beside this program, which appends to `log` what it is
// asked; `installed` false: as a class that is not registered, as on a Windows without speech. Skips the scenario
// where it is not under Wine.
void UseRecordingVoice(const std::string& log, bool installed = true);

// One call the recording voice took: "say TEXT" (the text with its CR and LF, in the code page of the run, as the
// setup's messages are), "stop", or "voice TOKEN-ID".
struct VoiceCall {
    DWORD tick;  // GetTickCount when it was made
    std::string what;
};
std::vector<VoiceCall> VoiceCalls(const std::string& log);
// The texts it was asked to say, in order.
std::vector<std::string> SaidTexts(const std::string& log);

// SPI_SETSCREENREADER, as a screen reader sets it while it runs.
void SetScreenReaderFlag(bool running);

// Puts the speech class and the screen reader flag back as Wine has them (under Wine; nothing elsewhere).
void ResetVoice();

// The bytes of a WAV file of silence that plays this long.
std::string SilentWave(unsigned ms);

}  // namespace bench
