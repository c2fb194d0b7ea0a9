#include "command_line.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tarvolin {
namespace {

using Action = CommandLine::Action;

CommandLine Read(std::vector<std::string_view> args) {
  return ReadCommandLine(args);
}

TEST(CommandLine, OptionsAndFiles) {
  const CommandLine line =
      Read({"--console", "--yes", "--layouts", "--json", "--cut-list", "--defaults-on-error",
            "--jobs", "3", "--print-pdf=labels.pdf", "orders.txt", "stocks.txt"});
  EXPECT_EQ(line.action, Action::kRun);
  EXPECT_TRUE(line.console);
  EXPECT_FALSE(line.gui);
  EXPECT_TRUE(line.yes);
  EXPECT_TRUE(line.batch.layouts);
  EXPECT_TRUE(line.batch.plan);
  EXPECT_TRUE(line.batch.cutList);
  EXPECT_TRUE(line.batch.defaultsOnError);
  EXPECT_EQ(line.batch.jobs, 3);
  EXPECT_EQ(line.pdfFile, "labels.pdf");
  EXPECT_EQ(line.files, (std::vector<std::string>{"orders.txt", "stocks.txt"}));

  // Nothing given: every switch off, the jobs left to the front end.
  const CommandLine none = Read({});
  EXPECT_EQ(none.action, Action::kRun);
  EXPECT_FALSE(none.console || none.gui || none.yes || none.batch.layouts || none.batch.plan);
  EXPECT_EQ(none.batch.jobs, 0);
  EXPECT_TRUE(none.files.empty());
}

TEST(CommandLine, TheLaterOfGuiAndConsoleWins) {
  EXPECT_TRUE(Read({"--gui", "--console"}).console);
  EXPECT_FALSE(Read({"--gui", "--console"}).gui);
  EXPECT_TRUE(Read({"--console", "--gui"}).gui);
  EXPECT_FALSE(Read({"--console", "--gui"}).console);
}

TEST(CommandLine, ValuesInTheSameOrTheNextArgument) {
  EXPECT_EQ(Read({"--jobs=256"}).batch.jobs, 256);
  EXPECT_EQ(Read({"--jobs", "1"}).batch.jobs, 1);
  EXPECT_EQ(Read({"--print-pdf", "a b.pdf", "o.txt"}).pdfFile, "a b.pdf");
  EXPECT_EQ(Read({"--print-pdf", "a b.pdf", "o.txt"}).files, std::vector<std::string>{"o.txt"});
}

// After "--" everything is a file name; a lone "-" is one anyway.
TEST(CommandLine, FileNamesThatLookLikeOptions) {
  EXPECT_EQ(Read({"--", "--yes", "-x"}).files, (std::vector<std::string>{"--yes", "-x"}));
  EXPECT_FALSE(Read({"--", "--yes"}).yes);
  EXPECT_EQ(Read({"-"}).files, std::vector<std::string>{"-"});
}

TEST(CommandLine, HelpAndVersionEndTheReading) {
  EXPECT_EQ(Read({"--help", "--bogus"}).action, Action::kHelp);
  EXPECT_EQ(Read({"--version", "a", "b", "c"}).action, Action::kVersion);
  // A mistake before them is reported first.
  EXPECT_EQ(Read({"--bogus", "--help"}).action, Action::kBadUsage);
}

TEST(CommandLine, Mistakes) {
  const struct {
    std::vector<std::string_view> args;
    const char* mistake;
  } cases[] = {
      {{"--bogus"}, "unknown option --bogus"},
      {{"-x"}, "unknown option -x"},
      {{"--jobsx"}, "unknown option --jobsx"},
      {{"a", "b", "c"}, "too many file names"},
      {{"--print-pdf"}, "--print-pdf needs a file name"},
      {{"--print-pdf="}, "--print-pdf needs a file name"},
      {{"--jobs"}, "--jobs needs a number from 1 to 256"},
      {{"--jobs=0"}, "--jobs needs a number from 1 to 256"},
      {{"--jobs=257"}, "--jobs needs a number from 1 to 256"},
      {{"--jobs", "2x"}, "--jobs needs a number from 1 to 256"},
      {{"--jobs", "-1"}, "--jobs needs a number from 1 to 256"},
  };
  for (const auto& c : cases) {
    const CommandLine line = Read(c.args);
    EXPECT_EQ(line.action, Action::kBadUsage) << c.mistake;
    EXPECT_EQ(line.mistake, c.mistake);
  }
}

}  // namespace
}  // namespace tarvolin
