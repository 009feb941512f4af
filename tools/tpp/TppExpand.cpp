#include "TppExpand.h"

#include <stdio.h>
#include <stdlib.h>

#include "TppJobOptions.h"
#include "TppOutput.h"

const char* const kExpandUsage = "expand FILE SECTION " TPP_JOB_OPTIONS_USAGE " [--utf8]";

int runExpandCommand(int argc, char** args) {
  JobOptions options{};
  bool utf8 = false;
  std::vector<CommandOption> known = jobCommandOptions(&options);
  known.push_back({"--utf8", nullptr, "", setSwitch(&utf8)});
  std::vector<std::string> words;
  int status = readVerbArguments("expand", kExpandUsage, argc, args, known, 2, 2, "FILE and SECTION are", &words);
  if (status >= 0) return status;
  if (!setTemplateFile("expand", words[0].c_str(), &options.job)) return 2;

  char* script = expandForJob(words[1].c_str(), options);
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
