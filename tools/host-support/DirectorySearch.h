// The directory search of this build as the plug-in meets it:
// FindFirstFileA and FindNextFileA, Windows' own under Wine, the stand-ins
// natively. Suites compare what the plug-in listed with this order.
#pragma once

#include <string>
#include <vector>

// The names the search gives for `pattern`, a path as the plug-in spells
// it ("Z:\tmp\x\*.tpp"), in the search's order; empty when nothing is
// found.
std::vector<std::string> searchOrder(const std::string& pattern);
