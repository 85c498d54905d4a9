// What the Window-Eyes update does per version class and per Windows family, as values, and the version rule.
#pragma once

#include <string>
#include <vector>

#include "app/OsFamily.h"

// One shipped file and where it goes. Destinations are formats whose %s is the Window-Eyes folder.
struct WindowEyesCopy {
    const char* source;        // a source-root pattern, "%s%supdate\\..."
    const char* firstChoice;   // gets the archive-only attributes after the copy
    const char* secondChoice;  // tried when the first choice fails; keeps the copy's attributes; nullptr: none
    const char* code;          // digits after the family's prefix when the row fails
};

struct WindowEyesClass {
    const char* name;                        // "6" or "7", as the detection names it
    std::vector<const char*> settingsFiles;  // WINEYES.INI destinations, in order of choice
    const char* settingsCode;                // when no settings file takes the port
    const char* driverName;                  // brailledrivername
    std::vector<WindowEyesCopy> copies;      // in the order they are made
};

struct WindowEyesFamily {
    const char* codePrefix;    // "VI" or "NT"
    const char* finalMessage;  // shown when the update succeeded
};

// "6", "7", or "" for a version the setup leaves alone.
std::string ClassifyWindowEyesVersion(const std::string& version);

// The class named by the detection; nullptr for any other name.
const WindowEyesClass* FindWindowEyesClass(const std::string& name);

const WindowEyesFamily& WindowEyesFamilyOf(Family family);

// What a running Window-Eyes holds or writes of what the update changes: its braille driver, loaded while it runs, and
// its settings files, written back as it exits. Full paths below its folder.
std::vector<std::string> WindowEyesHeldFiles(const WindowEyesClass& rules, const std::string& folder);

// The message of a failed step: the fixed text followed directly by the family's prefix and the step's digits.
std::string WindowEyesFailure(const WindowEyesFamily& family, const char* code);
