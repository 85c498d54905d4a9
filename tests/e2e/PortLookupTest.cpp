// "Read Virtual COM Port" in both families: the messages word for word, ESC, and a fresh read on every click.
#include "Scenario.h"

using namespace bench;

namespace {
constexpr char kConnect[] = "Please connect Kelvo braille display to your computer.\r\nThen press ENTER to continue!";
}

class PortLookup : public Scenario {
protected:
    // Clicks the button (enabled or not, as the family's key decides) and answers each prompt with `key`.
    std::vector<std::string> ClickAndRead(Wizard& wizard, const Window& main, bool escape = false) {
        ::PostMessageA(main.Handle(), WM_COMMAND, MAKEWPARAM(kReadPort, BN_CLICKED),
                       reinterpret_cast<LPARAM>(main.Control(kReadPort).Handle()));
        std::vector<std::string> said;
        HWND previous = nullptr;
        while (said.size() < 3) {
            Window prompt = wizard.WaitPrompt(previous, said.empty() ? kTimeoutMs : 1000);
            if (!prompt.Handle()) break;
            EXPECT_EQ(prompt.Control(kMessageField).Handle(), prompt.Focus().Handle());
            said.push_back(escape ? AnswerEscape(prompt) : AnswerEnter(prompt));
            previous = prompt.Handle();
            if (said.back().rfind("Kelvo Braille Display at", 0) == 0) break;
        }
        return said;
    }

    void Quit(Wizard& wizard, const Window& main) {
        // Back at a usable main window: it takes ESC again.
        EXPECT_TRUE(main.Enabled());
        main.PressEscape();
        EXPECT_TRUE(main.WaitGone());
        EXPECT_NE(STILL_ACTIVE, wizard.WaitExit());
    }
};

TEST_F(PortLookup, NtFamilyTellsThePortInOneMessage) {
    SetMachineString(kNtDeviceKey, "PortName", "COM3");
    Wizard wizard(Setup());
    Window main = wizard.WaitMain();
    ASSERT_TRUE(main.Control(kReadPort).Enabled());
    main.Click(kReadPort);
    Window prompt = wizard.WaitPrompt();
    EXPECT_EQ("Kelvo Braille Display at COM3 \r\nPress ENTER to back ", AnswerEnter(prompt));
    EXPECT_TRUE(wizard.NoWindowFor("Kelvo:Caution", 300));
    Quit(wizard, main);
}

TEST_F(PortLookup, VistaFamilyTellsThePortWithItsOwnWords) {
    SetMachineString(kWindowsNtKey, "ProductName", "Windows Vista (TM) Business");
    SetMachineString(kVistaDeviceKey, "PortName", "COM3");
    Wizard wizard(Setup());
    Window main = wizard.WaitMain();
    auto said = ClickAndRead(wizard, main);
    EXPECT_EQ(std::vector<std::string>{"Kelvo Braille Display at COM3 \r\nPress ENTER to return "}, said);
    Quit(wizard, main);
}

TEST_F(PortLookup, MissingPortAsksToConnectThenTellsAnEmptyName) {
    SetMachineString(kVistaDeviceKey, "PortName", "COM3");  // the other family's key does not count
    Wizard wizard(Setup());
    Window main = wizard.WaitMain();
    auto said = ClickAndRead(wizard, main);
    EXPECT_EQ((std::vector<std::string>{kConnect, "Kelvo Braille Display at  \r\nPress ENTER to back "}), said);
    Quit(wizard, main);
}

TEST_F(PortLookup, EscapeInEitherPromptGoesOnLikeEnter) {
    Wizard wizard(Setup());
    Window main = wizard.WaitMain();
    auto said = ClickAndRead(wizard, main, true);
    EXPECT_EQ((std::vector<std::string>{kConnect, "Kelvo Braille Display at  \r\nPress ENTER to back "}), said);
    EXPECT_TRUE(wizard.Running());
    Quit(wizard, main);
}

TEST_F(PortLookup, ConnectingDuringTheFirstMessageDoesNotChangeTheSecond) {
    Wizard wizard(Setup());
    Window main = wizard.WaitMain();
    main.SendClicked(kReadPort);
    Window first = wizard.WaitPrompt();
    SetMachineString(kNtDeviceKey, "PortName", "COM7");
    EXPECT_EQ(kConnect, AnswerEnter(first));
    Window second = wizard.WaitPrompt(first.Handle());
    EXPECT_EQ("Kelvo Braille Display at  \r\nPress ENTER to back ", AnswerEnter(second));
    // A second click reads afresh and finds the port now.
    auto said = ClickAndRead(wizard, main);
    EXPECT_EQ(std::vector<std::string>{"Kelvo Braille Display at COM7 \r\nPress ENTER to back "}, said);
    Quit(wizard, main);
}
