#include "TppLintCommand.h"

#include <stdint.h>
#include <stdio.h>

#include <string>
#include <vector>

#include "TppJobOptions.h"
#include "TppLint.h"

const char* const kLintUsage = "lint FILE... [--utf8]";

int runLintCommand(int argc, char** args) {
  bool utf8 = false;
  std::vector<CommandOption> known = {{"--utf8", nullptr, "", setSwitch(&utf8)}};
  std::vector<std::string> words;
  int status = readVerbArguments("lint", kLintUsage, argc, args, known, 1, SIZE_MAX, "FILE is", &words);
  if (status >= 0) return status;
  std::vector<const char*> files;
  for (const std::string& word : words) files.push_back(word.c_str());
  return lintTemplateFiles(static_cast<int>(files.size()), files.data(), utf8, stdout, stderr);
}
