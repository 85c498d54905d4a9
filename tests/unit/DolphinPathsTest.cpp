// The Dolphin update's text rules: the cuts at the first "Dolphin" and "Hal", the settings targets in their order,
// and the driver files' destinations with their letter case and codes.
#include <gtest/gtest.h>

#include "dolphin/DolphinPaths.h"

using namespace dolphin;

TEST(DolphinFolderCut, EndsAtTheFirstCaseSensitiveDolphin) {
    std::string folder;
    ASSERT_TRUE(CutDolphinFolder("D:\\Apps\\Dolphin\\Server\\srv.exe", folder));
    EXPECT_EQ("D:\\Apps\\Dolphin", folder);
    ASSERT_TRUE(CutDolphinFolder("D:\\Dolphin\\Dolphin\\srv.exe", folder));
    EXPECT_EQ("D:\\Dolphin", folder);
    ASSERT_TRUE(CutDolphinFolder("D:\\DolphinPro\\srv.exe", folder));
    EXPECT_EQ("D:\\Dolphin", folder) << "the word, not the folder name, ends the cut";
    ASSERT_TRUE(CutDolphinFolder("Dolphin", folder));
    EXPECT_EQ("Dolphin", folder);
    ASSERT_TRUE(CutDolphinFolder("D:\\dolphin\\Dolphin", folder));
    EXPECT_EQ("D:\\dolphin\\Dolphin", folder);
}

TEST(DolphinFolderCut, FailsWithoutTheWordAndLeavesTheFolder) {
    std::string folder = "kept";
    EXPECT_FALSE(CutDolphinFolder("D:\\Apps\\dolphin\\srv.exe", folder));
    EXPECT_FALSE(CutDolphinFolder("D:\\Apps\\DOLPHIN\\srv.exe", folder));
    EXPECT_FALSE(CutDolphinFolder("D:\\Apps\\Dolphi", folder));
    EXPECT_FALSE(CutDolphinFolder("", folder));
    EXPECT_EQ("kept", folder);
}

TEST(HalFolderCut, KeepsABackslashHalAndFourCharacters) {
    std::string hal;
    ASSERT_TRUE(CutHalFolder("E:\\Prog\\Dolphin\\Hal1101\\scr.exe", hal));
    EXPECT_EQ("\\Hal1101", hal);
    ASSERT_TRUE(CutHalFolder("E:\\Prog\\Dolphin\\Hal1002", hal));
    EXPECT_EQ("\\Hal1002", hal);
    // The first "Hal" counts, even inside another folder's name.
    ASSERT_TRUE(CutHalFolder("C:\\Hal\\Dolphin\\Hal1002\\x.exe", hal));
    EXPECT_EQ("\\Hal\\Dol", hal);
    ASSERT_TRUE(CutHalFolder("C:\\Halo\\Dolphin\\Hal1002\\x.exe", hal));
    EXPECT_EQ("\\Halo\\Do", hal);
}

TEST(HalFolderCut, ShortValuesKeepWhatThereIs) {
    std::string hal;
    // At the very start there is no backslash before it: seven characters only.
    ASSERT_TRUE(CutHalFolder("Hal1101\\scr.exe", hal));
    EXPECT_EQ("Hal1101", hal);
    ASSERT_TRUE(CutHalFolder("Hal", hal));
    EXPECT_EQ("Hal", hal);
    ASSERT_TRUE(CutHalFolder("E:\\Hal1", hal));
    EXPECT_EQ("E:\\Hal1", hal);
    // Fewer than four characters after "Hal": the whole value, then its last eight.
    ASSERT_TRUE(CutHalFolder("C:\\Dolphin\\Hal1", hal));
    EXPECT_EQ("hin\\Hal1", hal);
    ASSERT_TRUE(CutHalFolder("C:\\Dolphin\\Hal", hal));
    EXPECT_EQ("phin\\Hal", hal);
}

TEST(HalFolderCut, FailsWithoutACaseSensitiveHal) {
    std::string hal = "kept";
    EXPECT_FALSE(CutHalFolder("E:\\Prog\\Dolphin\\hal1101\\scr.exe", hal));
    EXPECT_FALSE(CutHalFolder("E:\\Prog\\Dolphin\\HAL1101\\scr.exe", hal));
    EXPECT_FALSE(CutHalFolder("Ha", hal));
    EXPECT_EQ("kept", hal);
}

