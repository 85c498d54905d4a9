// The process-wide prompt text: the message that the next prompt dialog shows.
#pragma once

#include <string>

std::string& PromptText();
