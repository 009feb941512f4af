// The verb `tpp lint` (the lint itself is TppLint.h).
#pragma once

// Usage of the verb, without the leading "tpp ".
extern const char* const kLintUsage;

// The verb: `args` are the words after "lint", files and "--utf8" in any
// order. Returns the exit status of lintTemplateFiles, 0 after the usage
// for --help, or 2 with one line on stderr when no file is named or an
// option is unknown.
int runLintCommand(int argc, char** args);
