// The fixture of every end-to-end scenario: a new simulated PC and a fresh copy of the shipped folder.
#pragma once

#include <gtest/gtest.h>

#include "Bench.h"

class Scenario : public ::testing::Test {
protected:
    void SetUp() override {
        char locale[64] = "";
        ::GetEnvironmentVariableA("LC_ALL", locale, sizeof locale);
        if (std::string(locale).rfind("zh_CN", 0) == 0) {
            ASSERT_EQ(936u, ::GetACP()) << "the Chinese run has its code page (is the zh_CN.UTF-8 locale made?)";
        }
        bench::ResetMachine();
    }
    void TearDown() override { bench::ResetMachine(); }

    // Starts the setup program from the sandbox's copy, with that folder as its current directory.
    bench::StartOptions Setup() const { return {m_sandbox.Setup(), "", "", ""}; }

    bench::Sandbox m_sandbox;
};

// Control ids of the setup's windows, as a screen reader's user meets them.
constexpr int kBegin = 1000;
constexpr int kReadPort = 1001;
constexpr int kMessageField = 1002;
constexpr int kButton3 = 1003;
constexpr int kQuit = IDOK;

// The Dolphin update's failure message, up to its code.
constexpr char kDolphinFailed[] =
    "ERROR!Dolphin updates failed,please copy files manually.\r\nFor more information, please see the Manual! Code:";
