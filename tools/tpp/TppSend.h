// `tpp send`: expands a section of a template for a job and delivers it to
// the mascot server on this machine, as the plug-in does at a save.
#pragma once

// Usage of the verb, without the leading "tpp ".
extern const char* const kSendUsage;

// The verb: `args` are the words after "send", FILE and options in any
// order. Prints the server's status number and a newline on stdout.
// Returns 0 when an answer with a status number came back; 1 with a
// one-line message on stderr when the section expands to nothing (nothing
// is sent), when nothing was delivered or the answer held no status number,
// or when memory ran out; 2 with a one-line message on stderr for a file
// that cannot be read, an unknown option, a missing or bad value, or a
// wrong count of words.
int runSendCommand(int argc, char** args);
