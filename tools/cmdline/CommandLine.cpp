#include "CommandLine.h"

#include <errno.h>
#include <stdio.h>
#include <stdlib.h>

namespace {

const CommandOption* optionNamed(const std::vector<CommandOption>& options, const std::string& name) {
  for (const CommandOption& option : options) {
    if (name == option.name) return &option;
  }
  return nullptr;
}

CommandLineResult usageError(const char* who, const std::string& problem) {
  fprintf(stderr, "%s: %s\n", who, problem.c_str());
  return CommandLineResult::error;
}

// One usage entry as optionsUsage writes it: `name` at the margin, `help`
// from `column` on.
std::string usageEntry(const std::string& name, const char* help, size_t column) {
  std::string entry = "  " + name;
  entry += entry.size() + 2 <= column ? std::string(column - entry.size(), ' ') : std::string("  ");
  for (const char* c = help; *c != '\0'; ++c) {
    entry += *c;
    if (*c == '\n') entry += std::string(column, ' ');
  }
  return entry + "\n";
}

}  // namespace

void exitWithUsageError(const char* who, const std::string& problem) {
  usageError(who, problem);
  exit(kUsageErrorStatus);
}

CommandLineResult readCommandLine(const char* who, int argc, char* const* args,
                                  const std::vector<CommandOption>& options, std::vector<std::string>* words) {
  bool optionsEnded = false;
  for (int i = 0; i < argc; ++i) {
    std::string arg = args[i];
    if (optionsEnded || arg.compare(0, 1, "-") != 0) {
      if (words == nullptr) return usageError(who, "unexpected word '" + arg + "'");
      words->push_back(arg);
      continue;
    }
    if (arg == "--") {
      optionsEnded = true;
      continue;
    }
    if (arg == "-h" || arg == "--help") return CommandLineResult::help;
    const CommandOption* option = optionNamed(options, arg);
    if (option == nullptr) {
      // A lone "-" or a negative number is a word; anything else that
      // starts with "--" is meant as an option.
      if (arg.compare(0, 2, "--") != 0) {
        if (words == nullptr) return usageError(who, "unexpected word '" + arg + "'");
        words->push_back(arg);
        continue;
      }
      return usageError(who, "unknown option '" + arg + "'");
    }
    std::string value;
    if (option->value != nullptr) {
      if (i + 1 >= argc) return usageError(who, arg + " needs a value");
      value = args[++i];
    }
    std::string problem = option->take(value);
    if (!problem.empty()) return usageError(who, arg + ": " + problem);
  }
  return CommandLineResult::ok;
}

int takeCommandLine(const char* who, const std::string& usage, int argc, char* const* args,
                    const std::vector<CommandOption>& options, std::vector<std::string>* words) {
  switch (readCommandLine(who, argc, args, options, words)) {
    case CommandLineResult::ok:
      return -1;
    case CommandLineResult::help:
      fputs(usage.c_str(), stdout);
      return 0;
    case CommandLineResult::error:
      break;
  }
  return kUsageErrorStatus;
}

std::string optionsUsage(const std::vector<CommandOption>& options, size_t column) {
  std::string text;
  for (const CommandOption& option : options) {
    std::string name = option.name;
    if (option.value != nullptr) name += std::string(" ") + option.value;
    text += usageEntry(name, option.help, column);
  }
  return text;
}

std::function<std::string(const std::string&)> keepValue(std::string* field) {
  return [field](const std::string& value) -> std::string {
    *field = value;
    return "";
  };
}

std::function<std::string(const std::string&)> setSwitch(bool* field, bool value) {
  return [field, value](const std::string&) -> std::string {
    *field = value;
    return "";
  };
}

std::string programUsage(const char* introduction, const char* defaults, const std::vector<UsageEntry>& commands,
                         const std::vector<CommandOption>& options, size_t column) {
  std::string text = introduction;
  text += std::string("commands, run in order (") + defaults + "):\n";
  for (const UsageEntry& command : commands) text += usageEntry(command.name, command.help, column);
  return text + "\noptions:\n" + optionsUsage(options, column);
}

bool parseInt32(const std::string& text, int32_t* value) {
  // strtoll alone would take leading blanks and an empty text.
  size_t digits = (!text.empty() && (text[0] == '-' || text[0] == '+')) ? 1 : 0;
  if (digits >= text.size() || text[digits] < '0' || text[digits] > '9') return false;
  errno = 0;
  char* end = nullptr;
  long long parsed = strtoll(text.c_str(), &end, 10);
  if (errno != 0 || *end != '\0' || parsed < INT32_MIN || parsed > INT32_MAX) return false;
  *value = static_cast<int32_t>(parsed);
  return true;
}

std::string takeInt32(const std::string& text, int32_t low, int32_t high, int32_t* value) {
  int32_t parsed;
  if (!parseInt32(text, &parsed) || parsed < low || parsed > high) {
    return "a number from " + std::to_string(low) + " to " + std::to_string(high) + ", not '" + text + "'";
  }
  *value = parsed;
  return "";
}

std::string takeNumber(const std::string& text, int32_t* value) {
  errno = 0;
  char* end = nullptr;
  long long parsed = strtoll(text.c_str(), &end, 0);
  if (text.empty() || *end != '\0' || errno != 0 || parsed < INT32_MIN || parsed > INT32_MAX) {
    return "not a number: '" + text + "'";
  }
  *value = static_cast<int32_t>(parsed);
  return "";
}

std::string takePair(const std::string& text, char separator, int32_t* a, int32_t* b) {
  size_t at = text.find(separator, 1);
  if (at == std::string::npos) return std::string("expected A") + separator + "B, not '" + text + "'";
  int32_t first = 0;
  int32_t second = 0;
  std::string problem = takeNumber(text.substr(0, at), &first);
  if (problem.empty()) problem = takeNumber(text.substr(at + 1), &second);
  if (!problem.empty()) return problem;
  *a = first;
  *b = second;
  return "";
}

