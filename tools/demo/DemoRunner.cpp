// The demo: runs the real wizard on a simulated PC and presses through it as a blind user would, writing a
// transcript of what the screen reader speaks, a screenshot of every dialog and the changes the run made. Every
// line carries its time in the run; timeline.txt gives the tick count of the start and when each text was spoken,
// from which the demo script lays the session's soundtrack.
// Usage: kelvo_demo.exe PROFILE SETUP-FOLDER OUT-FOLDER [interactive]
#include <windows.h>

#include <cstdio>
#include <fstream>
#include <memory>
#include <sstream>

#include "Bench.h"
#include "MachineRegistry.h"
#include "OwnVoice.h"
#include "ScreenReader.h"
#include "Screenshot.h"
#include "SimulatedPc.h"

using namespace bench;

namespace {
std::string g_voiceLog;  // what the setup's own voice says, written by the recording voice
std::string VoiceLog() { return g_voiceLog; }

constexpr DWORD kUserDelayMs = 3000;    // how long the user takes to plug in the display or close Window-Eyes
constexpr DWORD kReadingMs = 400;       // least time to take in a message before answering it
constexpr DWORD kSpeechMsPerChar = 60;  // a speech synthesizer's default pace, about 175 words a minute

// The user hears a message out before answering it.
DWORD HearingTime(const std::string& text) {
    DWORD speech = static_cast<DWORD>(text.size()) * kSpeechMsPerChar;
    return speech > kReadingMs ? speech : kReadingMs;
}

std::string OneLine(std::string text);

class Transcript {
public:
    Transcript(const std::string& folder)
        : m_folder(folder),
          m_start(::GetTickCount()),
          m_out(folder + "\\transcript.txt", std::ios::binary),
          m_timeline(folder + "\\timeline.txt", std::ios::binary) {
        m_timeline << "start " << m_start << "\n";
    }

