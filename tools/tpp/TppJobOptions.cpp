#include "TppJobOptions.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>

#ifdef _WIN32
#include <windows.h>
#else
#include <unistd.h>
#endif

#include "job/SaveJob.h"
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

std::vector<CommandOption> jobCommandOptions(JobOptions* options) {
  std::vector<CommandOption> list;
  for (const NumberOption& number : kNumberOptions) {
    int32_t JobRecord::*field = number.field;
    list.push_back({number.name, "N", "", [options, field](const std::string& value) -> std::string {
                      int32_t parsed;
                      if (!parseInt32(value, &parsed)) return "'" + value + "' is not a 32-bit decimal number";
                      JobRecord& job = options->job;
                      if (field == nullptr) {
                        options->hasNow = true;
                        options->now = parsed;
                      } else {
                        job.*field = parsed;
                      }
                      job.pixels = pixelsOf(job.width, job.height);
                      return "";
                    }});
  }
  list.push_back({"--output", "PATH", "", [options](const std::string& value) -> std::string {
                    JobRecord& job = options->job;
                    if (value.size() >= sizeof(job.outputName)) {
                      return "longer than " + std::to_string(sizeof(job.outputName) - 1) + " bytes";
                    }
                    memcpy(job.outputName, value.c_str(), value.size() + 1);
                    return "";
                  }});
  return list;
}

int readVerbArguments(const char* verb, const char* usage, int argc, char** args,
                      const std::vector<CommandOption>& options, size_t fewestWords, size_t mostWords,
                      const char* wordsNeeded, std::vector<std::string>* words) {
  std::string who = std::string("tpp ") + verb;
  int status = takeCommandLine(who.c_str(), std::string("usage: tpp ") + usage + "\n", argc, args, options, words);
  if (status >= 0) return status;
  if (words->size() > mostWords) {
    fprintf(stderr, "%s: unexpected word '%s'; usage: tpp %s\n", who.c_str(), (*words)[mostWords].c_str(), usage);
    return kUsageErrorStatus;
  }
  if (words->size() < fewestWords) {
    fprintf(stderr, "%s: %s needed; usage: tpp %s\n", who.c_str(), wordsNeeded, usage);
    return kUsageErrorStatus;
  }
  return -1;
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
