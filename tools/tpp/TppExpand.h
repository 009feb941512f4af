// `tpp expand`: prints what a section of a template expands to for a job.
#pragma once

// Usage of the verb, without the leading "tpp ".
extern const char* const kExpandUsage;

// The verb: `args` are the words after "expand", FILE SECTION and options
// in any order. Writes the expansion to stdout exactly as the plug-in would
// build it (no newline added). Returns 0; 2 with a one-line message on
// stderr for a file that cannot be read, an unknown option, a missing or
// bad value, or a wrong count of words; 1 when memory or stdout failed.
int runExpandCommand(int argc, char** args);
