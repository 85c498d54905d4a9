// The simulated PCs of the demo: registry values and folders of the forms a real installation has.
#include "SimulatedPc.h"

#include "Bench.h"

namespace demo {

namespace {
const Profile kProfiles[] = {
    {"nt", false, "7.01", false, true, false, false},         {"vista", true, "7.1", false, true, false, false},
    {"none", false, "", false, false, false, false},          {"we6", false, "6.1", false, true, false, false},
    {"werunning", false, "7.01", true, true, false, false},   {"wefail", false, "7.01", true, true, false, true},
    {"dolphinfail", false, "7.01", false, true, true, false},
};

constexpr char kWineyesIni[] =
    "; Window-Eyes user settings\r\n[general]\r\nverbosity=2\r\nlanguage=enu\r\n\r\n[driver]\r\nspeechdriver=sapi5\r\n"
    "brailleport=none\r\n\r\n[keyboard]\r\nlayout=desktop\r\n";
}  // namespace

bool FindProfile(const std::string& name, Profile& profile) {
    for (const Profile& candidate : kProfiles) {
        if (candidate.name == name) {
            profile = candidate;
            return true;
        }
    }
    return false;
}

const char* ProfileNames() { return "nt, vista, none, we6, werunning, wefail, dolphinfail"; }

const char* ScreenReader(const Profile& profile) { return profile.windowEyesRunning ? "Window-Eyes" : "Narrator"; }

const char* DeviceKey(const Profile& profile) { return profile.vista ? bench::kVistaDeviceKey : bench::kNtDeviceKey; }

void PlugInDisplay(const Profile& profile, const std::string& port) {
    bench::SetMachineString(DeviceKey(profile), "PortName", port);
}

void LayOut(const Profile& profile) {
    bench::ResetMachine();
    bench::RemoveTree(kWindowEyesFolder);
    bench::RemoveTree(kDolphinFolder);
    bench::RemoveTree(std::string("C:\\Users\\") + kOwner);
    bench::SetMachineString(bench::kWindowsNtKey, "ProductName",
                            profile.vista ? "Windows Vista (TM) Home Premium" : "Windows 7 Professional");
    bench::SetMachineString(bench::kWindowsNtKey, "RegisteredOwner", kOwner);

    if (!profile.windowEyes.empty()) {
        const char* users = profile.windowEyes[0] == '6' ? "\\Users\\Default" : "\\users\\default";
        bench::MakeFolders(std::string(kWindowEyesFolder) + users);
        bench::WriteFileBytes(std::string(kWindowEyesFolder) + users + "\\WINEYES.INI", kWineyesIni);
        const char* key = "SOFTWARE\\GW Micro, Inc.\\Window-Eyes\\Professional";
        bench::SetMachineString(key, "Path", kWindowEyesFolder);
        bench::SetMachineString(key, "Version", profile.windowEyes);
        if (profile.windowEyesDriverReadOnly) {
            // Left by an earlier installation; the wizard's copy over it fails, as on Windows.
            std::string driver = std::string(kWindowEyesFolder) + "\\webrloem107.dll";
            bench::WriteFileBytes(driver, "Window-Eyes braille driver oem107, an earlier version\r\n");
            ::SetFileAttributesA(driver.c_str(), FILE_ATTRIBUTE_READONLY);
        }
    }

    if (profile.dolphin) {
        std::string dolphin = kDolphinFolder;
        bench::MakeFolders(dolphin + "\\Sam");
        if (!profile.dolphinBroken) bench::MakeFolders(dolphin + "\\Hal1002\\Settings");
        bench::MakeFolders(std::string("C:\\Users\\") + kOwner + "\\AppData\\Local\\dolphin\\Hal1101\\Settings");
        const char* root = profile.vista ? "SOFTWARE\\Wow6432Node\\Dolphin" : "SOFTWARE\\Dolphin";
        bench::SetMachineString(root, "FullAccess", "1");
        bench::SetMachineString("SOFTWARE\\Dolphin\\DolServe", "Orpheus2", dolphin + "\\DolServe\\dolserve.exe");
        bench::SetMachineString("SOFTWARE\\Wow6432Node\\Dolphin\\ScriptEditor\\Capabilities", "ApplicationIcon",
                                dolphin + "\\Hal1101\\scripted.exe");
    }
}

}  // namespace demo
