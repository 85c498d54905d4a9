// The Window-Eyes rules alone: which versions are configured as which class, and the tables of the classes and
// families that the update runs over, and how long the sound before the final message plays.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>

#include "install/WindowEyesRules.h"
#include "probe/Sound.h"

namespace {
TEST(WindowEyesVersion, SixByItsLeadingWholeNumber) {
    for (const char* version : {"6", "6.0", "6.5", "6.99", " 6", "\t6.1", "+6", "06", "6abc", "6.1 build 3"}) {
        EXPECT_EQ("6", ClassifyWindowEyesVersion(version)) << version;
    }
    EXPECT_EQ("", ClassifyWindowEyesVersion("-6"));
    EXPECT_EQ("", ClassifyWindowEyesVersion("v6"));
    EXPECT_EQ("", ClassifyWindowEyesVersion("60"));
}

TEST(WindowEyesVersion, SevenFromSevenUpToSevenPointElevenInclusive) {
    for (const char* version : {"7", "7.0", "7.01", "7.1", "7.11", "7.110", " 7.05", "+7.1", "7.11beta", "70e-1"}) {
        EXPECT_EQ("7", ClassifyWindowEyesVersion(version)) << version;
    }
    for (const char* version : {"7.12", "7.111", "7.2", "8.0", "6999e-3", "-7"}) {
        EXPECT_EQ("", ClassifyWindowEyesVersion(version)) << version;
    }
}

TEST(WindowEyesVersion, EverythingElseIsLeftAlone) {
    for (const char* version : {"5.5", "", " ", "text", "Window-Eyes 7", ".", "e7", "0x7", "inf", "nan", "9.0"}) {
        EXPECT_EQ("", ClassifyWindowEyesVersion(version)) << version;
    }
}

TEST(WindowEyesTables, ClassesAreFoundByTheirNamesOnly) {
    ASSERT_NE(nullptr, FindWindowEyesClass("6"));
    ASSERT_NE(nullptr, FindWindowEyesClass("7"));
    EXPECT_STREQ("6", FindWindowEyesClass("6")->name);
    EXPECT_STREQ("7", FindWindowEyesClass("7")->name);
    for (const char* other : {"", "7.01", "6.0", " 7", "8"}) EXPECT_EQ(nullptr, FindWindowEyesClass(other)) << other;
}

TEST(WindowEyesTables, SevenTriesUsersDefaultThenUsersBak) {
    const WindowEyesClass& seven = *FindWindowEyesClass("7");
    ASSERT_EQ(2u, seven.settingsFiles.size());
    EXPECT_STREQ("%s\\users\\default\\WINEYES.INI", seven.settingsFiles[0]);
    EXPECT_STREQ("%s\\users.bak\\default\\WINEYES.INI", seven.settingsFiles[1]);
    EXPECT_STREQ("71", seven.settingsCode);
    EXPECT_STREQ("oem107", seven.driverName);

    ASSERT_EQ(2u, seven.copies.size());
    EXPECT_STREQ("%s%supdate\\webrloem107.dll", seven.copies[0].source);
    EXPECT_STREQ("%s\\webrloem107.dll", seven.copies[0].firstChoice);
    EXPECT_EQ(nullptr, seven.copies[0].secondChoice);
    EXPECT_STREQ("2", seven.copies[0].code);
    EXPECT_STREQ("%s%supdate\\WindowEyes7\\braille.ini", seven.copies[1].source);
    EXPECT_STREQ("%s\\users\\default\\braille.ini", seven.copies[1].firstChoice);
    EXPECT_STREQ("%s\\users.bak\\default\\braille.ini", seven.copies[1].secondChoice);
    EXPECT_STREQ("72", seven.copies[1].code);
}

TEST(WindowEyesTables, SixHasOneSettingsFolderAndTheCompanion) {
    const WindowEyesClass& six = *FindWindowEyesClass("6");
    ASSERT_EQ(1u, six.settingsFiles.size());
    EXPECT_STREQ("%s\\Users\\Default\\WINEYES.INI", six.settingsFiles[0]);
    EXPECT_STREQ("61", six.settingsCode);
    EXPECT_STREQ("webrloem107", six.driverName);

    ASSERT_EQ(3u, six.copies.size());
    EXPECT_STREQ("%s%supdate\\webrloem107.dll", six.copies[0].source);
    EXPECT_STREQ("%s\\webrloem107.dll", six.copies[0].firstChoice);
    EXPECT_STREQ("2", six.copies[0].code);
    EXPECT_STREQ("%s%supdate\\bdisplay.exe", six.copies[1].source);
    EXPECT_STREQ("%s\\bdisplay.exe", six.copies[1].firstChoice);
    EXPECT_STREQ("62", six.copies[1].code);
    EXPECT_STREQ("%s%supdate\\WindowEyes6\\braille.ini", six.copies[2].source);
    EXPECT_STREQ("%s\\Users\\Default\\braille.ini", six.copies[2].firstChoice);
    EXPECT_STREQ("63", six.copies[2].code);
    for (const WindowEyesCopy& row : six.copies) EXPECT_EQ(nullptr, row.secondChoice) << row.code;
}

TEST(WindowEyesTables, FamiliesDifferInCodePrefixAndFinalMessage) {
    const WindowEyesFamily& vista = WindowEyesFamilyOf(Family::Vista);
    const WindowEyesFamily& nt = WindowEyesFamilyOf(Family::Nt);
    EXPECT_STREQ("VI", vista.codePrefix);
    EXPECT_STREQ("NT", nt.codePrefix);
    EXPECT_EQ(
        "ERROR!Driver installed successfully but Window-Eyes updated unsuccessfully!\r\nPlease press ENTER to finish. "
        "Error Code: VI2",
        WindowEyesFailure(vista, "2"));
    EXPECT_EQ(
        "ERROR!Driver installed successfully but Window-Eyes updated unsuccessfully!\r\nPlease press ENTER to finish. "
        "Error Code: NT72",
        WindowEyesFailure(nt, "72"));
    // Only the Vista family's message has the ideographic space of code page 936 before ENTER.
    EXPECT_NE(std::string::npos, std::string(vista.finalMessage)
                                     .find("press\xA1\xA1"
                                           "ENTER to finish."));
    EXPECT_NE(std::string::npos, std::string(nt.finalMessage).find("press ENTER to finish!"));
}
// The final message is spoken when WindowEyes.wav has played: its length comes from the header, past any other
// chunk (an odd-sized one is padded), and a file that is not a WAV file gives no delay at all.
TEST(WindowEyesSound, LengthComesFromTheWaveHeader) {
    auto le32 = [](unsigned v) { return std::string{char(v), char(v >> 8), char(v >> 16), char(v >> 24)}; };
    // 16-bit mono at 8000 Hz: 16000 bytes a second.
    const std::string format = "fmt " + le32(16) + std::string("\x01\x00\x01\x00", 4) + le32(8000) + le32(16000) +
                               std::string("\x02\x00\x10\x00", 4);
    auto wave = [&](const std::string& chunks) { return "RIFF" + le32(4 + chunks.size()) + "WAVE" + chunks; };
    const struct {
        const char* name;
        std::string bytes;
        unsigned ms;
    } rows[] = {
        {"plain", wave(format + "data" + le32(24000) + std::string(24000, '\0')), 1500},
        {"a list chunk of odd size first",
         wave("LIST" + le32(3) + "abc" + std::string(1, '\0') + format + "data" + le32(8000) + std::string(8000, '\0')),
         500},
        {"no format before the data", wave("data" + le32(8000) + std::string(8000, '\0') + format), 0},
        {"not a WAV file", "MZ" + std::string(100, '\0'), 0},
        {"cut short in its header", wave(format).substr(0, 20), 0},
    };
    const char* file = "wave-length-test.wav";
    for (const auto& row : rows) {
        std::ofstream(file, std::ios::binary | std::ios::trunc) << row.bytes;
        EXPECT_EQ(row.ms, WaveLengthMs(file)) << row.name;
    }
    std::remove(file);
    EXPECT_EQ(0u, WaveLengthMs("no-such-sound.wav"));
}
}  // namespace
