// The version classes and Windows families of the Window-Eyes update, and how a version text is classified.
#include "install/WindowEyesRules.h"

#include <cctype>
#include <cstdlib>

#include "afx/Text.h"

namespace {
constexpr char kDriverSource[] = "%s%supdate\\webrloem107.dll";
constexpr char kCompanionSource[] = "%s%supdate\\bdisplay.exe";
constexpr char kBraille6Source[] = "%s%supdate\\WindowEyes6\\braille.ini";
constexpr char kBraille7Source[] = "%s%supdate\\WindowEyes7\\braille.ini";

constexpr char kDriverDestination[] = "%s\\webrloem107.dll";

// Version 7 keeps its settings in users\default, or in users.bak\default when that is the one that exists.
const WindowEyesClass kClass7 = {
    "7",
    {"%s\\users\\default\\WINEYES.INI", "%s\\users.bak\\default\\WINEYES.INI"},
    "71",
    "oem107",
    {
        {kDriverSource, kDriverDestination, nullptr, "2"},
        {kBraille7Source, "%s\\users\\default\\braille.ini", "%s\\users.bak\\default\\braille.ini", "72"},
    },
};

// Both classes get the same driver file, but version 6 knows it by its full name and needs the companion.
const WindowEyesClass kClass6 = {
    "6",
    {"%s\\Users\\Default\\WINEYES.INI"},
    "61",
    "webrloem107",
    {
        {kDriverSource, kDriverDestination, nullptr, "2"},
        {kCompanionSource, "%s\\bdisplay.exe", nullptr, "62"},
        {kBraille6Source, "%s\\Users\\Default\\braille.ini", nullptr, "63"},
    },
};

constexpr char kFailurePrefix[] =
    "ERROR!Driver installed successfully but Window-Eyes updated unsuccessfully!\r\nPlease press ENTER to finish. "
    "Error Code: ";

// The blank before ENTER is an ideographic space in code page 936 (bytes A1 A1). The literal is split so
// that E is not read as a third hex digit.
constexpr WindowEyesFamily kVista = {
    "VI",
    "Congratulations!Kelvo Braille Display setup has been completed successfully,please press\xA1\xA1"
    "ENTER to finish.\r\nThen restart Window-eyes.",
};
constexpr WindowEyesFamily kNt = {
    "NT",
    "Congratulations! Kelvo Braille Display setup has been completed successfully,press ENTER to finish!\r\nThen "
    "restart Window-eyes.",
};

// The leading whole number as atoi reads it: blanks, a sign, decimal digits; 0 when there are none. Saturates
// instead of overflowing, which no version text near 6 can notice.
long LeadingWholeNumber(const std::string& text) { return std::strtol(text.c_str(), nullptr, 10); }

// The leading decimal number as atof reads it. Only decimal notation counts: strtod alone would also take hex,
// "inf" and "nan", which the runtime the rule comes from never read.
double LeadingDecimalNumber(const std::string& text) {
    size_t i = 0;
    auto digits = [&]() {
        size_t start = i;
        while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i]))) ++i;
        return i - start;
    };
    while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) ++i;
    size_t start = i;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
    size_t mantissa = digits();
    if (i < text.size() && text[i] == '.') {
        ++i;
        mantissa += digits();
    }
    if (mantissa == 0) return 0.0;
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        size_t beforeExponent = i++;
        if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
        if (digits() == 0) i = beforeExponent;
    }
    return std::strtod(text.substr(start, i - start).c_str(), nullptr);
}

constexpr double kLowest7 = 7.0;
constexpr double kHighest7 = 7.11;
}  // namespace

std::string ClassifyWindowEyesVersion(const std::string& version) {
    if (LeadingWholeNumber(version) == 6) return kClass6.name;
    double number = LeadingDecimalNumber(version);
    if (number >= kLowest7 && number <= kHighest7) return kClass7.name;
    return "";
}

const WindowEyesClass* FindWindowEyesClass(const std::string& name) {
    if (name == kClass7.name) return &kClass7;
    if (name == kClass6.name) return &kClass6;
    return nullptr;
}

const WindowEyesFamily& WindowEyesFamilyOf(Family family) { return family == Family::Vista ? kVista : kNt; }

std::vector<std::string> WindowEyesHeldFiles(const WindowEyesClass& rules, const std::string& folder) {
    std::vector<std::string> files{FormatText(kDriverDestination, folder.c_str())};
    for (const char* settings : rules.settingsFiles) files.push_back(FormatText(settings, folder.c_str()));
    return files;
}

std::string WindowEyesFailure(const WindowEyesFamily& family, const char* code) {
    return std::string(kFailurePrefix) + family.codePrefix + code;
}
