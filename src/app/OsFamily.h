// The OS family flag: "Vista" in the Vista family, empty in the NT family, set once at start-up.
#pragma once

#include <string>

enum class Family { Vista, Nt };

std::string& OsFamilyFlag();

// The family test: the flag compared as a whole, case-sensitively, with "Vista".
Family CurrentFamily();

// The start-up rule: a product name that contains "Vista" (case-sensitive, anywhere) is the Vista family.
bool NamesVistaFamily(const std::string& productName);
