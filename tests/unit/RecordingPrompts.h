// A prompt host for unit tests: it records every prompt a flow shows and the end of the process, and returns,
// so that a flow runs to its end inside the test.
#pragma once

#include <string>
#include <vector>

#include "prompts/PromptHost.h"
#include "prompts/PromptText.h"

class RecordingPrompts : public PromptHost {
public:
    struct Shown {
        bool wait;  // a wait prompt; otherwise a message prompt
        std::string text;
    };

    void ShowMessage() override { shown.push_back({false, PromptText()}); }
    void ShowWait() override { shown.push_back({true, PromptText()}); }
    void EndProcess() override { ++ends; }

    // The texts of the message prompts, in order.
    std::vector<std::string> Messages() const {
        std::vector<std::string> texts;
        for (const Shown& s : shown) {
            if (!s.wait) texts.push_back(s.text);
        }
        return texts;
    }

    std::vector<Shown> shown;
    int ends = 0;  // how often the flow ended the process (exit code 4); a flow must return right after it
};
