#include "TppExpand.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "TppJobOptions.h"
#include "TppOutput.h"

const char* const kExpandUsage = "expand FILE SECTION " TPP_JOB_OPTIONS_USAGE " [--utf8]";

namespace {

// --utf8, the one option of expand's own.
JobOptionResult takeExpandOption(int, char** args, int* index, void* utf8) {
  if (strcmp(args[*index], "--utf8") != 0) return JobOptionResult::none;
  *static_cast<bool*>(utf8) = true;
  ++*index;
  return JobOptionResult::taken;
}

}  // namespace

int runExpandCommand(int argc, char** args) {
  JobOptions options{};
  bool utf8 = false;
  const char* words[2] = {nullptr, nullptr};
  if (!takeVerbArguments("expand", kExpandUsage, argc, args, takeExpandOption, &utf8, &options, words, 2,
                         "FILE and SECTION are")) {
    return 2;
  }
  if (!setTemplateFile("expand", words[0], &options.job)) return 2;

  char* script = expandForJob(words[1], options);
  if (script == nullptr) {
    fprintf(stderr, "tpp expand: out of memory\n");
    return 1;
  }
  bool written = writeScriptText(stdout, script, utf8);
  free(script);
  if (!written) {
    fprintf(stderr, "tpp expand: cannot write the script%s\n", utf8 ? " as UTF-8" : "");
    return 1;
  }
  return 0;
}
