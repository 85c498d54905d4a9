// Storage of the prompt text; it lives until the process ends and keeps the last message.
#include "prompts/PromptText.h"

std::string& PromptText() {
    static std::string text;
    return text;
}
