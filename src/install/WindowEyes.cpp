// Window-Eyes: detection and version class at the start of "Begin", and its configuration for the display at the end.
#include <windows.h>

#include <mmsystem.h>

#include "app/SetupDlg.h"
#include "afx/Text.h"
#include "install/WindowEyesRules.h"
#include "probe/OutsideComponents.h"
#include "probe/Sound.h"
#include "probe/SourceRoot.h"

namespace {
constexpr char kReadingFilesFailed[] =
    "Error!Reading files failed!\r\nPlease press ENTER and Kelvo Setup will be closed!";

constexpr char kUpdatingSound[] = "%s%supdate\\Updating.wav";
constexpr char kUpdatedSound[] = "%s%supdate\\WindowEyes.wav";
constexpr DWORD kPauseAfterUpdatingSound = 100;

constexpr char kDriverSection[] = "driver";
constexpr char kPortKey[] = "brailleport";
constexpr char kDriverNameKey[] = "brailledrivername";

// The first settings file that takes the port gets the driver name too. A settings folder that doesn't exist
// makes the write fail, which is how the right one is found; the driver name's own result doesn't count.
bool WriteDriverSettings(const WindowEyesClass& versionClass, const std::string& folder, const std::string& port) {
    for (const char* format : versionClass.settingsFiles) {
        std::string file = FormatText(format, folder.c_str());
        if (!::WritePrivateProfileStringA(kDriverSection, kPortKey, port.c_str(), file.c_str())) continue;
        ::WritePrivateProfileStringA(kDriverSection, kDriverNameKey, versionClass.driverName, file.c_str());
        return true;
    }
    return false;
}

// Overwrites the destination. A first-choice copy is made writable (archive only), since the source may come
// from read-only media; the second choice is a fallback folder and keeps the copy as it is.
bool CopyShippedFile(const WindowEyesCopy& row, const std::string& folder) {
    std::string source = SourcePath(row.source);
    std::string first = FormatText(row.firstChoice, folder.c_str());
    if (::CopyFileA(source.c_str(), first.c_str(), FALSE)) {
        ::SetFileAttributesA(first.c_str(), FILE_ATTRIBUTE_ARCHIVE);
        return true;
    }
    if (!row.secondChoice) return false;
    std::string second = FormatText(row.secondChoice, folder.c_str());
    return ::CopyFileA(source.c_str(), second.c_str(), FALSE) != FALSE;
}
}  // namespace

bool CSetupDlg::DetectWindowEyes(std::string& folder, std::string& versionClass) {
    versionClass.clear();
    std::string path;
    if (!ReadRegistryString(kWindowEyesKey, kWindowEyesPathValue, path)) return false;
    folder = path;

    std::string version;
    if (!ReadRegistryString(kWindowEyesKey, kWindowEyesVersionValue, version)) {
        m_prompts.TellAndEnd(kReadingFilesFailed);
        return false;
    }
    versionClass = ClassifyWindowEyesVersion(version);
    return !versionClass.empty();
}

// Window-Eyes reads these settings when it next starts; the caller has made sure it is closed. Every path ends
// the process: nothing done before a failure is undone.
void CSetupDlg::UpdateWindowEyes(const std::string& folder, const std::string& versionClass,
                                 const std::string& portName, Family family) {
    const WindowEyesClass* rules = FindWindowEyesClass(versionClass);
    if (!rules) return;  // only the detection's classes are ever passed; anything else touches nothing
    const WindowEyesFamily& messages = WindowEyesFamilyOf(family);

    PlayWave(SourcePath(kUpdatingSound).c_str(), SND_SYNC);
    ::Sleep(kPauseAfterUpdatingSound);

    if (!WriteDriverSettings(*rules, folder, portName)) {
        m_prompts.TellAndEnd(WindowEyesFailure(messages, rules->settingsCode));
        return;
    }
    for (const WindowEyesCopy& row : rules->copies) {
        if (!CopyShippedFile(row, folder)) {
            m_prompts.TellAndEnd(WindowEyesFailure(messages, row.code));
            return;
        }
    }

    // The final message is heard after the sound, not over it, where the setup speaks it itself.
    std::string updated = SourcePath(kUpdatedSound);
    if (PlayWave(updated.c_str(), SND_ASYNC)) m_prompts.SpeakAfterSound(WaveLengthMs(updated.c_str()));
    m_prompts.TellAndEnd(messages.finalMessage);
}
