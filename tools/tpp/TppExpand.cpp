#include "TppExpand.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "TppJobOptions.h"
#include "TppOutput.h"

const char* const kExpandUsage = "expand FILE SECTION " TPP_JOB_OPTIONS_USAGE " [--utf8]";

int runExpandCommand(int argc, char** args) {
  JobOptions options{};
  int utf8 = 0;
  const char* words[2] = {nullptr, nullptr};
  int wordCount = 0;
  int optionsEnded = 0;

  for (int i = 0; i < argc;) {
    const char* arg = args[i];
    if (!optionsEnded && arg[0] == '-' && arg[1] == '-') {
      if (strcmp(arg, "--") == 0) {
        optionsEnded = 1;
        ++i;
        continue;
      }
      if (strcmp(arg, "--utf8") == 0) {
        utf8 = 1;
        ++i;
        continue;
      }
      JobOptionResult result = takeJobOption("expand", argc, args, &i, &options);
      if (result == JobOptionFailed) return 2;
      if (result == JobOptionNone) {
        fprintf(stderr, "tpp expand: unknown option '%s'\n", arg);
        return 2;
      }
      continue;
    }
    if (wordCount == 2) {
      fprintf(stderr, "tpp expand: unexpected word '%s'; usage: tpp %s\n", arg, kExpandUsage);
      return 2;
    }
    words[wordCount++] = arg;
    ++i;
  }
  if (wordCount < 2) {
    fprintf(stderr, "tpp expand: FILE and SECTION are needed; usage: tpp %s\n", kExpandUsage);
    return 2;
  }
  if (!setTemplateFile("expand", words[0], &options.job)) return 2;

  char* script = expandForJob(words[1], options);
  if (script == nullptr) {
    fprintf(stderr, "tpp expand: out of memory\n");
    return 1;
  }
  int written = writeScriptText(stdout, script, utf8);
  free(script);
  if (!written) {
    fprintf(stderr, "tpp expand: cannot write the script%s\n", utf8 ? " as UTF-8" : "");
    return 1;
  }
  return 0;
}
