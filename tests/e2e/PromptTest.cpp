// The two prompt dialogs, opened by a small program of the bench: focus, selection, ENTER and ESC.
#include "Scenario.h"
#include "ScreenReader.h"

#include <oleacc.h>

using namespace bench;

class Prompts : public Scenario {
protected:
    // The probe shows the prompts named on its command line in turn ("message TEXT" or "wait TEXT", with "|"
    // for a line break) and exits with the last prompt's result.
    StartOptions Probe(const std::string& arguments) const {
        return {ProgramFolder(), "", "prompt-probe.exe", arguments};
    }
};

TEST_F(Prompts, MessagePromptFocusesTheSelectedMessageAndCloses) {
    Wizard probe(Probe("message \"two|lines\""));
    Window prompt = probe.WaitPrompt();
    ASSERT_TRUE(prompt.Exists());
    Window field = prompt.Control(kMessageField);
    EXPECT_EQ(field.Handle(), prompt.Focus().Handle());
    EXPECT_EQ("two\r\nlines", field.Text());
    EXPECT_EQ(std::make_pair(0, 10), field.Selection()) << "the whole message is selected";
    EXPECT_EQ(0, prompt.Style() & WS_SYSMENU) << "no close button";
    EXPECT_NE(0, field.Style() & ES_READONLY);
    EXPECT_TRUE(prompt.Control(IDOK).Visible());
    prompt.PressEnter();
    EXPECT_EQ(static_cast<DWORD>(IDOK), probe.WaitExit());
}

TEST_F(Prompts, EscapeClosesTheMessagePromptWithCancel) {
    Wizard probe(Probe("message hello"));
    Window prompt = probe.WaitPrompt();
    prompt.PressEscape();
    EXPECT_EQ(static_cast<DWORD>(IDCANCEL), probe.WaitExit());
}

TEST_F(Prompts, SameObjectShowsEachTextInTurnAndAnEmptyOneWaits) {
    Wizard probe(Probe("message first message \"\" message third"));
    Window first = probe.WaitPrompt();
    EXPECT_EQ("first", AnswerEnter(first));
    Window empty = probe.WaitPrompt(first.Handle());
    EXPECT_EQ("", empty.Control(kMessageField).Text());
    EXPECT_TRUE(probe.Running()) << "an empty prompt still waits";
    AnswerEscape(empty);
    Window third = probe.WaitPrompt(empty.Handle());
    EXPECT_EQ("third", AnswerEnter(third));
    EXPECT_EQ(static_cast<DWORD>(IDOK), probe.WaitExit());
}

TEST_F(Prompts, WaitPromptShowsNoButtonAndEnterGoesOn) {
    Wizard probe(Probe("wait \"Please wait.|Press ESC to quit if you want.\" message after"));
    Window wait = probe.WaitPrompt();
    Window field = wait.Control(kMessageField);
    EXPECT_EQ(field.Handle(), wait.Focus().Handle());
    EXPECT_EQ(std::make_pair(0, static_cast<int>(field.Text().size())), field.Selection());
    EXPECT_FALSE(wait.Control(IDOK).Visible());
    EXPECT_FALSE(wait.Control(IDCANCEL).Visible());
    EXPECT_EQ(0, wait.Style() & WS_SYSMENU);
    AnswerEnter(wait);
    Window after = probe.WaitPrompt(wait.Handle());
    EXPECT_EQ("after", AnswerEnter(after));
    EXPECT_EQ(static_cast<DWORD>(IDOK), probe.WaitExit());
}

TEST_F(Prompts, EscapeInTheWaitPromptEndsTheProcessWithFour) {
    Wizard probe(Probe("wait waiting message never"));
    Window wait = probe.WaitPrompt();
    wait.PressEscape();
    EXPECT_EQ(4u, probe.WaitExit());
    EXPECT_TRUE(probe.Windows("Kelvo:Caution").empty());
}

TEST_F(Prompts, ScreenReaderHearsTheWholeMessageThroughMsaa) {
    Wizard probe(Probe("message \"Kelvo Braille Display at COM3   |Please press ENTER to continue\""));
    Window prompt = probe.WaitPrompt();
    PromptReading reading = ReadPrompt(prompt);
    ASSERT_TRUE(reading.msaaAnswered) << "Wine's accessibility layer gave no object for the message field";
    EXPECT_EQ(L"Kelvo Braille Display at COM3   \r\nPlease press ENTER to continue", reading.msaaValue);
    EXPECT_EQ(ROLE_SYSTEM_TEXT, reading.msaaRole);
    EXPECT_EQ(STATE_SYSTEM_FOCUSED | STATE_SYSTEM_READONLY,
              reading.msaaState & (STATE_SYSTEM_FOCUSED | STATE_SYSTEM_READONLY));
    AnswerEnter(prompt);
    EXPECT_EQ(static_cast<DWORD>(IDOK), probe.WaitExit());
}
