// tpp: the template author's command. Each verb lives in a file of its own
// (TppExpand.cpp and so on) and is named in the table below.
#include <stdio.h>
#include <string.h>

#include "TppCases.h"
#include "TppExpand.h"
#include "TppLintCommand.h"
#include "TppSend.h"

namespace {

struct Verb {
  const char* name;
  const char* const* usage;        // the verb's usage, without "tpp "
  int (*run)(int argc, char** args);  // gets the words after the verb
};

const Verb kVerbs[] = {
    {"cases", &kCasesUsage, runCasesCommand},
    {"expand", &kExpandUsage, runExpandCommand},
    {"lint", &kLintUsage, runLintCommand},
    {"send", &kSendUsage, runSendCommand},
};

void printUsage(FILE* out) {
  fprintf(out, "usage:\n");
  for (const Verb& verb : kVerbs) fprintf(out, "  tpp %s\n", *verb.usage);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc >= 2) {
    for (const Verb& verb : kVerbs) {
      if (strcmp(argv[1], verb.name) == 0) return verb.run(argc - 2, argv + 2);
    }
    if (strcmp(argv[1], "help") == 0 || strcmp(argv[1], "--help") == 0) {
      printUsage(stdout);
      return 0;
    }
    fprintf(stderr, "tpp: unknown verb '%s'\n", argv[1]);
  }
  printUsage(stderr);
  return 2;
}
