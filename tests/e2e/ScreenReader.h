// What a screen reader finds in a prompt of the setup: where the focus is, what is selected, and what the
// accessibility layer (MSAA) says of the focused field.
#pragma once

#include <string>

#include "Bench.h"

namespace bench {

struct PromptReading {
    bool fieldFocused = false;   // the keyboard focus is in the message field
    bool wholeSelected = false;  // the field's whole text is selected, so it is read at once
    bool closeButton = false;    // the caption has a close button (a system menu)
    std::wstring fieldText;      // WM_GETTEXT of the field, wide
    bool msaaAnswered = false;   // the accessibility layer gave an object for the field
    std::wstring msaaName;
    std::wstring msaaValue;
    long msaaRole = 0;
    long msaaState = 0;
    bool stillOpen = false;  // the prompt was still open after the reading, so the reading is whole
};

PromptReading ReadPrompt(const Window& prompt);

// The checks every prompt of every scenario passes; a prompt that closes while it is read is not judged. Where the
// accessibility layer gives no object, only its part is skipped (a scenario of the prompts asserts that it does).
void ExpectReadable(const Window& prompt);

}  // namespace bench
