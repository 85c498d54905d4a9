// A simulated PC for the demo and the benchmarks: Windows of a chosen family, a Window-Eyes installation, a
// Dolphin installation, and a display that the user plugs in while the wizard waits.
#pragma once

#include <string>

namespace demo {

struct Profile {
    std::string name;
    bool vista = false;                     // the Windows family
    std::string windowEyes;                 // Window-Eyes' version, empty: no Window-Eyes
    bool windowEyesRunning = false;         // ...and the user's screen reader, until the user closes it when asked
    bool dolphin = true;                    // a Dolphin installation with its Hal and Sam folders
    bool dolphinBroken = false;             // ...whose settings folders are missing
    bool windowEyesDriverReadOnly = false;  // an earlier, read-only braille driver in Window-Eyes' folder
};

// The screen reader the user hears the wizard through: Window-Eyes where it runs (one screen reader at a time),
// otherwise Windows' own Narrator, which the wizard never asks to close.
const char* ScreenReader(const Profile& profile);

// The profiles of `make demo PROFILE=...`; false for an unknown name.
bool FindProfile(const std::string& name, Profile& profile);
const char* ProfileNames();

// Where the simulated installations live on C:.
constexpr char kWindowEyesFolder[] = "C:\\Program Files\\GW Micro\\Window-Eyes";
constexpr char kDolphinFolder[] = "C:\\Program Files\\Dolphin";
constexpr char kOwner[] = "demo-user";

// Lays out the registry and folders of the profile (after a reset of every key the wizard reads).
void LayOut(const Profile& profile);

// What Windows registers once the display is plugged in: its port below the family's device key.
void PlugInDisplay(const Profile& profile, const std::string& port);

// The device key that the family's wizard reads.
const char* DeviceKey(const Profile& profile);

}  // namespace demo
