// Section and key names of a template as the profile functions compare
// them (common/Cp932.h): trimmed of blanks, ASCII letters folded, double-
// byte characters as they are. For the tools that list what a template
// holds.
#pragma once

#include <stdint.h>

#include <string>

// Returns `name` trimmed and folded: two names that the profile functions
// take for the same give equal texts.
std::string foldedName(const std::string& name);

// Returns the number of a key named `prefix` and a decimal number without
// leading zeros ("case12" for "case", "7" for ""), the way the plug-in forms
// the names it reads, or -1 for a name of any other form. The name is
// compared folded; the number has at most 10 digits.
int64_t numberedKey(const std::string& name, const char* prefix);