    void Line(const std::string& text) {
        DWORD ms = ::GetTickCount() - m_start;
        char stamp[24];
        std::snprintf(stamp, sizeof stamp, "[%02lu:%02lu.%lu] ", static_cast<unsigned long>(ms / 60000),
                      static_cast<unsigned long>(ms / 1000 % 60), static_cast<unsigned long>(ms / 100 % 10));
        std::string line = text.empty() ? text : stamp + text;
        m_out << line << "\r\n";
        m_out.flush();
        std::printf("%s\n", line.c_str());
        std::fflush(stdout);
    }
    // What the screen reader says: the dialog's title, then the focused field's text, one line at a time.
    void Spoken(const std::string& text) {
        std::ofstream spoken(m_folder + "\\spoken.txt", std::ios::binary | std::ios::app);
        spoken << text << "\n";
        Event("speak", text);
    }
    // The screen reader falls silent (the user closed it), a prompt opens that no one hears, the setup's own voice
    // speaks, the wizard ends: the soundtrack cuts the speech at the first, names at the second what the user hears
    // instead, speaks the third in a voice of its own, and lasts until the fourth. `at`: a tick count of the run.
    void Event(const std::string& kind, const std::string& text = "", DWORD at = ::GetTickCount()) {
        m_timeline << kind << " " << at - m_start << (text.empty() ? "" : " " + OneLine(text)) << "\n";
        m_timeline.flush();
    }
    std::string Shot(HWND window, const std::string& name) {
        // Saved as BMP; the demo script turns each into the PNG that the transcript names.
        char file[64];
        std::snprintf(file, sizeof file, "%02d-%s", ++m_shots, name.c_str());
        SaveScreenshot(window, m_folder + "\\" + file + ".bmp");
        return std::string(file) + ".png";
    }

private:
    std::string m_folder;
    DWORD m_start;
    std::ofstream m_out;
    std::ofstream m_timeline;
    int m_shots = 0;
};

std::string OneLine(std::string text) {
    for (char& c : text) {
        if (c == '\r' || c == '\n') c = ' ';
    }
    return text;
}

std::string Quoted(const std::string& text) {
    std::string result = "\"";
    for (char c : text) {
        if (c == '\r') continue;
        result += c == '\n' ? std::string(" / ") : std::string(1, c);
    }
    return result + "\"";
}

void ListFiles(Transcript& transcript, const std::string& folder, const std::string& label) {
    WIN32_FIND_DATAA found;
    HANDLE search = ::FindFirstFileA((folder + "\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return;
    do {
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
        transcript.Line("  " + label + "\\" + found.cFileName + " (" + std::to_string(found.nFileSizeLow) + " bytes" +
                        ((found.dwFileAttributes & FILE_ATTRIBUTE_READONLY) ? ", read-only" : "") + ")");
    } while (::FindNextFileA(search, &found));
    ::FindClose(search);
}

void WriteChanges(Transcript& transcript, const demo::Profile& profile) {
    transcript.Line("");
    transcript.Line("The screen readers' settings and files after the run:");
    if (profile.windowEyes.empty() && !profile.dolphin) transcript.Line("  none: there is no screen reader to set up");
    if (!profile.windowEyes.empty()) {
        std::string settings = profile.windowEyes[0] == '6' ? "\\Users\\Default" : "\\users\\default";
        std::string users = demo::kWindowEyesFolder + settings;
        std::string ini = users + "\\WINEYES.INI";
        transcript.Line("  WINEYES.INI [driver] brailleport=" + IniValue(ini, "driver", "brailleport", "(none)") +
                        " brailledrivername=" + IniValue(ini, "driver", "brailledrivername", "(none)"));
        ListFiles(transcript, demo::kWindowEyesFolder, "Window-Eyes");
        ListFiles(transcript, users, "Window-Eyes" + settings);
    }
    if (profile.dolphin) {
        std::string dolphin = demo::kDolphinFolder;
        for (const char* hal : {"\\Hal1002\\Settings", "\\Hal1101\\Settings", "\\Hal1003\\Settings"}) {
            ListFiles(transcript, dolphin + hal, std::string("Dolphin") + hal);
        }
        ListFiles(transcript,
                  std::string("C:\\Users\\") + demo::kOwner + "\\AppData\\Local\\dolphin\\Hal1101\\Settings",
                  "AppData\\Local\\dolphin\\Hal1101\\Settings");
        ListFiles(transcript, dolphin + "\\Sam\\kelvo", "Dolphin\\Sam\\kelvo");
    }
}

// The next text the setup's own voice says, as a user waiting in silence hears it; empty when it says nothing
// within that wait.
std::string NextOwnVoice() {
    static std::size_t heard = 0;
    for (DWORD start = ::GetTickCount(); ::GetTickCount() - start < kUserDelayMs; ::Sleep(20)) {
        std::vector<std::string> said = SaidTexts(VoiceLog());
        if (said.size() > heard) return machine::Utf8(machine::Wide(said[heard++]));
    }
    return "";
}

// The next prompt dialog of the wizard, ready with the focus in its field; none once the wizard has ended.
Window NextPrompt(const Wizard& wizard, HWND previous) {
    for (DWORD start = ::GetTickCount(); ::GetTickCount() - start < 120000; ::Sleep(10)) {
        for (HWND hwnd : wizard.Windows("Kelvo:Caution")) {
            if (hwnd == previous || !::IsWindowVisible(hwnd)) continue;
            Window prompt(hwnd);
            for (int i = 0; i < 200 && prompt.Focus().Handle() != prompt.Control(1002).Handle(); ++i) ::Sleep(10);
            return prompt;
        }
        if (!wizard.Running()) break;
    }
    return Window();
}

// Answers one prompt as the user would: a message is heard and answered with ENTER; during a wait the user
// does what it asks (plugs in the display, closes Window-Eyes) and presses ENTER if it does not close itself.
// Once the user has closed the screen reader it listens with, nothing is read aloud any more: the user waits
// in silence and then presses ENTER, the one key (besides ESC) that closes a message it cannot hear.
void Answer(Transcript& transcript, const Window& prompt, const demo::Profile& profile, WindowEyesProgram* windowEyes,
            bool pressKeys) {
    std::string text = prompt.Control(1002).Text();
    PromptReading reading = ReadPrompt(prompt);
    // What the screen reader speaks: the field's value as MSAA gives it, else the field's own text.
    std::string shown = machine::Utf8(reading.msaaAnswered ? reading.msaaValue : reading.fieldText);
    bool wait = !prompt.Control(IDOK).Visible();
    // Narrator speaks to the end; Window-Eyes only until the user closes it.
    bool heard = std::string(demo::ScreenReader(profile)) != "Window-Eyes" || (windowEyes && windowEyes->Exists());
    std::string shot = transcript.Shot(prompt.Handle(), wait ? "wait-prompt" : "message-prompt");
    std::string line = std::string(wait ? "Wait prompt" : "Message prompt") + " [" + shot + "], " +
                       (reading.fieldFocused && reading.wholeSelected ? "focused field, whole text selected"
                                                                      : "FOCUS OR SELECTION MISSING");
    std::string voice;
    if (heard) {
        transcript.Line(line + "; the screen reader reads " + Quoted(shown));
        transcript.Spoken(shown);
        ::Sleep(HearingTime(shown));
    } else {
        DWORD opened = ::GetTickCount();
        transcript.Line(line + "; no screen reader is running. It shows " + Quoted(shown));
        voice = NextOwnVoice();
        if (!voice.empty()) {
            transcript.Line("  the setup's own voice says " + Quoted(voice));
            transcript.Event("voice", voice);
            ::Sleep(HearingTime(voice));
        } else {
            transcript.Line("  Nothing speaks it: the message is not heard.");
            transcript.Event("unheard", "", opened);
        }
    }
    if (wait && text.find("connect") != std::string::npos) {
        ::Sleep(kUserDelayMs);
        demo::PlugInDisplay(profile, "COM3");
        transcript.Line("  The user plugs in the display; Windows registers it as COM3.");
    } else if (wait && text.find("Window-eyes") != std::string::npos && windowEyes) {
        ::Sleep(kUserDelayMs);
        windowEyes->Close();
        transcript.Line(
            "  The user closes Window-Eyes, the screen reader it listens with: from now on no screen reader runs.");
        transcript.Event("silent");
    }
    if (wait && prompt.WaitGone(1500)) {
        transcript.Line("  The prompt closes by itself.");
        return;
    }
    if (!pressKeys) {
        prompt.WaitGone(INFINITE);
        return;
    }
    prompt.PressEnter();
    prompt.WaitGone();
    transcript.Line(heard || !voice.empty()
                        ? "  The user presses ENTER."
                        : "  After the silence the user presses ENTER: the unheard message has the focus, and closing "
                          "it ends the wizard.");
}
}  // namespace

int main(int argc, char** argv) {
    demo::Profile profile;
    if (argc < 4 || !demo::FindProfile(argv[1], profile)) {
        std::fprintf(stderr, "usage: kelvo_demo PROFILE SETUP-FOLDER OUT-FOLDER [interactive]\nprofiles: %s\n",
                     demo::ProfileNames());
        return 2;
    }
    // The user runs the setup from a folder of its own, as unpacked from the shipped archive.
    std::string setup = "C:\\Kelvo setup";
    RemoveTree(setup);
    CopyTree(argv[2], setup);
    Transcript transcript(argv[3]);
    bool interactive = argc > 4 && std::string(argv[4]) == "interactive";

    demo::LayOut(profile);
    // Windows' speech, where the setup speaks for itself, is heard through the recording voice.
    g_voiceLog = std::string(argv[3]) + "\\voice.log";
    UseRecordingVoice(g_voiceLog);
    transcript.Line("Kelvo braille display setup, demo profile \"" + profile.name +
                    "\": " + (profile.vista ? "Windows Vista" : "Windows 7") + ", " +
                    (profile.windowEyes.empty() ? "no Window-Eyes" : "Window-Eyes " + profile.windowEyes) +
                    (profile.windowEyesRunning ? " (running: the screen reader the user listens with)" : "") +
                    (profile.windowEyesDriverReadOnly ? " with a read-only braille driver of an earlier version" : "") +
                    ", " +
                    (profile.dolphin ? (profile.dolphinBroken ? "Dolphin without its settings folders" : "Dolphin")
                                     : "no Dolphin") +
                    ", display not plugged in.");
    std::unique_ptr<WindowEyesProgram> windowEyes;
    if (profile.windowEyesRunning) windowEyes = std::make_unique<WindowEyesProgram>();

    Wizard wizard({setup, "", "", "", false});
    Window main = wizard.WaitMain();
    if (!main.Exists()) return 1;
    ::Sleep(kReadingMs);  // let it paint
    std::string shot = transcript.Shot(main.Handle(), "main-window");
    transcript.Line("Main window \"setup 3.09.12.16\" [" + shot + "], focus on " + Quoted(main.Focus().Text()) +
                    "; \"Read Virtual COM Port\" is " + (main.Control(1001).Enabled() ? "enabled" : "disabled") + ".");
    std::string heard = "setup 3.09.12.16. " + main.Focus().Text() + " button.";
    transcript.Spoken(heard);
    if (interactive) {
        transcript.Line("  Your turn: work the wizard with the keyboard; the display is plugged in for you.");
    } else {
        ::Sleep(HearingTime(heard));
        main.PressEnter();
        transcript.Line("  The user presses ENTER on \"Begin\".");
    }

    HWND previous = nullptr;
    while (wizard.Running()) {
        Window prompt = NextPrompt(wizard, previous);
        if (!prompt.Handle()) break;
        previous = prompt.Handle();
        Answer(transcript, prompt, profile, windowEyes.get(), !interactive);
    }
    DWORD code = wizard.WaitExit();
    transcript.Event("end");
    transcript.Line("The wizard ended with exit code " + std::to_string(code) + ".");
    WriteChanges(transcript, profile);
    ResetVoice();
    return code == 4 ? 0 : 1;
}
