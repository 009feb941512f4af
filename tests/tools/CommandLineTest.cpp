// The one command line reader of the tree's programs: what becomes an
// option, a word, the usage or a usage error, and the message of each error.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "CommandLine.h"

namespace {

// What a run of the reader left: its result, the words, what the options
// took (in order, as "NAME=VALUE") and the one line on stderr.
struct Outcome {
  CommandLineResult result;
  std::vector<std::string> words;
  std::vector<std::string> taken;
  std::string message;
};

Outcome read(std::vector<std::string> args, bool takesWords = true) {
  Outcome outcome{CommandLineResult::ok, {}, {}, ""};
  std::vector<CommandOption> options = {
      {"--port", "N", "", [&outcome](const std::string& v) {
         int32_t port = 0;
         std::string problem = takeInt32(v, 1, 65535, &port);
         if (problem.empty()) outcome.taken.push_back("--port=" + std::to_string(port));
         return problem;
       }},
      {"--utf8", nullptr, "", [&outcome](const std::string& v) -> std::string {
         outcome.taken.push_back("--utf8=" + v);
         return "";
       }},
  };
  std::vector<char*> argv;
  for (std::string& arg : args) argv.push_back(&arg[0]);
  testing::internal::CaptureStderr();
  outcome.result = readCommandLine("prog", static_cast<int>(argv.size()), argv.data(), options,
                                   takesWords ? &outcome.words : nullptr);
  outcome.message = testing::internal::GetCapturedStderr();
  return outcome;
}

TEST(CommandLine, ReadsOptionsAndWordsInOrder) {
  struct Row {
    std::vector<std::string> args;
    std::vector<std::string> words;
    std::vector<std::string> taken;
  };
  const Row rows[] = {
      {{}, {}, {}},
      {{"a.tpp", "--port", "11000", "start"}, {"a.tpp", "start"}, {"--port=11000"}},
      // A switch takes no value: the next argument is a word.
      {{"--utf8", "start"}, {"start"}, {"--utf8="}},
      // An option given twice is taken twice; the last one wins where it sets a field.
      {{"--port", "1", "--port", "2"}, {}, {"--port=1", "--port=2"}},
      // "--" ends the options: what follows is a word, "--port" too.
      {{"--", "--port", "-h"}, {"--port", "-h"}, {}},
      // A lone dash or a negative number is a word.
      {{"-", "-5"}, {"-", "-5"}, {}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(testing::PrintToString(row.args));
    Outcome outcome = read(row.args);
    EXPECT_EQ(outcome.result, CommandLineResult::ok);
    EXPECT_EQ(outcome.words, row.words);
    EXPECT_EQ(outcome.taken, row.taken);
    EXPECT_EQ(outcome.message, "");
  }
}

TEST(CommandLine, StopsAtTheFirstUsageErrorWithOneLine) {
  struct Row {
    std::vector<std::string> args;
    std::string message;
  };
  const Row rows[] = {
      {{"--prot", "9801"}, "prog: unknown option '--prot'\n"},
      {{"a.tpp", "--port"}, "prog: --port needs a value\n"},
      {{"--port", "0"}, "prog: --port: a number from 1 to 65535, not '0'\n"},
      {{"--port", " 80"}, "prog: --port: a number from 1 to 65535, not ' 80'\n"},
      {{"--port", "80x"}, "prog: --port: a number from 1 to 65535, not '80x'\n"},
      {{"--port", "4294967377"}, "prog: --port: a number from 1 to 65535, not '4294967377'\n"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(testing::PrintToString(row.args));
    Outcome outcome = read(row.args);
    EXPECT_EQ(outcome.result, CommandLineResult::error);
    EXPECT_EQ(outcome.message, row.message);
  }
}

// A program that takes no words refuses the first one, after "--" too.
TEST(CommandLine, RefusesWordsWhereNoneAreTaken) {
  for (std::vector<std::string> args : {std::vector<std::string>{"--utf8", "x"}, {"--", "--utf8"}}) {
    Outcome outcome = read(args, false);
    EXPECT_EQ(outcome.result, CommandLineResult::error);
    EXPECT_EQ(outcome.message, "prog: unexpected word '" + args.back() + "'\n");
  }
  EXPECT_EQ(read({"--utf8", "--port", "7"}, false).result, CommandLineResult::ok);
}

TEST(CommandLine, HelpWinsWhereverItStands) {
  for (const char* help : {"-h", "--help"}) {
    Outcome outcome = read({"--utf8", help, "--no-such-option"});
    EXPECT_EQ(outcome.result, CommandLineResult::help) << help;
    EXPECT_EQ(outcome.message, "");
  }
}

TEST(CommandLine, UsageListsEachOptionWithItsValueAndHelp) {
  std::vector<CommandOption> options = {
      {"--port", "N", "the port\n(9801)", nullptr},
      {"--a-very-long-option-name", nullptr, "help", nullptr},
  };
  EXPECT_EQ(optionsUsage(options, 12),
            "  --port N  the port\n"
            "            (9801)\n"
            "  --a-very-long-option-name  help\n");
}

}  // namespace
