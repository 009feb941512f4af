#include "TppJobOptions.h"

#include <errno.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>

#ifdef _WIN32
#include <windows.h>
#else
#include <unistd.h>
#endif

#include "template/SectionExpansion.h"

namespace {

// The number options and the field each one sets.
struct NumberOption {
  const char* name;
  int32_t JobRecord::*field;  // null for --now
};

const NumberOption kNumberOptions[] = {
    {"--frames", &JobRecord::frames},   {"--length", &JobRecord::lengthSeconds},
    {"--time", &JobRecord::timeSeconds}, {"--filters", &JobRecord::filters},
    {"--width", &JobRecord::width},     {"--height", &JobRecord::height},
    {"--fps", &JobRecord::fpsTimes100}, {"--now", nullptr},
};

// The full path in the plug-in's form, or "" when it can't be had.
std::string fullPathOf(const char* userPath) {
#ifdef _WIN32
  char full[MAX_PATH];
  DWORD length = GetFullPathNameA(userPath, sizeof full, full, nullptr);
  if (length == 0 || length >= sizeof full) return std::string();
  return std::string(full, length);
#else
  std::string full;
  if (userPath[0] != '/') {
    char folder[4096];
    if (getcwd(folder, sizeof folder) == nullptr) return std::string();
    full = folder;
    if (full.empty() || full.back() != '/') full += '/';
  }
  full += userPath;
  for (char& c : full) {
    if (c == '/') c = '\\';
  }
  return full;
#endif
}

}  // namespace

bool parseInt32(const char* text, int32_t* value) {
  // strtol alone would accept leading blanks and an empty text.
  const char* digits = (text[0] == '-' || text[0] == '+') ? text + 1 : text;
  if (digits[0] < '0' || digits[0] > '9') return false;
  errno = 0;
  char* end = nullptr;
  long long parsed = strtoll(text, &end, 10);
  if (errno != 0 || *end != '\0' || parsed < INT32_MIN || parsed > INT32_MAX) return false;
  *value = static_cast<int32_t>(parsed);
  return true;
}

JobOptionResult takeJobOption(const char* verb, int argc, char** args, int* index, JobOptions* options) {
  const char* name = args[*index];
  const NumberOption* number = nullptr;
  for (const NumberOption& candidate : kNumberOptions) {
    if (strcmp(name, candidate.name) == 0) number = &candidate;
  }
  if (number == nullptr && strcmp(name, "--output") != 0) return JobOptionResult::none;

  if (*index + 1 >= argc) {
    fprintf(stderr, "tpp %s: %s needs a value\n", verb, name);
    return JobOptionResult::failed;
  }
  const char* value = args[*index + 1];
  JobRecord& job = options->job;
  if (number == nullptr) {
    if (strlen(value) >= sizeof(job.outputName)) {
      fprintf(stderr, "tpp %s: --output is longer than %u bytes\n", verb,
              static_cast<unsigned>(sizeof(job.outputName) - 1));
      return JobOptionResult::failed;
    }
    strcpy(job.outputName, value);
  } else {
    int32_t parsed;
    if (!parseInt32(value, &parsed)) {
      fprintf(stderr, "tpp %s: %s: '%s' is not a 32-bit decimal number\n", verb, name, value);
      return JobOptionResult::failed;
    }
    if (number->field == nullptr) {
      options->hasNow = true;
      options->now = parsed;
    } else {
      job.*(number->field) = parsed;
    }
    job.pixels = static_cast<int32_t>(static_cast<uint32_t>(job.width) * static_cast<uint32_t>(job.height));
  }
  *index += 2;
  return JobOptionResult::taken;
}

bool takeVerbArguments(const char* verb, const char* usage, int argc, char** args, VerbOptionTaker takeOwn,
                       void* context, JobOptions* options, const char** words, int wordCount,
                       const char* wordsNeeded) {
  int taken = 0;
  bool optionsEnded = false;
  for (int i = 0; i < argc;) {
    const char* arg = args[i];
    if (!optionsEnded && arg[0] == '-' && arg[1] == '-') {
      if (strcmp(arg, "--") == 0) {
        optionsEnded = true;
        ++i;
        continue;
      }
      JobOptionResult result = takeOwn != nullptr ? takeOwn(argc, args, &i, context) : JobOptionResult::none;
      if (result == JobOptionResult::none && options != nullptr) {
        result = takeJobOption(verb, argc, args, &i, options);
      }
      if (result == JobOptionResult::failed) return false;
      if (result == JobOptionResult::none) {
        fprintf(stderr, "tpp %s: unknown option '%s'\n", verb, arg);
        return false;
      }
      continue;
    }
    if (taken == wordCount) {
      fprintf(stderr, "tpp %s: unexpected word '%s'; usage: tpp %s\n", verb, arg, usage);
      return false;
    }
    words[taken++] = arg;
    ++i;
  }
  if (taken < wordCount) {
    fprintf(stderr, "tpp %s: %s needed; usage: tpp %s\n", verb, wordsNeeded, usage);
    return false;
  }
  return true;
}

bool setTemplateFile(const char* verb, const char* userPath, JobRecord* job) {
  // Reading one byte tells a readable file from a missing one and, on
  // POSIX systems where fopen opens folders too, from a folder.
  FILE* file = fopen(userPath, "rb");
  bool readable = file != nullptr && (fgetc(file), !ferror(file));
  if (file != nullptr) fclose(file);
  if (!readable) {
    fprintf(stderr, "tpp %s: cannot read '%s'\n", verb, userPath);
    return false;
  }
  std::string full = fullPathOf(userPath);
  if (full.empty() || full.size() >= sizeof(job->templatePath)) {
    fprintf(stderr, "tpp %s: the full path of '%s' is longer than %u bytes\n", verb, userPath,
            static_cast<unsigned>(sizeof(job->templatePath) - 1));
    return false;
  }
  strcpy(job->templatePath, full.c_str());
  return true;
}

char* expandForJob(const char* section, const JobOptions& options) {
  if (options.hasNow) return expandSectionAt(section, options.job, options.now);
  return expandSection(section, options.job);
}
