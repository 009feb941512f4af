// The job a verb of `tpp` stands in for: the options that give the values
// the host would report for a save, and the template file in the form the
// plug-in hands the profile functions.
#pragma once

#include <stdint.h>

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

enum class JobOptionResult {
  none,    // args[*index] is no job option; nothing changed
  taken,   // stored; *index is past the option and its value
  failed,  // a message is on stderr; the verb exits with 2
};

// Looks at args[*index] (0 <= *index < argc): --frames, --length, --time,
// --filters, --width, --height, --fps and --now take a decimal 32-bit
// number, --output a path of at most 259 bytes. Width and height also set
// pixels (their product, wrapped to 32 bits as the host's arithmetic does).
// `verb` names the verb in messages. Returns JobOptionResult::failed, with a
// one-line message on stderr, for a missing value, a value that is not a
// number or out of range, or an output path that is too long.
JobOptionResult takeJobOption(const char* verb, int argc, char** args, int* index, JobOptions* options);

// A verb's own options, tried before the job options: looks at
// args[*index] and answers as takeJobOption does.
typedef JobOptionResult (*VerbOptionTaker)(int argc, char** args, int* index, void* context);

// Walks a verb's arguments. "--" ends the options; an argument starting
// with "--" goes to `takeOwn` (may be null, gets `context`), then to the job
// options (none for a verb that passes a null `options`); every other word
// fills words[0], words[1], ... up to
// `wordCount`. `wordsNeeded` names the words in the message for too few
// ("FILE is"). Returns true, or false with a one-line message on stderr for
// an unknown option, a failed option, a word too many or too few words.
bool takeVerbArguments(const char* verb, const char* usage, int argc, char** args, VerbOptionTaker takeOwn,
                       void* context, JobOptions* options, const char** words, int wordCount,
                       const char* wordsNeeded);

// Parses a whole decimal 32-bit number (an optional sign and digits, no
// blanks). Returns true and sets *value, or false when the text is anything
// else.
bool parseInt32(const char* text, int32_t* value);

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