TEST(SettingsTargets, NtTriesHal1002Then1101Then1003BelowTheDolphinFolder) {
    EXPECT_EQ((std::vector<std::string>{"D:\\Apps\\Dolphin\\Hal1002\\Settings\\Kelvo.bk1",
                                        "D:\\Apps\\Dolphin\\Hal1101\\Settings\\Kelvo.bk1",
                                        "D:\\Apps\\Dolphin\\Hal1003\\Settings\\Kelvo.bk1"}),
              NtSettingsTargets("D:\\Apps\\Dolphin"));
}

TEST(SettingsTargets, VistaGoesToTheOwnersProfileOnDriveC) {
    EXPECT_EQ("C:\\Users\\user1\\AppData\\Local\\dolphin\\Hal1101\\Settings\\Kelvo.bk1",
              VistaSettingsTarget("user1", "\\Hal1101"));
    // A Hal folder without its backslash runs into the folder name before it.
    EXPECT_EQ("C:\\Users\\user1\\AppData\\Local\\dolphinHal1101\\Settings\\Kelvo.bk1",
              VistaSettingsTarget("user1", "Hal1101"));
    EXPECT_EQ("C:\\Users\\\\AppData\\Local\\dolphin\\Hal1101\\Settings\\Kelvo.bk1",
              VistaSettingsTarget("", "\\Hal1101"));
}

TEST(DriverFiles, BothFamiliesNameTheSameFilesWithTheirLetterCaseAndCodes) {
    struct Expected {
        const char* source;
        const char* file;
        const char* ntCode;
        const char* vistaCode;
    };
    const Expected expected[kDriverFileCount] = {
        {"%s%supdatedolphin\\kelvo\\kelvo00001.ini", "kelvo00001.ini", "D11", "D21"},
        {"%s%supdatedolphin\\kelvo\\kelvo00039.INI", "kelvo00039.INI", "D12", "D22"},
        {"%s%supdatedolphin\\kelvo\\kelvo00044.ini", "kelvo00044.ini", "D13", "D23"},
        {"%s%supdatedolphin\\kelvo\\kelvo00052.ini", "kelvo00052.ini", "D14", "D24"},
        {"%s%supdatedolphin\\kelvo\\KELVO.dll", "KELVO.dll", "D15", "D25"},
        {"%s%supdatedolphin\\kelvo\\kelvo.sdi", "kelvo.sdi", "D16", "D26"},
    };
    for (std::size_t row = 0; row < kDriverFileCount; ++row) {
        const DriverFile& file = kDriverFiles[row];
        SCOPED_TRACE(expected[row].file);
        EXPECT_STREQ(expected[row].source, file.source);
        EXPECT_EQ(std::string("D:\\Apps\\Dolphin\\Sam\\Kelvo\\") + expected[row].file,
                  DriverFilePath("D:\\Apps\\Dolphin", kNtDriverFolder, file.name[kNtColumn]));
        EXPECT_EQ(std::string("E:\\Prog\\Dolphin\\Sam\\kelvo\\") + expected[row].file,
                  DriverFilePath("E:\\Prog\\Dolphin", kVistaDriverFolder, file.name[kVistaColumn]));
        EXPECT_STREQ(expected[row].ntCode, file.code[kNtColumn]);
        EXPECT_STREQ(expected[row].vistaCode, file.code[kVistaColumn]);
    }
    EXPECT_STREQ("%s%supdatedolphin\\kelvo.bk1", kSettingsSource);
}

TEST(DriverFiles, TheFolderIsCreatedInSmallLetters) {
    EXPECT_EQ("D:\\Apps\\Dolphin\\Sam\\kelvo\\", DriverFolderToCreate("D:\\Apps\\Dolphin", kNtDriverFolder));
    EXPECT_EQ("E:\\Prog\\Dolphin\\Sam\\kelvo", DriverFolderToCreate("E:\\Prog\\Dolphin", kVistaDriverFolder));
}
