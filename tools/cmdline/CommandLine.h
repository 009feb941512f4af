// A program's command line, read one way in every program of the tree
// that takes options: options from a table ("--name" or "--name VALUE"),
// "--" ending the options, every other argument kept in order as a word.
// An option the table does not name, or one without its value, or a value
// its option refuses, is a usage error: one line on stderr and exit
// status 2 (the caller returns it).
#pragma once

#include <stddef.h>
#include <stdint.h>

#include <functional>
#include <string>
#include <vector>

struct CommandOption {
  const char* name;   // "--port"
  const char* value;  // the value's name in the usage ("N"); null for a switch
  const char* help;   // for the usage; a line break continues it under its first line
  // Takes the option's value ("" for a switch). Returns "" when it is
  // taken, else what is wrong with it ("a port from 1 to 65535, not 'x'"),
  // which becomes the message.
  std::function<std::string(const std::string& value)> take;
};

enum class CommandLineResult {
  ok,     // every option taken, the other arguments in the words
  help,   // "-h" or "--help" came: print the usage, exit status 0
  error,  // a usage error, its one line on stderr: exit status 2
};

// The exit status of a usage error.
constexpr int kUsageErrorStatus = 2;

// Reads args[0] to args[argc - 1] against `options`, in order: an option
// takes the next argument as its value when it has one; "--" ends the
// options (every later argument is a word, "--x" too); "-h" or "--help"
// returns CommandLineResult::help at once; any other argument is appended
// to *words (a null `words` takes none). Returns CommandLineResult::ok,
// help, or error after one line "WHO: PROBLEM" on stderr for an argument
// starting with "--" that no option names ("unknown option '--x'"), an
// option without its value ("--port needs a value"), a value the option
// refused ("--port: ...") or a word where none is taken ("unexpected word
// 'x'").
CommandLineResult readCommandLine(const char* who, int argc, char* const* args,
                                  const std::vector<CommandOption>& options, std::vector<std::string>* words);

// readCommandLine as a program's main uses it. Returns -1 when the program
// goes on; otherwise the status it exits with: 0 after printing `usage` on
// standard output for -h or --help, kUsageErrorStatus after the usage
// error's line on stderr.
int takeCommandLine(const char* who, const std::string& usage, int argc, char* const* args,
                    const std::vector<CommandOption>& options, std::vector<std::string>* words);

// Prints "WHO: PROBLEM" on stderr and exits with kUsageErrorStatus: for a
// usage error a program finds in its words after readCommandLine.
[[noreturn]] void exitWithUsageError(const char* who, const std::string& problem);

// The entry of `table` (records with a `name` text) called `name`; null
// when none is. For a program's tables of commands.
template <typename Entry, size_t N>
const Entry* entryNamed(const Entry (&table)[N], const std::string& name) {
  for (const Entry& entry : table) {
    if (name == entry.name) return &entry;
  }
  return nullptr;
}

// The usage of a program that takes commands as its words: `introduction`,
// "commands, run in order (DEFAULTS):" and an entry per command (its name
// and help), then "options:" and an entry per option.
struct UsageEntry {
  std::string name;
  const char* help;
};
std::string programUsage(const char* introduction, const char* defaults, const std::vector<UsageEntry>& commands,
                         const std::vector<CommandOption>& options, size_t column);

// The options for a usage text: a line each, "  NAME VALUE" and its help
// from `column` on (two blanks behind a longer name), further lines of the
// help under its first.
std::string optionsUsage(const std::vector<CommandOption>& options, size_t column);

// A `take` that keeps the value in *field.
std::function<std::string(const std::string&)> keepValue(std::string* field);

// A `take` for a switch that sets *field to `value`.
std::function<std::string(const std::string&)> setSwitch(bool* field, bool value = true);

// Reads a whole decimal 32-bit number: an optional sign and digits, no
// blanks, nothing behind. Returns true and sets *value, or false for any
// other text or a number beyond 32 bits.
bool parseInt32(const std::string& text, int32_t* value);

// parseInt32 and `low` <= *value <= `high`. Returns "" when it is, else a
// problem for a CommandOption ("a number from LOW to HIGH, not 'TEXT'").
std::string takeInt32(const std::string& text, int32_t low, int32_t high, int32_t* value);

// A whole number as C writes it (decimal, 0x hexadecimal or octal after a
// 0) within 32 bits. Returns "" and sets *value, or a problem for a
// CommandOption ("not a number: 'TEXT'").
std::string takeNumber(const std::string& text, int32_t* value);

// "A<separator>B" as two numbers of takeNumber (A may begin with '-': the
// separator is looked for from the second character on). Returns "" and
// sets both, or a problem ("expected A-B, not 'TEXT'", or takeNumber's).
std::string takePair(const std::string& text, char separator, int32_t* a, int32_t* b);

