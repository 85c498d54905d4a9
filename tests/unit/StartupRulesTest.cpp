// The start-up rules: the Windows family from the product name, the family test, the minimised icon's place.
#include <gtest/gtest.h>

#include "app/OsFamily.h"
#include "app/SetupDlg.h"

namespace {
TEST(Family, VistaOnlyWhenTheProductNameHoldsItInThatCase) {
    EXPECT_TRUE(NamesVistaFamily("Windows Vista (TM) Ultimate"));
    EXPECT_TRUE(NamesVistaFamily("xVistax"));
    EXPECT_FALSE(NamesVistaFamily("Windows vista"));
    EXPECT_FALSE(NamesVistaFamily("Windows VISTA"));
    EXPECT_FALSE(NamesVistaFamily("Windows 7 Ultimate"));
    EXPECT_FALSE(NamesVistaFamily(""));
}

TEST(Family, FlagIsComparedAsAWhole) {
    OsFamilyFlag() = "";
    EXPECT_EQ(Family::Nt, CurrentFamily());
    OsFamilyFlag() = "Vista";
    EXPECT_EQ(Family::Vista, CurrentFamily());
    OsFamilyFlag() = "Vista ";
    EXPECT_EQ(Family::Nt, CurrentFamily());
    OsFamilyFlag() = "vista";
    EXPECT_EQ(Family::Nt, CurrentFamily());
    OsFamilyFlag() = "";
}

TEST(MinimisedIcon, IsCentredWithTruncatingDivision) {
    POINT at = CSetupDlg::IconPosition({0, 0, 36, 36}, 32, 32);
    EXPECT_EQ(2, at.x);
    EXPECT_EQ(2, at.y);
    at = CSetupDlg::IconPosition({0, 0, 0, 0}, 32, 32);
    EXPECT_EQ(-15, at.x);  // (0 - 32 + 1) / 2 truncates toward zero
    EXPECT_EQ(-15, at.y);
    at = CSetupDlg::IconPosition({0, 0, 37, 10}, 32, 32);
    EXPECT_EQ(3, at.x);
    EXPECT_EQ(-10, at.y);
}
}  // namespace
