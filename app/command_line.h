// The command line: tarvolin [options] [order-file [stock-file]]. Reading
// it is pure, so that every option and every mistake can be tried without
// starting a run.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "batch_controller.h"

namespace tarvolin {

// The conventional exit status of a usage error.
inline constexpr int kExitBadCommandLine = 64;
// The most materials solved at once.
inline constexpr int kMaxJobs = 256;

extern const char* const kUsage;

struct CommandLine {
  enum class Action { kRun, kHelp, kVersion, kBadUsage };
  Action action = Action::kRun;
  std::string mistake;  // kBadUsage: what is wrong, e.g. "unknown option -x"

  bool gui = false;      // --gui
  bool console = false;  // --console; the later of the two wins
  bool yes = false;      // --yes
  std::string pdfFile;   // --print-pdf
  // --layouts, --json, --cut-list, --defaults-on-error and --jobs; jobs 0
  // when --jobs is not given (the front end then chooses).
  BatchOptions batch{.jobs = 0};
  std::vector<std::string> files;  // the order file and the stock file
};

// Reads the arguments after the program name. "--" ends the options.
CommandLine ReadCommandLine(const std::vector<std::string_view>& args);

}  // namespace tarvolin
