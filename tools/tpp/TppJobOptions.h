// The job a verb of `tpp` stands in for: the options that give the values
// the host would report for a save, and the template file in the form the
// plug-in hands the profile functions.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include <string>
#include <vector>

#include "CommandLine.h"
#include "template/JobRecord.h"

struct JobOptions {
  JobRecord job;    // every value 0 and every text empty until an option sets it
  bool hasNow;      // --now fixed the clock
  int32_t now;      // with hasNow: seconds since 1970 for every random choice
};

// The job options as one usage fragment, for the verbs' usage lines.
#define TPP_JOB_OPTIONS_USAGE                                                             \
  "[--frames N] [--length SECONDS] [--time SECONDS] [--filters N] [--width N] [--height N] " \
  "[--fps RATE_TIMES_100] [--output PATH] [--now UNIX_SECONDS]"

// The job options, each setting its field of options->job (or the clock):
// --frames, --length, --time, --filters, --width, --height, --fps and --now
// take a decimal 32-bit number, --output a path of at most 259 bytes. Width
// and height also set pixels (their product, wrapped to 32 bits as the
// host's arithmetic does). `options` must outlive what is returned.
std::vector<CommandOption> jobCommandOptions(JobOptions* options);

// Reads a verb's arguments (readCommandLine, as "tpp VERB") with `options`,
// the verb's own and, for a verb that takes them, the job options: between
// `fewestWords` and `mostWords` words, appended to *words; `wordsNeeded`
// names them in the message for too few ("FILE is"). Returns -1 when the
// verb goes on; otherwise the status the verb exits with: 0 after printing
// "usage: tpp USAGE" for --help; 2 after one line on stderr for a usage
// error, a word too many or too few words.
int readVerbArguments(const char* verb, const char* usage, int argc, char** args,
                      const std::vector<CommandOption>& options, size_t fewestWords, size_t mostWords,
                      const char* wordsNeeded, std::vector<std::string>* words);

// Sets job->templatePath to the full path of `userPath` as the user typed
// it (relative to the current folder): GetFullPathNameA on Windows; natively
// the absolute path with backslashes, which the stand-ins map back. Returns
// true, or false with a one-line message on stderr when the file cannot be
// read or its full path does not fit the record.
bool setTemplateFile(const char* verb, const char* userPath, JobRecord* job);

// Expands `section` for the job as the plug-in would: with the fixed clock
// when --now was given, else reading the clock for each random choice.
// Returns a new text (free with free()), or null when memory ran out.
char* expandForJob(const char* section, const JobOptions& options);
