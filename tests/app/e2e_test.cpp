// End-to-end runs of the tarvolin executable in temporary working
// directories, in console mode.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <mutex>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "test_locale.h"

namespace fs = std::filesystem;

namespace {

const char* kHeader = "Material Profile Length Qty Mark\r\n";

struct RunResult {
  int status = -1;
  std::string out, err;
};

std::string ReadFile(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

// The text pdftotext extracted, with the typographic ligatures that the
// text shaping may have set (ff, fi, fl, ffi, ffl) written out.
std::string PdfTextFile(const fs::path& p) {
  std::string text = ReadFile(p);
  static const std::pair<const char*, const char*> kLigatures[] = {
      {"\uFB00", "ff"}, {"\uFB01", "fi"}, {"\uFB02", "fl"}, {"\uFB03", "ffi"}, {"\uFB04", "ffl"}};
  for (const auto& [ligature, letters] : kLigatures) {
    const std::string from = ligature;
    for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at)) {
      text.replace(at, from.size(), letters);
    }
  }
  return text;
}

std::string ReadAll(int fd) {
  std::string s;
  char buf[4096];
  ssize_t n;
  while ((n = read(fd, buf, sizeof buf)) > 0) s.append(buf, static_cast<size_t>(n));
  return s;
}

// Settings files as CR LF lines: values with a comment after each.
std::string Lines(const std::vector<std::string>& lines) {
  std::string s;
  for (const auto& l : lines) s += l + "\r\n";
  return s;
}

std::string Config(bool showWindow = true, bool labels = false, bool layouts = false,
                   bool plan = false) {
  return Lines({showWindow ? "1 ShowWindow" : "0 ShowWindow",
                "0 AskInputFiles",
                "1 ConfirmSteps",
                "0 ShowMessages",
                "0 RunMsgMode",
                "0",
                "0",
                "1 ReportFrame",
                "1 ReportTotals",
                "1 ReportMaterialColumn",
                "0 ReportPartsMode",
                "0 ReportCosts",
                layouts ? "1 LayoutsFile" : "0 LayoutsFile",
                plan ? "1 PlanFile" : "0 PlanFile",
                "18 MaterialColumnWidth",
                "8 NumberColumnWidth",
                labels ? "1 LabelsFile" : "0 LabelsFile",
                "0 PrintLabels",
                "0",
                "0",
                "0",
                "555"});
}

// The settings text with one line replaced.
std::string Changed(const std::string& settings, const std::string& line,
                    const std::string& replacement) {
  std::string changed;
  std::istringstream in(settings);
  for (std::string l; std::getline(in, l, '\n');) {
    changed.append(l == line + "\r" ? replacement + "\r" : l).append("\n");
  }
  return changed;
}

std::string OptSet(int effort = 2) {
  return Lines({"0 CostOptim", "1 IgnoreLast", "0 PrefShort", "1 ReduceLays",
                std::to_string(effort) + " EffortLev", "0 DiffStocks", "0 DiffPieces",
                "0 MinReusable", "0 kerf", "0 end", "1 kind", "0 MaxPieces", "0 bundle", "0", "0",
                "0", "555"});
}

class E2e : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("tarvolin_e2e_" + std::to_string(getpid()) + "_" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }

  void Write(const std::string& name, const std::string& text) {
    std::ofstream(dir_ / name, std::ios::binary) << text;
  }
  std::string Read(const std::string& name) { return ReadFile(dir_ / name); }
  bool Exists(const std::string& name) { return fs::exists(dir_ / name); }

  void StandardFiles(bool showWindow = true) {
    Write("QM_Config.txt", Config(showWindow));
    Write("QM_OptSet.txt", OptSet());
  }

  // Runs the program in cwd_ with stdin from /dev/null; `whileRunning` is
  // called with the child's pid before waiting for it. `env` sets (or, with
  // nullptr, unsets) environment variables of the child.
  // With `stdoutClosed` the child's standard output is a pipe that nobody
  // reads: every write to it fails (or raises SIGPIPE).
  RunResult Run(const std::vector<std::string>& args,
                const std::function<void(pid_t)>& whileRunning = {},
                const std::vector<std::pair<const char*, const char*>>& env = {},
                bool stdoutClosed = false) {
    int outPipe[2], errPipe[2];
    EXPECT_EQ(pipe(outPipe), 0);
    EXPECT_EQ(pipe(errPipe), 0);
    if (stdoutClosed) {
      close(outPipe[0]);
      outPipe[0] = -1;
    }
    const pid_t pid = fork();
    if (pid == 0) {
      if (chdir((cwd_.empty() ? dir_ : cwd_).c_str()) != 0) _exit(126);
      if (addressSpaceLimit_ > 0) {
        const rlimit limit{addressSpaceLimit_, addressSpaceLimit_};
        setrlimit(RLIMIT_AS, &limit);
      }
      for (const auto& [name, value] : env) {
        if (value != nullptr) {
          setenv(name, value, 1);
        } else {
          unsetenv(name);
        }
      }
      if (fileSizeLimit_ > 0) {
        // Writes past the limit fail as on a full disk (EFBIG).
        signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{fileSizeLimit_, fileSizeLimit_};
        setrlimit(RLIMIT_FSIZE, &limit);
      }
      const int devnull = open("/dev/null", O_RDONLY);
      dup2(devnull, 0);
      dup2(outPipe[1], 1);
      dup2(errPipe[1], 2);
      if (outPipe[0] >= 0) close(outPipe[0]);
      close(errPipe[0]);
      std::vector<char*> argv;
      std::string exe = TARVOLIN_EXE;
      argv.push_back(exe.data());
      std::vector<std::string> copy = args;
      for (auto& a : copy) argv.push_back(a.data());
      argv.push_back(nullptr);
      execv(exe.c_str(), argv.data());
      _exit(127);
    }
    close(outPipe[1]);
    close(errPipe[1]);
    if (whileRunning) whileRunning(pid);
    RunResult r;
    std::thread errReader([&] { r.err = ReadAll(errPipe[0]); });
    if (outPipe[0] >= 0) r.out = ReadAll(outPipe[0]);
    errReader.join();
    if (outPipe[0] >= 0) close(outPipe[0]);
    close(errPipe[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    r.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return r;
  }

  // Several slow materials: a signal sent once the report is being
  // written arrives long before the end.
  void SlowFiles() {
    Write("QM_Config.txt", Config());
    Write("QM_OptSet.txt", OptSet(5));
    std::string order = kHeader, stock = "h\r\n";
    for (char m = 'A'; m <= 'F'; ++m) {
      for (int g = 0; g < 20; ++g)
        order += std::string(1, m) + " x " + std::to_string(1003 + 97 * g) + " 5\r\n";
      stock += std::string(1, m) + " x 6000 40\r\n" + std::string(1, m) + " x 4100 40\r\n" +
               std::string(1, m) + " x 2900 20\r\n";
    }
    Write("QM_Orders.txt", order);
    Write("QM_Stocks.txt", stock);
  }

  // Waits (at most ten seconds) until the file exists.
  void AwaitFile(const fs::path& path) {
    for (int i = 0; i < 2000 && !fs::exists(path); ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }

  fs::path dir_;
  fs::path cwd_;                  // where the program runs; dir_ when empty
  rlim_t fileSizeLimit_ = 0;      // the largest file the program may write; 0 = no limit
  rlim_t addressSpaceLimit_ = 0;  // bytes of address space for the child; 0: no limit
};

TEST_F(E2e, MaterialsInOrderOfFirstAppearanceWithAllTheirLines) {
  StandardFiles();
  Write("QM_Orders.txt", std::string(kHeader) + "A x 1000 2\r\nB y 700 3\r\nA x 500 4 M\r\n");
  Write("QM_Stocks.txt", "Material Profile Length Qty\r\nA x 6000 5\r\nB y 3000 5\r\n");
  const RunResult r = Run({"--console", "--yes"});
  EXPECT_EQ(r.status, 0) << r.err;
  const size_t a = r.out.find("\nA x ");
  const size_t b = r.out.find("\nB y ");
  ASSERT_NE(a, std::string::npos) << r.out;
  ASSERT_NE(b, std::string::npos) << r.out;
  EXPECT_LT(a, b);
  // A with both lines: 6 pieces in 2 groups.
  EXPECT_EQ(r.out.substr(a + 1, 18 + 12), "A x                    6     2");
  EXPECT_NE(r.out.find("  - Processed: 2 materials\n"), std::string::npos) << r.out;
  EXPECT_EQ(r.out.find("Checked"), std::string::npos);
  EXPECT_EQ(Read("QM^ErrLog.txt"), "END");
  EXPECT_EQ(Read("QM^WrnLog.txt"), "END");
  const std::string report = Read("QM_Report.txt");
  EXPECT_NE(report.find("TOTALS for Mater/Sect: A x \r\n"), std::string::npos);
  EXPECT_NE(report.find("TOTALS for Mater/Sect: B y \r\n"), std::string::npos);
  EXPECT_NE(report.find("   REPORT END for:  QM_Orders.txt / QM_Stocks.txt\r\n\r\n"),
            std::string::npos);
}

// An order file that yields no piece ends the run with an error that says
// why; nothing is planned and the report is deleted.
TEST_F(E2e, AnOrderFileWithoutPiecesIsAnError) {
  struct Case {
    const char* what;
    std::string orders;
    const char* error;
  };
  const Case cases[] = {
      {"header only", kHeader, "no pieces found in QM_Orders.txt"},
      {"empty", "", "no pieces found in QM_Orders.txt"},
      {"CR-only line ends", "Material Profile Length Qty\rA x 1000 2\r",
       "no pieces found in QM_Orders.txt"},
      {"UTF-16", std::string("\xFF\xFEM\0a\0t\0\r\0\n\0", 12),
       "QM_Orders.txt is not a text file in UTF-8 or ASCII"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    StandardFiles();
    Write("QM_Orders.txt", c.orders);
    Write("QM_Stocks.txt", "Material Profile Length Qty\r\nA x 6000 5\r\n");
    const RunResult r = Run({"--console", "--yes"});
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_NE(r.out.find("  - Processed: 0 materials\n"), std::string::npos) << r.out;
    EXPECT_EQ(Read("QM^ErrLog.txt"), std::string(c.error) + "\r\n\r\nEND");
    EXPECT_FALSE(Exists("QM_Report.txt"));
  }
}

TEST_F(E2e, AFirstLineThatReadsAsAPieceIsWarned) {
  StandardFiles();
  Write("QM_Orders.txt", "A x 1000 2\r\nA x 500 1\r\n");
  Write("QM_Stocks.txt", "Material Profile Length Qty\r\nA x 6000 5\r\n");
  const RunResult r = Run({"--console", "--yes"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(Read("QM^WrnLog.txt"),
            "The first line of QM_Orders.txt reads as a piece line but is skipped as the "
            "header:\r\nA x 1000 2\r\n\r\nEND");
}

TEST_F(E2e, BadLengthInTheThirdMaterialEndsTheRunWithoutEndLine) {
  StandardFiles();
  Write("QM_Orders.txt", std::string(kHeader) + "A x 1000 2\r\nB y 700 3\r\nC z 1O0 4\r\n");
  Write("QM_Stocks.txt", "h\r\nA x 6000 5\r\nB y 3000 5\r\nC z 3000 5\r\n");
  const RunResult r = Run({"--console", "--yes"});
  EXPECT_EQ(r.status, 1);
  const std::string report = Read("QM_Report.txt");
  EXPECT_NE(report.find("Mater/Sect: A x"), std::string::npos);
  EXPECT_NE(report.find("Mater/Sect: B y"), std::string::npos);
  EXPECT_EQ(report.find("REPORT END"), std::string::npos);
  EXPECT_EQ(Read("QM^ErrLog.txt"),
            "Error reading part input file.\r\nAll part lengths must be positive\r\n"
            "and have proper format.\r\nSee part group: 1\r\nSee line: 4\r\nMater/Sect: C z\r\n\r\n"
            "END");
  EXPECT_EQ(r.out.find("Processed"), std::string::npos);
}

TEST_F(E2e, MaterialWithoutStockIsWarnedAndCountedAsChecked) {
  StandardFiles();
  Write("QM_Orders.txt", std::string(kHeader) + "A x 1000 2\r\nN o 700 3\r\nB y 500 1\r\n");
  Write("QM_Stocks.txt", "h\r\nA x 6000 5\r\nB y 3000 5\r\n");
  const RunResult r = Run({"--console", "--yes"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(Read("QM^WrnLog.txt"), "No stock length available for material: N o\r\n\r\nEND");
  EXPECT_NE(r.out.find("  - Processed: 2 materials\n    - Checked: 3 materials\n"),
            std::string::npos)
      << r.out;
}

TEST_F(E2e, ExactlyOneMaterialIsSingular) {
  StandardFiles();
  Write("QM_Orders.txt", std::string(kHeader) + "A x 1000 2\r\n");
  Write("QM_Stocks.txt", "h\r\nA x 6000 5\r\n");
  const RunResult r = Run({"--console", "--yes"});
  EXPECT_EQ(r.status, 0);
  EXPECT_NE(r.out.find("  - Processed: 1 material\n"), std::string::npos) << r.out;
}

TEST_F(E2e, CommandLineParametersReplaceTheMasks) {
  StandardFiles();
  Write("parts.txt", std::string(kHeader) + "A x 1000 2\r\n");
  Write("bars.txt", "h\r\nA x 6000 5\r\n");
  Write("QM_Stocks.txt", "h\r\nA x 2000 5\r\n");
  // One parameter: the stock file is still found by its mask.
  RunResult r = Run({"--console", "--yes", "parts.txt"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_NE(Read("parts_Report.txt").find("REPORT for:  parts.txt / QM_Stocks.txt"),
            std::string::npos);
  // Two parameters: no mask is used (a second stock file would not matter).
  Write("QM_Stocks2.txt", "h\r\n");
  r = Run({"--console", "--yes", "parts.txt", "bars.txt"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_NE(Read("parts_Report.txt").find("REPORT for:  parts.txt / bars.txt"), std::string::npos);
}

TEST_F(E2e, ShowWindowOffWritesNoMemoAndClosesByItself) {
  StandardFiles(false);
  Write("QM_Orders.txt", std::string(kHeader) + "A x 1000 2\r\n");
  Write("QM_Stocks.txt", "h\r\nA x 6000 5\r\n");
  const RunResult r = Run({"--console", "--yes"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "");
  EXPECT_TRUE(Exists("QM_Report.txt"));
}

TEST_F(E2e, MissingStockFileEndsTheRunWithoutOutputs) {
  StandardFiles();
  Write("QM_Orders.txt", std::string(kHeader) + "A x 1000 2\r\n");
  const RunResult r = Run({"--console", "--yes"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(Read("QM^ErrLog.txt"), "Can not find Stock input file: QM_Stocks*.txt\r\n\r\nEND");
  EXPECT_FALSE(Exists("QM_Report.txt"));
}

TEST_F(E2e, CancelledConfirmationEndsTheRunQuietly) {
  StandardFiles();
  Write("QM_Orders.txt", std::string(kHeader) + "A x 1000 2\r\n");
  Write("QM_Stocks.txt", "h\r\nA x 6000 5\r\n");
  const RunResult r = Run({"--console"});  // no terminal, no --yes: Cancel
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("--yes"), std::string::npos) << r.err;
  EXPECT_EQ(Read("QM^ErrLog.txt"), "END");
  EXPECT_EQ(Read("QM^WrnLog.txt"), "END");
  EXPECT_FALSE(Exists("QM_Report.txt"));
}

TEST_F(E2e, SecondInstanceLeavesTheRunningInstancesFilesAlone) {
  StandardFiles();
  Write("QM_Orders.txt", std::string(kHeader) + "A x 1000 2\r\n");
  Write("QM_Stocks.txt", "h\r\nA x 6000 5\r\n");
  Write("QM^ErrLog.txt", "first instance's errors");
  Write("QM^WrnLog.txt", "first instance's warnings");
  // The running instance holds its warning log locked for the whole run.
  const int fd = open((dir_ / "QM^WrnLog.txt").c_str(), O_WRONLY);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(flock(fd, LOCK_EX | LOCK_NB), 0);
  const RunResult r = Run({"--console", "--yes"});
  close(fd);
  EXPECT_EQ(r.status, 3);
  EXPECT_NE(r.err.find("Tarvolin is already running"), std::string::npos) << r.err;
  EXPECT_EQ(Read("QM^ErrLog.txt"), "first instance's errors");
  EXPECT_EQ(Read("QM^WrnLog.txt"), "first instance's warnings");
  EXPECT_FALSE(Exists("QM_Report.txt"));
}

TEST_F(E2e, CtrlCStopsTheRunAndTheLogsAreClosed) {
  Write("QM_Config.txt", Config());
  Write("QM_OptSet.txt", OptSet(5));
  // Several slow materials: the interrupt arrives long before the end.
  std::string order = kHeader, stock = "h\r\n";
  for (char m = 'A'; m <= 'F'; ++m) {
    for (int g = 0; g < 20; ++g)
      order += std::string(1, m) + " x " + std::to_string(1003 + 97 * g) + " 5\r\n";
    stock += std::string(1, m) + " x 6000 40\r\n" + std::string(1, m) + " x 4100 40\r\n" +
             std::string(1, m) + " x 2900 20\r\n";
  }
  Write("QM_Orders.txt", order);
  Write("QM_Stocks.txt", stock);
  const RunResult r = Run({"--console", "--yes"}, [&](pid_t pid) {
    // The report is written beside its place until the run closes it.
    AwaitFile(dir_ / "QM_Report.txt.tmp");
    kill(pid, SIGINT);
  });
  EXPECT_EQ(r.status, 2) << r.err;
  EXPECT_EQ(r.out.find("Processed"), std::string::npos) << r.out;
  const std::string err = Read("QM^ErrLog.txt");
  const std::string wrn = Read("QM^WrnLog.txt");
  ASSERT_GE(err.size(), 3u);
  EXPECT_EQ(err.substr(err.size() - 3), "END");
  EXPECT_EQ(wrn.substr(wrn.size() - 3), "END");
}

TEST_F(E2e, HelpAndBadOptions) {
  RunResult r = Run({"--help"});
  EXPECT_EQ(r.status, 0);
  EXPECT_NE(r.out.find("Exit status"), std::string::npos);
  // Every status the program ends with, with each of its reasons.
  for (const char* reason :
       {"  0  the run ended normally", "a log could not be", "--gui found no usable display",
        "  2  a confirmation", "  3  another instance", "another run writes the",
        "  64 bad command line"}) {
    EXPECT_NE(r.out.find(reason), std::string::npos) << reason;
  }
  struct Case {
    std::vector<std::string> args;
    const char* message;
  };
  const Case cases[] = {
      {{"--frobnicate"}, "unknown option"},
      {{"--console", "a.txt", "b.txt", "c.txt"}, "too many file names"},
      {{"--console", "--print-pdf="}, "--print-pdf needs a file name"},
      {{"--console", "--print-pdf"}, "--print-pdf needs a file name"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.message);
    StandardFiles();
    r = Run(c.args);
    EXPECT_EQ(r.status, 64);
    EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
    EXPECT_FALSE(Exists("QM^ErrLog.txt"));
    EXPECT_FALSE(Exists("QM^WrnLog.txt"));
  }
}

// --yes answers the run's confirmations, never the offer of default
// settings after a settings file failed: without --defaults-on-error the
// run ends before it writes any output.
TEST_F(E2e, ASettingsErrorNeedsItsOwnOptionForTheDefaults) {
  Write("QM_Config.txt", Config());
  Write("QM_OptSet.txt", OptSet(11));
  Write("QM_Orders.txt", std::string(kHeader) + "A x 1000 2\r\n");
  Write("QM_Stocks.txt", "Material Profile Length Qty\r\nA x 6000 5\r\n");
  RunResult r = Run({"--console", "--yes"});
  EXPECT_EQ(r.status, 1) << r.err;
  EXPECT_FALSE(Exists("QM_Report.txt"));
  EXPECT_EQ(Read("QM^ErrLog.txt"),
            "Optimizer Settings file reading error\r\nSee line: 5 (out of range 0..10)\r\n\r\nEND");

  r = Run({"--console", "--yes", "--defaults-on-error"});
  EXPECT_EQ(r.status, 1) << r.err;  // the error is still logged
  EXPECT_TRUE(Exists("QM_Report.txt"));
  EXPECT_NE(r.out.find("  - Processed: 1 material\n"), std::string::npos) << r.out;
}

TEST_F(E2e, ByteOrderMarksAndUncutPieces) {
  Write("QM_Config.txt", "\xEF\xBB\xBF" + Config());
  Write("QM_OptSet.txt", "\xEF\xBB\xBF" + OptSet());
  Write("QM_Orders.txt", "\xEF\xBB\xBF" + std::string(kHeader) + "Steel RHS 2000 9 A\r\n");
  Write("QM_Stocks.txt", "\xEF\xBB\xBFMaterial Profile Length Qty\r\nSteel RHS 6000 1\r\n");
  const RunResult r = Run({"--console", "--yes"});
  EXPECT_EQ(r.status, 0) << r.err;
  // Three pieces of 2000 fill the one bar of 6000 without kerf; six are left.
  EXPECT_EQ(Read("QM^WrnLog.txt"),
            "Pieces left uncut for material: Steel RHS\r\n2000.00 A: 6 not cut\r\n\r\nEND");
}

// The report's lines of the exact method: the method in the heading, the
// bound and the proof in the material's totals.
std::string ProofLine(const std::string& report) {
  const size_t at = report.find("\r\nProven optimal:");
  if (at == std::string::npos) return {};
  return report.substr(at + 2, report.find("\r\n", at + 2) - at - 2);
}

TEST_F(E2e, ExactExampleProvesItsPlan) {
#ifndef TARVOLIN_HAVE_EXACT
  GTEST_SKIP() << "exact method not in this build";
#endif
  for (const auto& f : fs::directory_iterator(fs::path(TARVOLIN_SOURCE_DIR) / "examples/exact")) {
    fs::copy_file(f.path(), dir_ / f.path().filename());
  }
  const RunResult r = Run({"--console", "--yes"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(Read("QM^ErrLog.txt"), "END");
  const std::string report = Read("QM_Report.txt");
  EXPECT_NE(report.find("\r\nSolution method:            Exact\r\n"), std::string::npos) << report;
  EXPECT_NE(report.find("\r\nLower bound length: "), std::string::npos) << report;
  // A few pieces on one stock length: proven at once.
  const std::string proof = ProofLine(report);
  ASSERT_FALSE(proof.empty()) << report;
  EXPECT_EQ(proof.back(), 'Y') << proof;
}

// A material at the search's limits (20 lines, 100 pieces, stock lowered to
// 100 bars) is planned as before under both methods: the stock is lowered
// with the same warning, and the exact method adds its lines to the report.
// One more line is beyond the search: with Method 0 the run ends on it, with
// the way past the limit named.
TEST_F(E2e, AMaterialAtTheSearchsLimitsIsPlannedAsBeforeUnderBothMethods) {
  std::string order = kHeader;
  for (int i = 1; i <= 20; ++i) order += "A x " + std::to_string(1000 + 10 * i) + " 5\r\n";
  Write("QM_Config.txt", Config());
  Write("QM_Orders.txt", order);
  Write("QM_Stocks.txt", "Material Profile Length Qty\r\nA x 3000 90\r\nA x 3100 90\r\n");
  const std::string lowered = "Stock quantities lowered to the program limit of 100 bars\r\n";
  for (const int method : {0, 1}) {
#ifndef TARVOLIN_HAVE_EXACT
    if (method == 1) continue;
#endif
    SCOPED_TRACE(method);
    const std::string settings =
        method == 0
            ? OptSet()
            : Lines({"0 CostOptim", "1 IgnoreLast", "0 PrefShort", "1 ReduceLays", "2 EffortLev",
                     "0 DiffStocks", "0 DiffPieces", "0 MinReusable", "0 kerf", "0 end", "1 kind",
                     "0 MaxPieces", "0 bundle", "1 Method", "0 ExactTime", "0", "555"});
    Write("QM_OptSet.txt", settings);
    const RunResult r = Run({"--console", "--yes"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(Read("QM^ErrLog.txt"), "END");
    EXPECT_TRUE(Read("QM^WrnLog.txt").starts_with(lowered)) << Read("QM^WrnLog.txt");
    const std::string report = Read("QM_Report.txt");
    EXPECT_NE(report.find("Part Total Number:         100\r\n"), std::string::npos) << report;
    EXPECT_EQ(report.find("Lower bound length:") != std::string::npos, method == 1) << report;
  }

  Write("QM_OptSet.txt", OptSet());
  Write("QM_Orders.txt", order + "A x 1500 1\r\n");
  const RunResult r = Run({"--console", "--yes"});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(Read("QM^ErrLog.txt")
                .find("Too many part input lines/groups\r\nSee part group: 21\r\nSee line: 22\r\n"
                      "Mater/Sect: A x\r\nThe exact method (QM_OptSet.txt line 14 = 1) plans up "
                      "to 10000 lines\r\n"),
            std::string::npos)
      << Read("QM^ErrLog.txt");
}

// A material the exact method cannot prove within its time limit of one
// second: the run goes on with the better plan, marked not proven.
TEST_F(E2e, ExactMethodAtItsTimeLimitSaysNotProven) {
#ifndef TARVOLIN_HAVE_EXACT
  GTEST_SKIP() << "exact method not in this build";
#endif
  Write("QM_Config.txt", Config());
  Write("QM_OptSet.txt",
        Lines({"0 CostOptim", "1 IgnoreLast", "-3 PrefShort", "3 ReduceLays", "1 EffortLev",
               "0 DiffStocks", "3 DiffPieces", "0 MinReusable", "0 kerf", "0.46 end", "1 kind",
               "0 MaxPieces", "0 bundle", "1 Method", "1 ExactTime", "0", "555"}));
  std::string order = kHeader;
  for (const char* line :
       {"24.81 3", "30.69 9", "34.62 8", "3.53 6", "4.43 6", "1.88 11", "1.88 9 M", "1.88 11",
        "31.71 10", "22.80 6", "37.45 11", "33.37 7", "33.37 3"}) {
    order += std::string("H x ") + line + "\r\n";
  }
  Write("QM_Orders.txt", order);
  Write("QM_Stocks.txt",
        "Material Profile Length Qty Cost\r\nH x 115.81 15 0\r\nH x 60.24 5 0\r\n"
        "H x 47.83 18 43.31\r\nH x 56.27 19 0\r\nH x 56.27 13 0\r\nH x 42.79 11 0\r\n"
        "H x 90.67 14 0\r\nH x 90.67 5 0\r\n");
  const RunResult r = Run({"--console", "--yes"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(Read("QM^ErrLog.txt"), "END");
  const std::string report = Read("QM_Report.txt");
  EXPECT_NE(report.find("\r\nLower bound length: "), std::string::npos) << report;
  const std::string proof = ProofLine(report);
  ASSERT_FALSE(proof.empty()) << report;
  EXPECT_EQ(proof.back(), 'N') << proof;
  EXPECT_NE(report.find("Parts Left Number:           0\r\n"), std::string::npos) << report;
}

// The exact example in every output: three bars of 6000 (18000), the last
// one's remainder of 5550 taken off gives the proven objective 12450.
TEST_F(E2e, ExactExampleNamesItsObjectiveAndBoundInEveryOutput) {
#ifndef TARVOLIN_HAVE_EXACT
  GTEST_SKIP() << "exact method not in this build";
#endif
  for (const auto& f : fs::directory_iterator(fs::path(TARVOLIN_SOURCE_DIR) / "examples/exact")) {
    fs::copy_file(f.path(), dir_ / f.path().filename());
  }
  const bool pdf = std::system("pdftotext -v >/dev/null 2>&1") == 0;
  std::vector<std::string> args = {"--console", "--yes", "--json"};
  if (pdf) args.push_back("--layouts");
  const RunResult r = Run(args);
  ASSERT_EQ(r.status, 0) << r.err;

  const std::string report = Read("QM_Report.txt");
  EXPECT_NE(report.find("\r\nTotal Length used:       18000.00\r\n"), std::string::npos) << report;
  EXPECT_NE(report.find("\r\nObjective:               12450.00  (length used less last stock "
                        "remainder)\r\nLower bound length:      12450.00\r\n"),
            std::string::npos)
      << report;

  const nlohmann::json plan = nlohmann::json::parse(Read("QM_Plan.json"));
  EXPECT_EQ(plan["settings"]["method"], "exact");
  EXPECT_EQ(plan["settings"]["exact_time_limit_seconds"], 0);
  EXPECT_EQ(plan["settings"]["stock_cut_bundle"], 0);
  const nlohmann::json& m = plan["materials"][0];
  EXPECT_EQ(m["method"], "exact");
  const nlohmann::json& results = m["results"];
  EXPECT_EQ(results["stock_length_used"], 18000);
  EXPECT_EQ(results["proven_optimal"], true);
  EXPECT_EQ(results["lower_bound"]["stock_length"], 12450);
  EXPECT_EQ(results["objective"]["name"], "stock_length_less_last_remainder");
  EXPECT_EQ(results["objective"]["value"], 12450);
  EXPECT_EQ(results["objective"]["lower_bound"], 12450);
  EXPECT_EQ(results["objective"]["short_stock"], false);
  const std::string validate = "python3 " + std::string(TARVOLIN_SOURCE_DIR) +
                               "/tests/output/validate_plan.py " + TARVOLIN_SOURCE_DIR +
                               "/docs/plan.schema.json '" + (dir_ / "QM_Plan.json").string() + "'";
  const int status = std::system(validate.c_str());
  if (!(WIFEXITED(status) && WEXITSTATUS(status) == 77)) {
    EXPECT_EQ(status, 0);
  }

  if (!pdf) return;
  const std::string txt = (dir_ / "layouts.txt").string();
  ASSERT_EQ(
      std::system(("pdftotext '" + (dir_ / "QM_Layouts.pdf").string() + "' '" + txt + "'").c_str()),
      0);
  const std::string text = PdfTextFile(txt);
  for (const char* part : {"Lower bound: length 12450.00", "Proven optimal: yes",
                           "Objective (length used less last stock remainder): 12450.00"})
    EXPECT_NE(text.find(part), std::string::npos) << part << " missing from\n" << text;
}

// The workshop's kerf of 3.2 and end zone of 15.
std::string WorkshopOptSet() {
  return Lines({"0 CostOptim", "1 IgnoreLast", "0 PrefShort", "1 ReduceLays", "2 EffortLev",
                "0 DiffStocks", "0 DiffPieces", "0 MinReusable", "3.2 kerf", "15 end", "1 kind",
                "0 MaxPieces", "0 bundle", "0", "0", "0", "555"});
}

// Six lines of twenty bars offer 120, above the limit of 100: each line
// gives up bars, the largest first, and every piece is still cut.
// A page of a material without stock shows the run's kerf and end zone.
TEST_F(E2e, LayoutsPageOfAMaterialWithoutStockShowsTheRunsSettings) {
  if (std::system("pdftotext -v >/dev/null 2>&1") != 0) GTEST_SKIP() << "no pdftotext";
  Write("QM_Config.txt", Config(true, false, true, false));
  Write("QM_OptSet.txt", WorkshopOptSet());
  Write("QM_Orders.txt", std::string(kHeader) + "A x 1000 2\r\nN o 700 3\r\n");
  Write("QM_Stocks.txt", "h\r\nA x 6000 5\r\n");
  const RunResult r = Run({"--console", "--yes"});
  ASSERT_EQ(r.status, 0) << r.err;
  const std::string txt = (dir_ / "layouts.txt").string();
  ASSERT_EQ(
      std::system(("pdftotext '" + (dir_ / "QM_Layouts.pdf").string() + "' '" + txt + "'").c_str()),
      0);
  const std::string text = PdfTextFile(txt);
  const size_t page = text.find("Mater/Sect: N o");
  ASSERT_NE(page, std::string::npos) << text;
  const std::string noStock = text.substr(page);
  EXPECT_NE(noStock.find("No stock length available for material: N o"), std::string::npos);
  EXPECT_NE(noStock.find("Kerf: 3.20"), std::string::npos) << noStock;
  EXPECT_NE(noStock.find("End zone: 15.00"), std::string::npos) << noStock;
}

TEST_F(E2e, StockAboveTheBarLimitIsLoweredAndWarned) {
  Write("QM_Config.txt", Config());
  Write("QM_OptSet.txt", WorkshopOptSet());
  Write("QM_Orders.txt", std::string(kHeader) + "Steel RHS 1300 90 A\r\n");
  std::string stock = "Material Profile Length Qty\r\n";
  for (int line = 0; line < 6; ++line) stock += "Steel RHS 6000 20\r\n";
  Write("QM_Stocks.txt", stock);
  const RunResult r = Run({"--console", "--yes"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("Steel RHS             90     1       100     6"), std::string::npos)
      << r.out;
  EXPECT_EQ(Read("QM^WrnLog.txt"),
            "Stock quantities lowered to the program limit of 100 bars\r\n"
            "Mater/Sect: Steel RHS\r\n"
            "Stock group 1, line 2: 20 bars -> 17\r\n"
            "Stock group 2, line 3: 20 bars -> 17\r\n"
            "Stock group 3, line 4: 20 bars -> 17\r\n"
            "Stock group 4, line 5: 20 bars -> 17\r\n"
            "Stock group 5, line 6: 20 bars -> 16\r\n"
            "Stock group 6, line 7: 20 bars -> 16\r\n\r\nEND");
  EXPECT_EQ(Read("QM^ErrLog.txt"), "END");
}

// Two names that the 32 characters of a material key cannot tell apart:
// the black pieces must not be planned on the silver stock.
TEST_F(E2e, LongMaterialNamesSharingAKeyEndTheRun) {
  Write("QM_Config.txt", Config());
  Write("QM_OptSet.txt", WorkshopOptSet());
  const std::string silver = "Aluminium-6060-T66 40x40x2-anodised-silver";
  const std::string black = "Aluminium-6060-T66 40x40x2-anodised-black";
  Write("QM_Orders.txt", std::string(kHeader) + silver + " 1000 3 S\r\n" + black + " 2000 2 B\r\n");
  Write("QM_Stocks.txt", "Material Profile Length Qty\r\n" + silver + " 6000 5\r\n");
  const RunResult r = Run({"--console", "--yes"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(Read("QM^ErrLog.txt"),
            "Different materials share one material key:\r\n"
            "QM_Orders.txt, line 2: " +
                silver +
                "\r\n"
                "QM_Orders.txt, line 3: " +
                black +
                "\r\n"
                "Mater/Sect: Aluminium-6060-T66 40x40x2-anodi\r\n\r\nEND");
  const std::string cut = "Material name cut to 32 characters:\r\n";
  const std::string key = "\r\nMater/Sect: Aluminium-6060-T66 40x40x2-anodi\r\nQM_Orders.txt";
  EXPECT_EQ(Read("QM^WrnLog.txt"), cut + silver + key + "\r\nSee line: 2\r\n\r\n" + cut + black +
                                       key + "\r\nSee line: 3\r\n\r\nEND");
  EXPECT_FALSE(Exists("QM_Report.txt"));
}

// A reader that goes away (`tarvolin --console --yes | head -2`) ends the
// process lines only: the run finishes and writes and closes every file.
TEST_F(E2e, AClosedStandardOutputOnlyEndsTheProcessLines) {
  Write("QM_Config.txt", Config(true, true, false, true));
  Write("QM_OptSet.txt", OptSet());
  std::string order = kHeader, stock = "h\r\n";
  for (char m = 'A'; m <= 'H'; ++m) {
    order += std::string(1, m) + " x 1000 2\r\n";
    stock += std::string(1, m) + " x 6000 5\r\n";
  }
  Write("QM_Orders.txt", order);
  Write("QM_Stocks.txt", stock);
  const RunResult r = Run({"--console", "--yes"}, {}, {}, true);
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_NE(Read("QM_Report.txt").find("END"), std::string::npos);
  EXPECT_FALSE(Read("QM_Labels.txt").empty());
  EXPECT_NE(Read("QM_Plan.json").find("\"completed\""), std::string::npos);
  EXPECT_EQ(Read("QM^ErrLog.txt"), "END");
  EXPECT_EQ(Read("QM^WrnLog.txt"), "END");
}

// A kerf so large that the kerfs of a material's pieces pass a total's
// limit is refused by the settings reader, naming its line, before the
// solver could fail on it.
TEST_F(E2e, AKerfThatWouldOverflowATotalIsASettingsError) {
  Write("QM_Config.txt", Config());
  Write("QM_Orders.txt", std::string(kHeader) + "A x 1250 4\r\nA x 800 6\r\n");
  Write("QM_Stocks.txt", "h\r\nA x 6000 10\r\n");
  for (const char* kerf : {"2000000", "5000000", "20000000"}) {
    SCOPED_TRACE(kerf);
    Write("QM_OptSet.txt", Changed(OptSet(), "0 kerf", std::string(kerf) + " kerf"));
    const RunResult r = Run({"--console", "--yes"});
    EXPECT_EQ(r.status, 1) << r.err;
    const std::string log = Read("QM^ErrLog.txt");
    EXPECT_EQ(log.rfind("Optimizer Settings file reading error\r\nSee line: 9 (above ", 0), 0u)
        << log;
    EXPECT_EQ(log.find("Calc.Error"), std::string::npos) << log;
    EXPECT_FALSE(Exists("QM_Report.txt"));
  }
}

// A kerf within its settings limit that still makes a material's totals
// pass the limit of 20000000 (each piece and bar counted one kerf longer)
// fails the material with the settings line named, never the optimizer.
TEST_F(E2e, AKerfThatMakesAMaterialsTotalsOverflowNamesItsLine) {
  Write("QM_Config.txt", Config());
  struct Case {
    const char* kerf;
    const char* order;
    const char* stock;
    int status;
  };
  // 100 pieces of 190000: with a kerf of 10000 exactly 20000000.
  const Case cases[] = {
      {"10000", "A x 190000 100\r\n", "A x 19000000 1\r\n", 0},
      {"10000.01", "A x 190000 100\r\n", "A x 19000000 1\r\n", 1},
      {"20000", "A x 190000 100\r\n", "A x 195000 100\r\n", 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.kerf);
    Write("QM_OptSet.txt", Changed(OptSet(0), "0 kerf", std::string(c.kerf) + " kerf"));
    Write("QM_Orders.txt", std::string(kHeader) + c.order);
    Write("QM_Stocks.txt", std::string("h\r\n") + c.stock);
    const RunResult r = Run({"--console", "--yes"});
    EXPECT_EQ(r.status, c.status) << r.err;
    const std::string log = Read("QM^ErrLog.txt");
    EXPECT_EQ(log.find("Calc.Error"), std::string::npos) << log;
    if (c.status == 1) {
      EXPECT_EQ(log,
                "Total length with a kerf for every piece and bar exceeds limit: \r\n20000000\r\n"
                "See line: 9 of QM_OptSet.txt (saw blade thickness)\r\nMater/Sect: A x\r\n\r\nEND");
    }
  }
}

// Names from the input files never reach the terminal with their control
// bytes: not in the confirmation, not in the process lines.
TEST_F(E2e, ControlBytesInNamesAreWrittenAsText) {
  StandardFiles();
  Write("QM_Orders\x1b[31m.txt", std::string(kHeader) + "St\x1b[31meel x 1000 2\r\n");
  Write("QM_Stocks.txt", "h\r\nSt\x1b[31meel x 6000 5\r\n");
  const RunResult r = Run({"--console", "--yes", "QM_Orders\x1b[31m.txt"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out.find('\x1b'), std::string::npos) << r.out;
  EXPECT_EQ(r.err.find('\x1b'), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("QM_Orders\\x1b[31m.txt"), std::string::npos) << r.err;
  EXPECT_NE(r.out.find("St\\x1b[31meel x"), std::string::npos) << r.out;
}

// A settings file whose lines end with a carriage return alone says so.
TEST_F(E2e, BareCarriageReturnsInASettingsFileAreNamed) {
  std::string config = Config();
  for (size_t p; (p = config.find("\r\n")) != std::string::npos;) config.erase(p + 1, 1);
  Write("QM_Config.txt", config);
  Write("QM_OptSet.txt", OptSet());
  Write("QM_Orders.txt", std::string(kHeader) + "A x 1000 2\r\n");
  Write("QM_Stocks.txt", "h\r\nA x 6000 5\r\n");
  const RunResult r = Run({"--console", "--yes"});
  EXPECT_EQ(r.status, 1) << r.err;
  const std::string log = Read("QM^ErrLog.txt");
  EXPECT_NE(log.find("The line ends are not recognised"), std::string::npos) << log;
  EXPECT_EQ(log.find("the file ends early"), std::string::npos) << log;
}

TEST_F(E2e, VersionIsTheProjectVersion) {
  const RunResult r = Run({"--version"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, std::string("tarvolin ") + TARVOLIN_VERSION + "\n");
  EXPECT_FALSE(Exists("QM^ErrLog.txt"));
}

// ---- The layouts PDF and the JSON plan ----

// A command's standard output; empty when it failed.
std::string CommandOutput(const std::string& command) {
  std::string out;
  if (FILE* pipe = popen(command.c_str(), "r")) {
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, pipe)) > 0) out.append(buf, n);
    if (pclose(pipe) != 0) out.clear();
  }
  return out;
}

// The number behind a TOTALS caption of the material's section.
int ReportTotal(const std::string& report, const std::string& material,
                const std::string& caption) {
  const size_t section = report.find("TOTALS for Mater/Sect: " + material + " ");
  if (section == std::string::npos) return -1;
  const size_t at = report.find(caption, section);
  return at == std::string::npos ? -1 : std::stoi(report.substr(at + caption.size()));
}

class PlanFiles : public E2e {
 protected:
  void PlanSettings(bool layouts, bool plan) {
    Write("QM_Config.txt", Config(true, false, layouts, plan));
    Write("QM_OptSet.txt", OptSet());
  }
  // True when the plan file is valid against the schema (skipped without
  // the jsonschema module).
  void ExpectValidPlan(const std::string& name) {
    const std::string command = "python3 " + std::string(TARVOLIN_SOURCE_DIR) +
                                "/tests/output/validate_plan.py " + TARVOLIN_SOURCE_DIR +
                                "/docs/plan.schema.json '" + (dir_ / name).string() + "'";
    const int status = std::system(command.c_str());
    if (WIFEXITED(status) && WEXITSTATUS(status) == 77) return;
    EXPECT_EQ(status, 0) << Read(name);
  }
  nlohmann::json Plan(const std::string& name) { return nlohmann::json::parse(Read(name)); }
};

TEST_F(PlanFiles, NamesFollowTheOrderFileAndTheSwitches) {
  struct Case {
    bool layouts, plan;
    std::vector<std::string> args;
    std::string order;
    std::vector<std::string> written, absent;
  };
  const std::vector<Case> cases = {
      {true, true, {}, "QM_Orders1.txt", {"QM_Layouts1.pdf", "QM_Plan1.json"}, {}},
      {false,
       false,
       {"--layouts", "--json", "parts.txt"},
       "parts.txt",
       {"parts_Layouts.pdf", "parts_Plan.json"},
       {}},
      {false, true, {}, "QM_Orders1.txt", {"QM_Plan1.json"}, {"QM_Layouts1.pdf"}},
      {false, false, {}, "QM_Orders1.txt", {}, {"QM_Layouts1.pdf", "QM_Plan1.json"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.order + (c.args.empty() ? "" : " " + c.args[0]));
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    PlanSettings(c.layouts, c.plan);
    Write(c.order, std::string(kHeader) + "A x 1000 2\r\n");
    Write("QM_Stocks.txt", "h\r\nA x 6000 5\r\n");
    std::vector<std::string> args = {"--console", "--yes"};
    args.insert(args.end(), c.args.begin(), c.args.end());
    const RunResult r = Run(args);
    EXPECT_EQ(r.status, 0) << r.err;
    for (const std::string& name : c.written) {
      EXPECT_TRUE(Exists(name)) << name;
      EXPECT_FALSE(Exists(name + ".tmp")) << name;
    }
    for (const std::string& name : c.absent) EXPECT_FALSE(Exists(name)) << name;
  }
}

TEST_F(PlanFiles, AnOutputNameOfAnInputEndsTheRunBeforeAnyOutput) {
  PlanSettings(false, true);
  Write("QM_Orders1.txt", std::string(kHeader) + "A x 1000 2\r\n");
  const std::string stock = "h\r\nA x 6000 5\r\n";
  Write("QM_Plan1.json", stock);  // the stock file under the plan's name
  const RunResult r = Run({"--console", "--yes", "QM_Orders1.txt", "QM_Plan1.json"});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(Read("QM^ErrLog.txt").find("Same file as: QM_Plan1.json"), std::string::npos);
  EXPECT_EQ(Read("QM_Plan1.json"), stock);
  EXPECT_FALSE(Exists("QM_Report1.txt"));
}

TEST_F(PlanFiles, JsonAgreesWithTheReportAndCoversEveryOrderLine) {
  PlanSettings(false, true);
  // Line numbers: the header is line 1, the empty line 3 is skipped.
  Write("QM_Orders.txt",
        std::string(kHeader) +
            "A x 1250.5 3 M1\r\n\r\nB y 700 4\r\nA x 999.25 5 M2\r\nA x 400 2\r\n");
  Write("QM_Stocks.txt", "h\r\nA x 6000 3\r\nA x 2500 4\r\nB y 3000 5\r\n");
  const RunResult r = Run({"--console", "--yes"});
  ASSERT_EQ(r.status, 0) << r.err;
  ExpectValidPlan("QM_Plan.json");
  const nlohmann::json plan = Plan("QM_Plan.json");
  EXPECT_EQ(plan["run_end"], "completed");
  ASSERT_EQ(plan["materials"].size(), 2u);
  const std::string report = Read("QM_Report.txt");
  const std::map<std::string, std::map<int, std::pair<double, int>>> lines = {
      {"A x", {{2, {1250.5, 3}}, {5, {999.25, 5}}, {6, {400, 2}}}},
      {"B y", {{4, {700, 4}}}},
  };
  for (const auto& material : plan["materials"]) {
    const std::string key = material["key"];
    SCOPED_TRACE(key);
    const auto& results = material["results"];
    EXPECT_EQ(results["bars_used"], ReportTotal(report, key, "Stock Number used:"));
    EXPECT_EQ(results["pieces"], ReportTotal(report, key, "Part Total Number:"));
    EXPECT_EQ(results["pieces_left"], ReportTotal(report, key, "Parts Left Number:"));
    EXPECT_EQ(results["different_layouts"], ReportTotal(report, key, "Different Layouts:"));
    int barsInLayouts = 0;
    for (const auto& layout : material["layouts"]) barsInLayouts += layout["bar_count"].get<int>();
    EXPECT_EQ(barsInLayouts, results["bars_used"]);
    std::map<int, int> perLine;
    for (const auto& piece : material["pieces"]) {
      const int line = piece["order_line"];
      ASSERT_TRUE(lines.at(key).count(line)) << line;
      EXPECT_EQ(piece["length"].get<double>(), lines.at(key).at(line).first);
      ++perLine[line];
    }
    for (const auto& [line, expected] : lines.at(key)) EXPECT_EQ(perLine[line], expected.second);
  }
}

TEST_F(PlanFiles, JsonIsCompleteAfterEveryWayARunEnds) {
  // Each run's plan holds the materials finished before the end.
  struct Case {
    std::string name, order, stock, runEnd;
    std::vector<std::string> statuses;
  };
  const std::vector<Case> cases = {
      {"normal end",
       "A x 1000 2\r\nB y 700 3\r\n",
       "h\r\nA x 6000 5\r\nB y 3000 5\r\n",
       "completed",
       {"solved", "solved"}},
      {"error in the third material",
       "A x 1000 2\r\nB y 700 3\r\nC z 1O0 4\r\n",
       "h\r\nA x 6000 5\r\nB y 3000 5\r\nC z 3000 5\r\n",
       "ended_by_error",
       {"solved", "solved"}},
      {"material without stock",
       "A x 1000 2\r\nN o 700 3\r\nB y 500 1\r\n",
       "h\r\nA x 6000 5\r\nB y 3000 5\r\n",
       "completed",
       {"solved", "failed", "solved"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    PlanSettings(false, true);
    Write("QM_Orders.txt", std::string(kHeader) + c.order);
    Write("QM_Stocks.txt", c.stock);
    Run({"--console", "--yes"});
    ExpectValidPlan("QM_Plan.json");
    EXPECT_FALSE(Exists("QM_Plan.json.tmp"));
    const nlohmann::json plan = Plan("QM_Plan.json");
    EXPECT_EQ(plan["run_end"], c.runEnd);
    std::vector<std::string> statuses;
    for (const auto& m : plan["materials"]) statuses.push_back(m["status"]);
    EXPECT_EQ(statuses, c.statuses);
  }
  const nlohmann::json noStock = Plan("QM_Plan.json");
  EXPECT_EQ(noStock["materials"][1]["error"]["kind"], "no_stock");
  EXPECT_EQ(noStock["materials"][1]["pieces"].size(), 3u);
}

// A material skipped on a reading error (ContinueAfterError) is in the
// plan with the logged message; the order lines read in part list no
// pieces, a material whose stock failed lists its order.
TEST_F(PlanFiles, AMaterialSkippedOnAReadingErrorIsInThePlan) {
  struct Case {
    std::string name, order, stock, message;
    size_t pieces;
  };
  const std::vector<Case> cases = {
      {"order line", "A x 1000 2\r\nB y 700 1\r\nB y 1O0 3\r\nC z 500 1\r\n",
       "h\r\nA x 6000 5\r\nB y 3000 5\r\nC z 3000 5\r\n", "Error reading part input file.", 0},
      {"stock line", "A x 1000 2\r\nB y 700 3\r\nC z 500 1\r\n",
       "h\r\nA x 6000 5\r\nB y 3OOO 5\r\nC z 3000 5\r\n", "Error reading stock input file.", 3},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    std::string config = Config(true, false, false, true);
    // Line 20 of the initial settings: ContinueAfterError.
    size_t at = 0;
    for (int line = 1; line < 20; ++line) at = config.find("\r\n", at) + 2;
    config.replace(at, config.find("\r\n", at) - at, "1 ContinueAfterError");
    Write("QM_Config.txt", config);
    Write("QM_OptSet.txt", OptSet());
    Write("QM_Orders.txt", std::string(kHeader) + c.order);
    Write("QM_Stocks.txt", c.stock);
    const RunResult r = Run({"--console", "--yes"});
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_NE(Read("QM_Report.txt").find("*** Mater/Sect: B y - not planned: "), std::string::npos);
    ExpectValidPlan("QM_Plan.json");
    const nlohmann::json plan = Plan("QM_Plan.json");
    ASSERT_EQ(plan["materials"].size(), 3u) << plan.dump(1);
    const nlohmann::json& skipped = plan["materials"][1];
    EXPECT_EQ(skipped["key"], "B y");
    EXPECT_EQ(skipped["status"], "failed");
    EXPECT_EQ(skipped["error"]["kind"], "other");
    EXPECT_EQ(skipped["error"]["text"].get<std::string>().rfind(c.message, 0), 0u)
        << skipped.dump();
    EXPECT_EQ(skipped["pieces"].size(), c.pieces);
    EXPECT_EQ(plan["materials"][2]["status"], "solved");
  }
}

// The search with one stock length (DiffStocks 1) leaves pieces uncut that
// the stock holds: the exact method checks, and its plan cuts them.
TEST_F(PlanFiles, PiecesTheSearchLeavesAreCutByTheExactMethod) {
#ifndef TARVOLIN_HAVE_EXACT
  GTEST_SKIP() << "exact method not in this build";
#endif
  struct Case {
    std::string order, stock;
  };
  const std::vector<Case> cases = {
      // Three bars of 6500 hold every piece; the search takes the two of
      // 6000 and leaves three pieces.
      {"A x 733.5 8\r\nA x 2289 4\r\n", "A x 6000 2\r\nA x 6500 19\r\n"},
      // One bar of 5000 holds all; the search leaves a 700.
      {"A x 700 2\r\nA x 1400 2\r\n", "A x 3500 1\r\nA x 5000 1\r\nA x 6000 1\r\nA x 10500 1\r\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.order);
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    Write("QM_Config.txt", Config(true, false, false, true));
    Write("QM_OptSet.txt",
          Lines({"0 CostOptim", "0 IgnoreLast", "0 PrefShort", "1 ReduceLays", "5 EffortLev",
                 "1 DiffStocks", "0 DiffPieces", "0 MinReusable", "0 kerf", "0 end", "1 kind",
                 "0 MaxPieces", "0 bundle", "0 Method", "0", "0", "555"}));
    Write("QM_Orders.txt", std::string(kHeader) + c.order);
    Write("QM_Stocks.txt", "h\r\n" + c.stock);
    const RunResult r = Run({"--console", "--yes"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(Read("QM^WrnLog.txt"),
              "The search left pieces uncut; the exact method's plan cuts them\r\n"
              "Mater/Sect: A x\r\n\r\nEND");
    EXPECT_EQ(ReportTotal(Read("QM_Report.txt"), "A x", "Parts Left Number:"), 0);
    const nlohmann::json plan = nlohmann::json::parse(Read("QM_Plan.json"));
    EXPECT_EQ(plan["materials"][0]["method"], "exact");
    EXPECT_EQ(plan["materials"][0]["results"]["pieces_left"], 0);
  }
}

TEST_F(PlanFiles, CtrlCLeavesAValidInterruptedPlan) {
  Write("QM_Config.txt", Config(true, false, false, true));
  Write("QM_OptSet.txt", OptSet(5));
  std::string order = kHeader, stock = "h\r\n";
  for (char m = 'A'; m <= 'F'; ++m) {
    for (int g = 0; g < 20; ++g)
      order += std::string(1, m) + " x " + std::to_string(1003 + 97 * g) + " 5\r\n";
    stock += std::string(1, m) + " x 6000 40\r\n" + std::string(1, m) + " x 4100 40\r\n";
  }
  Write("QM_Orders.txt", order);
  Write("QM_Stocks.txt", stock);
  const RunResult r = Run({"--console", "--yes"}, [&](pid_t pid) {
    for (int i = 0; i < 2000 && !fs::exists(dir_ / "QM_Plan.json"); ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    kill(pid, SIGINT);
  });
  EXPECT_EQ(r.status, 2) << r.err;
  ExpectValidPlan("QM_Plan.json");
  const nlohmann::json plan = Plan("QM_Plan.json");
  EXPECT_EQ(plan["run_end"], "interrupted");
  EXPECT_LT(plan["materials"].size(), 6u);
}

TEST_F(PlanFiles, LayoutsPdfShowsEveryPieceAndCountsEveryBar) {
  if (CommandOutput("pdftotext -v 2>&1; true").empty()) GTEST_SKIP() << "no pdftotext";
  PlanSettings(true, false);
  Write("QM_Orders.txt",
        std::string(kHeader) + "A x 1250.5 3 M17\r\nA x 730 4 K2\r\nB y 410 6 Z9\r\n");
  Write("QM_Stocks.txt", "h\r\nA x 3000 6\r\nB y 1000 5\r\n");
  const RunResult r = Run({"--console", "--yes", "--layouts"});
  ASSERT_EQ(r.status, 0) << r.err;
  const std::string pdf = (dir_ / "QM_Layouts.pdf").string();
  const std::string info = CommandOutput("pdfinfo '" + pdf + "'");
  // Every material starts a new page.
  const size_t pages = info.find("Pages:");
  ASSERT_NE(pages, std::string::npos) << info;
  EXPECT_EQ(std::atoi(info.c_str() + pages + 6), 2) << info;
  const std::string text = CommandOutput("pdftotext -layout '" + pdf + "' -");
  for (const char* piece : {"1250.50", "730.00", "410.00", "M17", "K2", "Z9"})
    EXPECT_NE(text.find(piece), std::string::npos) << piece;
  const std::string report = Read("QM_Report.txt");
  const int bars = ReportTotal(report, "A x", "Stock Number used:") +
                   ReportTotal(report, "B y", "Stock Number used:");
  int counted = 0;
  const std::string times = "\u00d7";
  for (size_t at = text.find(times); at != std::string::npos; at = text.find(times, at + 1))
    counted += std::atoi(text.c_str() + at + times.size());
  EXPECT_EQ(counted, bars) << text;
}

TEST_F(PlanFiles, HelpListsTheSwitches) {
  const RunResult r = Run({"--help"});
  EXPECT_NE(r.out.find("--layouts"), std::string::npos);
  EXPECT_NE(r.out.find("--json"), std::string::npos);
}

TEST_F(E2e, TermAndHangupEndTheRunLikeCtrlC) {
  for (const int signal : {SIGTERM, SIGHUP}) {
    SCOPED_TRACE(signal);
    SlowFiles();
    const RunResult r = Run({"--console", "--yes"}, [&](pid_t pid) {
      AwaitFile(dir_ / "QM_Report.txt.tmp");
      kill(pid, signal);
    });
    EXPECT_EQ(r.status, 2) << r.err;
    const std::string wrn = Read("QM^WrnLog.txt");
    ASSERT_GE(wrn.size(), 3u);
    EXPECT_EQ(wrn.substr(wrn.size() - 3), "END");
    // What was written so far is put in place (or removed when no material
    // was reached), as after Ctrl-C: no temporary stays behind.
    EXPECT_FALSE(Exists("QM_Report.txt.tmp"));
  }
}

TEST_F(E2e, KilledRunLeavesThePreviousReportAndItsLogEntries) {
  SlowFiles();
  // A material without stock first: its warning is logged before the
  // slow materials start.
  Write("QM_Orders.txt", std::string(kHeader) + "N o 700 3\r\n" + Read("QM_Orders.txt").substr(34));
  Write("QM_Report.txt", "previous report");
  const RunResult r = Run({"--console", "--yes"}, [&](pid_t pid) {
    AwaitFile(dir_ / "QM_Report.txt.tmp");
    for (int i = 0; i < 2000 && Read("QM^WrnLog.txt").empty(); ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    kill(pid, SIGKILL);
  });
  EXPECT_EQ(r.status, 128 + SIGKILL);
  EXPECT_EQ(Read("QM_Report.txt"), "previous report");
  EXPECT_EQ(Read("QM^WrnLog.txt"), "No stock length available for material: N o\r\n\r\n");

  // The next run takes the left-over temporary over.
  StandardFiles();
  Write("QM_Orders.txt", std::string(kHeader) + "A x 1000 2\r\n");
  EXPECT_EQ(Run({"--console", "--yes"}).status, 0);
  EXPECT_FALSE(Exists("QM_Report.txt.tmp"));
  EXPECT_NE(Read("QM_Report.txt").find("REPORT END"), std::string::npos);
}

TEST_F(E2e, OversizedInputIsRefusedWithTheFilesName) {
  StandardFiles();
  Write("QM_Stocks.txt", "h\r\nA x 6000 5\r\n");
  struct Case {
    const char* name;
    std::vector<std::string> args;
    std::string order;
    std::string error;
  };
  const std::string longLine = "A x 1000 2 " + std::string(4096, 'M') + "\r\n";
  const std::vector<Case> cases = {
      {"endless",
       {"/dev/zero", "QM_Stocks.txt"},
       "",
       "Input file is larger than 16777216 bytes: \r\n/dev/zero\r\n\r\nEND"},
      {"line",
       {},
       std::string(kHeader) + "A x 1000 2\r\n" + longLine,
       "Input file has a line longer than 4096 bytes: \r\nQM_Orders.txt\r\nSee line: 3\r\n\r\nEND"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    fs::remove(dir_ / "QM_Orders.txt");
    if (!c.order.empty()) Write("QM_Orders.txt", c.order);
    std::vector<std::string> args = {"--console", "--yes"};
    args.insert(args.end(), c.args.begin(), c.args.end());
    const RunResult r = Run(args);
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_EQ(Read("QM^ErrLog.txt"), c.error);
    EXPECT_FALSE(Exists("QM_Report.txt"));
  }
  // A line of exactly the limit is read.
  Write("QM_Orders.txt",
        std::string(kHeader) + "A x 1000 2 " + std::string(4096 - 11, 'M') + "\r\n");
  EXPECT_EQ(Run({"--console", "--yes"}).status, 0);
}

TEST_F(E2e, LostLogFailsTheRun) {
  StandardFiles();
  Write("QM_Orders.txt", std::string(kHeader) + "A x 1000 2\r\n");
  Write("QM_Stocks.txt", "h\r\nA x 6000 5\r\n");
  struct Case {
    const char* log;
    std::function<void(const fs::path&)> spoil;
    const char* message;
  };
  const std::vector<Case> cases = {
      {"QM^WrnLog.txt", [](const fs::path& p) { fs::create_directory(p); },
       "Error writing Warning Log file"},
      {"QM^ErrLog.txt", [](const fs::path& p) { fs::create_symlink("/dev/full", p); },
       "Error writing Error Log file"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.log);
    fs::remove_all(dir_ / "QM^WrnLog.txt");
    fs::remove_all(dir_ / "QM^ErrLog.txt");
    c.spoil(dir_ / c.log);
    const RunResult r = Run({"--console", "--yes"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
    EXPECT_NE(Read("QM_Report.txt").find("REPORT END"), std::string::npos);
  }
}

TEST_F(E2e, ReportWrittenByAnotherRunIsLeftAlone) {
  // Two working directories share one order file in ../in.
  fs::create_directories(dir_ / "in");
  fs::create_directories(dir_ / "A");
  fs::create_directories(dir_ / "B");
  SlowFiles();
  fs::rename(dir_ / "QM_Orders.txt", dir_ / "in" / "QM_Orders_job.txt");
  for (const char* d : {"A", "B"}) {
    for (const char* f : {"QM_Config.txt", "QM_OptSet.txt", "QM_Stocks.txt"})
      fs::copy_file(dir_ / f, dir_ / d / f);
  }
  const fs::path report = dir_ / "in" / "QM_Report_job.txt";
  RunResult second;
  bool overlapped = false;
  cwd_ = dir_ / "A";
  const RunResult first = Run({"--console", "--yes", "../in/QM_Orders_job.txt"}, [&](pid_t pid) {
    AwaitFile(fs::path(report.string() + ".tmp"));
    cwd_ = dir_ / "B";
    overlapped = kill(pid, 0) == 0;
    second = Run({"--console", "--yes", "../in/QM_Orders_job.txt"});
  });
  EXPECT_EQ(first.status, 0) << first.err;
  ASSERT_TRUE(overlapped);
  EXPECT_EQ(second.status, 3);
  EXPECT_NE(second.err.find("Output file is in use by another run:"), std::string::npos)
      << second.err;
  EXPECT_NE(second.err.find("../in/QM_Report_job.txt"), std::string::npos) << second.err;
  const std::string text = ReadFile(report);
  size_t ends = 0, totals = 0;
  for (size_t at = text.find("REPORT END"); at != std::string::npos;
       at = text.find("REPORT END", at + 1))
    ++ends;
  for (size_t at = text.find("TOTALS for"); at != std::string::npos;
       at = text.find("TOTALS for", at + 1))
    ++totals;
  EXPECT_EQ(ends, 1u);
  EXPECT_EQ(totals, 6u);
}

// An output that cannot be created ends the run before any material, and
// the error says which file and why.
TEST_F(E2e, AnOutputThatCannotBeCreatedIsNamedWithTheReason) {
  struct Case {
    const char* what;
    bool labels;
    std::vector<std::string> args;
    std::function<void(const fs::path&)> spoil;
    const char* error;
  };
  std::vector<Case> cases = {
      {"report path is a directory",
       false,
       {},
       [](const fs::path& d) { fs::create_directory(d / "QM_Report.txt"); },
       "Error writing Report file: \r\nQM_Report.txt\r\nIs a directory"},
      {"labels path is a directory",
       true,
       {},
       [](const fs::path& d) { fs::create_directory(d / "QM_Labels.txt"); },
       "Error writing Labels file: \r\nQM_Labels.txt\r\nIs a directory"},
  };
  // Permissions do not hold back the superuser.
  if (geteuid() != 0) {
    cases.push_back({"report directory is read-only",
                     false,
                     {"in/QM_Orders.txt"},
                     [](const fs::path& d) {
                       fs::create_directory(d / "in");
                       fs::copy_file(d / "QM_Orders.txt", d / "in" / "QM_Orders.txt");
                       fs::permissions(d / "in", fs::perms::owner_write, fs::perm_options::remove);
                     },
                     "Error writing Report file: \r\nin/QM_Report.txt\r\nPermission denied"});
  }
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    Write("QM_Config.txt", Config(true, c.labels));
    Write("QM_OptSet.txt", OptSet());
    Write("QM_Orders.txt", std::string(kHeader) + "A x 1000 2\r\n");
    Write("QM_Stocks.txt", "h\r\nA x 6000 5\r\n");
    c.spoil(dir_);
    std::vector<std::string> args = {"--console", "--yes"};
    args.insert(args.end(), c.args.begin(), c.args.end());
    const RunResult r = Run(args);
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_EQ(Read("QM^ErrLog.txt"), std::string(c.error) + "\r\n\r\nEND");
    EXPECT_EQ(r.out.find("Processed"), std::string::npos) << r.out;
    if (fs::exists(dir_ / "in")) fs::permissions(dir_ / "in", fs::perms::owner_all);
  }
}

#ifdef TARVOLIN_DESKTOP
// Labels into a PDF file while label printing is off in the settings: the
// file is not written, and a warning says so.
TEST_F(E2e, PrintPdfWhileLabelPrintingIsOffIsWarned) {
  Write("QM_OptSet.txt", OptSet());
  Write("QM_Orders.txt", std::string(kHeader) + "A x 1000 2\r\n");
  Write("QM_Stocks.txt", "h\r\nA x 6000 5\r\n");
  const std::string warning =
      "Label printing is off in QM_Config.txt (PrintLabels 0): no labels are printed into\r\n"
      "labels.pdf\r\n\r\nEND";
  const std::vector<std::pair<const char*, const char*>> offscreen = {
      {"QT_QPA_PLATFORM", "offscreen"}};
  struct Case {
    const char* what;
    std::vector<std::string> args;
    bool showMessages;
    const char* log;
  };
  const std::vector<Case> cases = {
      {"separate value", {"--console", "--print-pdf", "labels.pdf"}, false, warning.c_str()},
      {"joined value", {"--console", "--print-pdf=labels.pdf"}, false, warning.c_str()},
      {"shown as well", {"--console", "--print-pdf=labels.pdf"}, true, warning.c_str()},
      {"desktop", {"--gui", "--print-pdf=labels.pdf"}, false, warning.c_str()},
      {"no PDF asked for", {"--console"}, false, "END"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::string config = Config(false);
    if (c.showMessages) config = Changed(config, "0 ShowMessages", "1 ShowMessages");
    config = Changed(config, "1 ConfirmSteps", "0 ConfirmSteps");
    Write("QM_Config.txt", config);
    std::vector<std::string> args = {"--yes"};
    args.insert(args.end(), c.args.begin(), c.args.end());
    const RunResult r = Run(args, {}, offscreen);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(Read("QM^WrnLog.txt"), c.log);
    EXPECT_FALSE(Exists("labels.pdf"));
    const bool shown =
        r.err.find("Warning: Label printing is off in QM_Config.txt") != std::string::npos;
    EXPECT_EQ(shown, c.showMessages) << r.err;
  }
}

// The calculation time differs from run to run; its separator stays.
std::string WithoutCalculationTimes(std::string report) {
  const std::string label = "Calc.time: ";
  for (size_t at = report.find(label); at != std::string::npos; at = report.find(label, at + 1)) {
    for (size_t i = at + label.size(); i < report.size() && report[i] != ' '; ++i) {
      if (report[i] >= '0' && report[i] <= '9') report[i] = '0';
    }
  }
  return report;
}

// The same environment gives the same report in the console and on the
// desktop: the date in the locale's short format, lengths with its decimal
// separator.
TEST_F(E2e, ConsoleAndDesktopWriteTheSameReport) {
  Write("QM_Config.txt", Changed(Config(false), "1 ConfirmSteps", "0 ConfirmSteps"));
  Write("QM_OptSet.txt", OptSet());
  Write("QM_Orders.txt", std::string(kHeader) + "A x 1000.5 2\r\nA x 700 3\r\n");
  Write("QM_Stocks.txt", "h\r\nA x 6000 5\r\n");
  const std::string germanDir = tarvolin::testing::GermanLocaleDirectory();
  struct Case {
    const char* what;
    std::vector<std::pair<const char*, const char*>> env;
    const char* datePattern;  // 9 for a digit
    const char* length;
  };
  std::vector<Case> cases = {
      {"C", {{"LC_ALL", "C"}}, "99/99/99   REPORT for:", "6000.00"},
      {"C.UTF-8", {{"LC_ALL", nullptr}, {"LANG", "C.UTF-8"}}, "99/99/99   REPORT for:", "6000.00"},
  };
  if (!germanDir.empty()) {
    cases.push_back({"German",
                     {{"LOCPATH", germanDir.c_str()}, {"LC_ALL", tarvolin::testing::kGermanLocale}},
                     "99.99.9999   REPORT for:",
                     "6000,00"});
  }
  for (Case& c : cases) {
    SCOPED_TRACE(c.what);
    for (const char* name : {"LC_ALL", "LC_NUMERIC", "LC_TIME", "LANG", "LOCPATH"}) {
      bool given = false;
      for (const auto& e : c.env) given = given || std::string(e.first) == name;
      if (!given) c.env.emplace_back(name, nullptr);
    }
    c.env.emplace_back("QT_QPA_PLATFORM", "offscreen");
    std::map<std::string, std::string> reports;
    for (const char* frontEnd : {"--console", "--gui"}) {
      fs::remove(dir_ / "QM_Report.txt");
      const RunResult r = Run({frontEnd, "--yes"}, {}, c.env);
      EXPECT_EQ(r.status, 0) << frontEnd << ": " << r.err;
      reports[frontEnd] = WithoutCalculationTimes(Read("QM_Report.txt"));
    }
    const std::string& report = reports["--console"];
    EXPECT_EQ(reports["--gui"], report);
    const size_t heading = report.find("\r\n") + 2;
    const std::string pattern = c.datePattern;
    ASSERT_GE(report.size(), heading + pattern.size());
    for (size_t i = 0; i < pattern.size(); ++i) {
      const char got = report[heading + i];
      if (pattern[i] == '9') {
        EXPECT_TRUE(got >= '0' && got <= '9') << report.substr(heading, pattern.size());
      } else {
        EXPECT_EQ(got, pattern[i]) << report.substr(heading, pattern.size());
      }
    }
    EXPECT_NE(report.find(c.length), std::string::npos) << report;
    EXPECT_NE(report.find("Total Utilization,%:"), std::string::npos);
  }
}

// Qt aborts a program on a platform it cannot start; the platform named by
// QT_QPA_PLATFORM is tried before, like a display, with and without --gui.
TEST_F(E2e, UnusableQtPlatformFallsBackToTheConsole) {
  StandardFiles();
  Write("QM_Orders.txt", std::string(kHeader) + "A x 1000 2\r\n");
  Write("QM_Stocks.txt", "h\r\nA x 6000 5\r\n");
  for (const char* platform :
       {"bogus", "linuxfb:fb=/nonexistent/fb0", "linuxfb:fb=/nonexistent/fb0;offscreen"}) {
    SCOPED_TRACE(platform);
    const std::vector<std::pair<const char*, const char*>> env = {
        {"DISPLAY", nullptr}, {"WAYLAND_DISPLAY", nullptr}, {"QT_QPA_PLATFORM", platform}};
    RunResult r = Run({"--yes"}, {}, env);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.err.find("the display platform of QT_QPA_PLATFORM cannot be used; running in the "
                         "console"),
              std::string::npos)
        << r.err;
    EXPECT_NE(r.out.find("  - Processed: 1 material\n"), std::string::npos);
    r = Run({"--gui", "--yes"}, {}, env);
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_NE(r.err.find("--gui needs a display"), std::string::npos) << r.err;
  }
}

// Kills the child when it has not ended within a minute: a run that waits
// for an operator who is not there fails the test instead of hanging it.
class Watchdog {
 public:
  void Watch(pid_t pid) {
    thread_ = std::thread([this, pid] {
      std::unique_lock lock(mutex_);
      if (!ended_.wait_for(lock, std::chrono::seconds(60), [this] { return done_; })) {
        kill(pid, SIGKILL);
      }
    });
  }
  ~Watchdog() {
    {
      std::lock_guard lock(mutex_);
      done_ = true;
    }
    ended_.notify_all();
    if (thread_.joinable()) thread_.join();
  }

 private:
  std::mutex mutex_;
  std::condition_variable ended_;
  bool done_ = false;
  std::thread thread_;
};

// --yes answers every box on the desktop too: a warning box does not wait
// on a platform where nobody can press OK. Qt's own notes (such as an unset
// XDG_RUNTIME_DIR) stay off standard error, in the console and on the
// desktop.
TEST_F(E2e, DesktopWithYesShowsNoBoxAndQtKeepsQuiet) {
  Write("QM_Config.txt", Changed(Config(false, false, true), "0 ShowMessages", "1 ShowMessages"));
  Write("QM_OptSet.txt", OptSet());
  Write("QM_Orders.txt", std::string(kHeader) + "A x 1000 2\r\nN o 500 1\r\n");
  Write("QM_Stocks.txt", "h\r\nA x 6000 5\r\n");
  const std::vector<std::pair<const char*, const char*>> env = {{"QT_QPA_PLATFORM", "offscreen"},
                                                                {"XDG_RUNTIME_DIR", nullptr},
                                                                {"QT_LOGGING_RULES", nullptr}};
  for (const char* frontEnd : {"--gui", "--console"}) {
    SCOPED_TRACE(frontEnd);
    fs::remove(dir_ / "QM_Report.txt");
    Watchdog watchdog;
    const RunResult r = Run(
        {frontEnd, "--yes"}, [&watchdog](pid_t pid) { watchdog.Watch(pid); }, env);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.err.find("Warning: No stock length available for material: N o"), std::string::npos)
        << r.err;
    EXPECT_EQ(r.err.find("XDG_RUNTIME_DIR"), std::string::npos) << r.err;
    EXPECT_EQ(r.err.find("QStandardPaths"), std::string::npos) << r.err;
    EXPECT_TRUE(Exists("QM_Report.txt"));
    EXPECT_TRUE(Exists("QM_Layouts.pdf"));
  }
}

#if !defined(__SANITIZE_ADDRESS__)
// The workshop example with its layouts in a small address space, as
// `ulimit -v` gives it: wherever memory runs out, the run ends with status
// 1 and "Not enough memory" in a closed error log, or finishes; never with
// a signal. (The batch's own tests inject the failure at fixed points.)
TEST_F(E2e, MemoryThatRunsOutEndsTheRunAsAnError) {
  for (const auto& file :
       fs::directory_iterator(fs::path(TARVOLIN_SOURCE_DIR) / "examples" / "workshop")) {
    fs::copy_file(file.path(), dir_ / file.path().filename());
  }
  bool ranOut = false;
  // Memory may run out anywhere: in the solver, in the writers, while the
  // layouts document is started, drawn or finished.
  for (rlim_t kilobytes = 100000; kilobytes <= 148000; kilobytes += 4000) {
    SCOPED_TRACE(std::to_string(kilobytes) + " KiB");
    addressSpaceLimit_ = kilobytes * 1024;
    const RunResult r = Run({"--console", "--yes", "--layouts"});
    ASSERT_TRUE(r.status == 0 || r.status == 1) << r.status << ": " << r.err;
    const std::string errors = Read("QM^ErrLog.txt");
    EXPECT_TRUE(errors.ends_with("END")) << errors;
    EXPECT_TRUE(Read("QM^WrnLog.txt").ends_with("END"));
    if (r.status == 1) {
      ranOut = true;
      EXPECT_EQ(errors.rfind("Not enough memory", 0), 0u) << errors;
    }
  }
  addressSpaceLimit_ = 0;
  if (!ranOut) GTEST_SKIP() << "memory did not run out within these limits here";
}
#endif

TEST_F(E2e, DisplayThatCannotBeOpened) {
  StandardFiles();
  Write("QM_Orders.txt", std::string(kHeader) + "A x 1000 2\r\n");
  Write("QM_Stocks.txt", "h\r\nA x 6000 5\r\n");
  const std::vector<std::pair<const char*, const char*>> noServer = {
      {"DISPLAY", ":99"}, {"WAYLAND_DISPLAY", nullptr}, {"QT_QPA_PLATFORM", nullptr}};
  RunResult r = Run({"--yes"}, {}, noServer);
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.err.find("the display cannot be opened; running in the console"), std::string::npos)
      << r.err;
  EXPECT_NE(r.out.find("  - Processed: 1 material\n"), std::string::npos);

  const std::vector<std::pair<const char*, const char*>> none = {
      {"DISPLAY", nullptr}, {"WAYLAND_DISPLAY", nullptr}, {"QT_QPA_PLATFORM", nullptr}};
  for (const auto& env : {noServer, none}) {
    fs::remove(dir_ / "QM^ErrLog.txt");
    r = Run({"--gui", "--yes"}, {}, env);
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("--gui needs a display"), std::string::npos) << r.err;
    EXPECT_FALSE(Exists("QM^ErrLog.txt"));
  }
}
#endif

}  // namespace

// ---- Outputs that survive every failure ----

class SafeOutputs : public E2e {
 protected:
  // Settings with labels, one material; the order's quantity tells runs apart.
  void Files(int quantity, bool layouts = false, bool plan = false) {
    Write("QM_Config.txt", Config(true, true, layouts, plan));
    Write("QM_OptSet.txt", OptSet());
    Write("QM_Orders.txt", std::string(kHeader) + "A x 1000 " + std::to_string(quantity) + "\r\n");
    Write("QM_Stocks.txt", "h\r\nA x 6000 5\r\n");
  }
  void Fresh() {
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  // No temporary of any output is left behind.
  void ExpectNoTemporaries() {
    for (const char* name : {"QM_Report.txt", "QM_Labels.txt", "QM_Plan.json", "QM_Layouts.pdf"})
      EXPECT_FALSE(fs::exists(fs::symlink_status(dir_ / (std::string(name) + ".tmp")))) << name;
  }
};

// A run that plans no material takes away nothing that was there before it.
TEST_F(SafeOutputs, ARunThatPlansNothingLeavesThePreviousOutputs) {
  struct Case {
    const char* what;
    std::string orders;
    std::vector<std::string> args;
    std::function<void(const fs::path&)> spoil;
    int status;
  };
  const std::string good = std::string(kHeader) + "A x 1000 3\r\n";
  const std::vector<Case> cases = {
      {"the plan file's name is a directory",
       good,
       {"--json"},
       [](const fs::path& d) { fs::create_directory(d / "QM_Plan.json"); },
       1},
      {"the only material fits no bar",
       std::string(kHeader) + "A x 7000 1\r\n",
       {},
       [](const fs::path&) {},
       1},
      {"the only material has no stock",
       std::string(kHeader) + "N o 700 3\r\n",
       {},
       [](const fs::path&) {},
       0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Fresh();
    Files(2);
    ASSERT_EQ(Run({"--console", "--yes"}).status, 0);
    const std::string report = Read("QM_Report.txt");
    const std::string labels = Read("QM_Labels.txt");
    ASSERT_NE(report.find("REPORT END"), std::string::npos);
    ASSERT_FALSE(labels.empty());
    c.spoil(dir_);
    Write("QM_Orders.txt", c.orders);
    std::vector<std::string> args = {"--console", "--yes"};
    args.insert(args.end(), c.args.begin(), c.args.end());
    const RunResult r = Run(args);
    EXPECT_EQ(r.status, c.status) << r.err;
    EXPECT_EQ(Read("QM_Report.txt"), report);
    EXPECT_EQ(Read("QM_Labels.txt"), labels);
    ExpectNoTemporaries();
  }
}

// Writes that fail (here: past a file-size limit, as on a full disk) never
// put a truncated file in place: the previous one stays, the failure is
// logged with the file and the reason, and the run fails.
TEST_F(SafeOutputs, AFullDiskKeepsThePreviousReportAndLabels) {
  struct Case {
    const char* file;  // the output that fails
    bool labels;
  };
  // Labels take more room than the report: with them on, they fail first
  // and end the run; the report of the materials before is kept as after
  // any other error.
  const Case cases[] = {{"Report", false}, {"Labels", true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    Fresh();
    Write("QM_Config.txt", Config(true, c.labels));
    Write("QM_OptSet.txt", OptSet());
    std::string order = kHeader, stock = "h\r\n";
    for (int m = 0; m < 30; ++m) {
      const std::string name = std::string("M").append(std::to_string(m)).append(" x ");
      order += name + "1000 4\r\n" + name + "700 3\r\n";
      stock += name + "6000 5\r\n";
    }
    Write("QM_Orders.txt", order);
    Write("QM_Stocks.txt", stock);
    ASSERT_EQ(Run({"--console", "--yes"}).status, 0);
    const std::string file = std::string("QM_").append(c.file).append(".txt");
    const std::string previous = Read(file);
    ASSERT_GT(previous.size(), 8000u);

    Write("QM_Orders.txt", order + "M0 x 500 1\r\n");
    fileSizeLimit_ = 4000;
    const RunResult r = Run({"--console", "--yes"});
    fileSizeLimit_ = 0;
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_EQ(Read(file), previous);
    ExpectNoTemporaries();
    const std::string log = Read("QM^ErrLog.txt");
    std::string error = "Error writing resulting ";
    error.append(c.file).append(" file: \r\n").append(file).append("\r\n");
    error.append(std::strerror(EFBIG)).append("\r\n");
    EXPECT_NE(log.find(error), std::string::npos) << log;
  }
}

// An input under the name of an output or of an output's temporary is
// refused before anything is written.
TEST_F(SafeOutputs, AnInputNamedLikeAnOutputsTemporaryIsRefused) {
  struct Case {
    const char* stockName;
    std::vector<std::string> options;
  };
  const std::vector<Case> cases = {
      {"QM_Report.txt.tmp", {}},          {"QM_Labels.txt.tmp", {}},
      {"QM_Plan.json.tmp", {"--json"}},   {"QM_CutList.csv.tmp", {"--cut-list"}},
      {"QM_CutList.csv", {"--cut-list"}},
  };
  const std::string stock = "h\r\nA x 6000 5\r\n";
  for (const Case& c : cases) {
    SCOPED_TRACE(c.stockName);
    Fresh();
    Files(2);
    fs::remove(dir_ / "QM_Stocks.txt");
    Write(c.stockName, stock);
    std::vector<std::string> args = {"--console", "--yes"};
    args.insert(args.end(), c.options.begin(), c.options.end());
    args.insert(args.end(), {"QM_Orders.txt", c.stockName});
    const RunResult r = Run(args);
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_EQ(Read(c.stockName), stock);
    std::string error = "Output file would overwrite a file of this run:\r\n";
    error.append(c.stockName).append("\r\nSame file as: ").append(c.stockName);
    EXPECT_EQ(Read("QM^ErrLog.txt"), error + "\r\n\r\nEND");
    EXPECT_FALSE(Exists("QM_Report.txt"));
  }
}

// A symbolic link planted where an output's temporary or a log goes is
// neither followed nor removed: its target keeps its contents and the run
// fails naming the link.
TEST_F(SafeOutputs, PlantedLinksAreNotFollowed) {
  struct Case {
    const char* link;
    std::vector<std::string> options;
    const char* error;  // in the error log, or on standard error for a log
  };
  std::vector<Case> cases = {
      {"QM_Report.txt.tmp",
       {},
       "Error writing Report file: \r\nQM_Report.txt.tmp\r\nIs a symbolic link, which is not "
       "followed"},
      {"QM_Labels.txt.tmp",
       {},
       "Error writing Labels file: \r\nQM_Labels.txt.tmp\r\nIs a symbolic link, which is not "
       "followed"},
      {"QM_Plan.json.tmp",
       {"--json"},
       "Error writing Plan file: \r\ncannot create QM_Plan.json.tmp: Is a symbolic link, which "
       "is not followed"},
      {"QM^ErrLog.txt", {}, "Error writing Error Log file: "},
      {"QM^WrnLog.txt", {}, "Error writing Warning Log file: "},
  };
#ifdef TARVOLIN_DESKTOP
  cases.push_back({"QM_Layouts.pdf.tmp",
                   {"--layouts"},
                   "Error writing Layouts file: \r\ncannot create QM_Layouts.pdf.tmp: Is a "
                   "symbolic link, which is not followed"});
#endif
  for (const Case& c : cases) {
    SCOPED_TRACE(c.link);
    Fresh();
    Files(2);
    Write("victim.txt", "precious");
    fs::create_symlink("victim.txt", dir_ / c.link);
    std::vector<std::string> args = {"--console", "--yes"};
    args.insert(args.end(), c.options.begin(), c.options.end());
    const RunResult r = Run(args, {}, {{"QT_QPA_PLATFORM", "offscreen"}});
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_EQ(Read("victim.txt"), "precious");
    EXPECT_TRUE(fs::is_symlink(dir_ / c.link));
    const bool log = std::string(c.link).starts_with("QM^");
    const std::string said = log ? r.err : Read("QM^ErrLog.txt");
    EXPECT_NE(said.find(c.error), std::string::npos) << said;
    if (log) {
      EXPECT_NE(said.find(c.link), std::string::npos) << said;
      EXPECT_NE(said.find("Is a symbolic link, which is not followed"), std::string::npos) << said;
    }
  }
}

#ifdef TARVOLIN_DESKTOP
// The labels' print file is an output like the others: it never takes the
// place of an input, a settings file, a log or another output.
TEST_F(SafeOutputs, ThePrintFileCannotOverwriteAnotherFile) {
  const std::vector<const char*> names = {"QM_Orders.txt", "QM_Config.txt", "QM^ErrLog.txt",
                                          "QM_Report.txt", "QM_Report.txt.tmp"};
  for (const char* name : names) {
    SCOPED_TRACE(name);
    Fresh();
    Files(2);
    Write("QM_Config.txt", Changed(Config(true, true), "0 PrintLabels", "1 PrintLabels"));
    const bool log = std::string(name) == "QM^ErrLog.txt";  // rewritten by every run
    if (!Exists(name)) Write(name, "before");
    const std::string before = Read(name);
    std::string option = "--print-pdf=";
    option.append(name);
    const RunResult r = Run({"--console", "--yes", option}, {}, {{"QT_QPA_PLATFORM", "offscreen"}});
    EXPECT_EQ(r.status, 1) << r.err;
    std::string error = "Output file would overwrite a file of this run:\r\n";
    error.append(name).append("\r\nSame file as: ").append(name);
    EXPECT_EQ(Read("QM^ErrLog.txt").find(error), 0u) << Read("QM^ErrLog.txt");
    if (!log) {
      EXPECT_EQ(Read(name), before);
    }
    EXPECT_EQ(Read(name).find("%PDF"), std::string::npos);
  }
}

// A layouts file that cannot be written whole keeps the previous one, and
// the plan file says the run ended by an error.
TEST_F(SafeOutputs, AFullDiskKeepsThePreviousLayoutsFile) {
  Files(2, true, true);
  const std::vector<std::pair<const char*, const char*>> offscreen = {
      {"QT_QPA_PLATFORM", "offscreen"}};
  ASSERT_EQ(Run({"--console", "--yes"}, {}, offscreen).status, 0);
  const std::string pdf = Read("QM_Layouts.pdf");
  size_t others = 0;
  for (const char* name : {"QM_Report.txt", "QM_Labels.txt", "QM_Plan.json"})
    others = std::max(others, Read(name).size());
  // Room for every other file (and for the longer second run) but not the PDF.
  const size_t limit = others + 2000;
  if (pdf.size() <= limit) GTEST_SKIP() << "the layouts file is too small here";
  Files(3, true, true);
  fileSizeLimit_ = limit;
  const RunResult r = Run({"--console", "--yes"}, {}, offscreen);
  fileSizeLimit_ = 0;
  EXPECT_EQ(r.status, 1) << r.err;
  EXPECT_EQ(Read("QM_Layouts.pdf"), pdf);
  ExpectNoTemporaries();
  EXPECT_NE(Read("QM^ErrLog.txt")
                .find(std::string("Error writing Layouts file: \r\ncannot write QM_Layouts.pdf: ")
                          .append(std::strerror(EFBIG))),
            std::string::npos)
      << Read("QM^ErrLog.txt");
  const nlohmann::json plan = nlohmann::json::parse(Read("QM_Plan.json"));
  EXPECT_EQ(plan["run_end"], "ended_by_error");
  EXPECT_EQ(plan["materials"][0]["pieces"].size(), 3u);
}
#endif

// ---- Spreadsheet exports ----

// An order and a stock file exported as CSV plan like the same lines in text
// files; they are found by their masks when no text file matches, and their
// errors name the file's own line.
TEST_F(E2e, CsvFilesReadLikeTextFiles) {
  StandardFiles();
  Write("QM_Orders.txt", std::string(kHeader) + "A x 1250.5 3 M1\r\nA x 800 4\r\nB y 700 2\r\n");
  Write("QM_Stocks.txt", "h\r\nA x 6000 5\r\nB y 3000 5\r\n");
  ASSERT_EQ(Run({"--console", "--yes"}).status, 0);
  const std::string text = Read("QM_Report.txt");

  fs::remove(dir_ / "QM_Orders.txt");
  fs::remove(dir_ / "QM_Stocks.txt");
  fs::remove(dir_ / "QM_Report.txt");
  Write("QM_Orders_week.csv",
        "Material;Profil;L\xc3\xa4nge;Menge;Kennzeichen\r\nA;x;\"1250,5\";3;M1\r\nA;x;800;4;\r\n"
        "B;y;700;2;\r\n");
  Write("QM_Stocks_yard.csv", "qty,length,material,profile\n5,6000,A,x\n5,3000,B,y\n");
  const RunResult r = Run({"--console", "--yes"});
  EXPECT_EQ(r.status, 0) << r.err;
  std::string csv = Read("QM_Report_week.txt");
  const std::string names = "QM_Orders_week.csv / QM_Stocks_yard.csv";
  for (size_t at = csv.find(names); at != std::string::npos; at = csv.find(names))
    csv.replace(at, names.size(), "QM_Orders.txt / QM_Stocks.txt");
  EXPECT_EQ(csv, text);

  // A bad length in the third line of the CSV file.
  Write("QM_Orders_week.csv", "material,profile,length,qty\nA,x,100,1\nA,x,1O0,2\n");
  const RunResult bad = Run({"--console", "--yes"});
  EXPECT_EQ(bad.status, 1);
  EXPECT_EQ(Read("QM^ErrLog.txt"),
            "Error reading part input file.\r\nAll part lengths must be positive\r\n"
            "and have proper format.\r\nSee part group: 2\r\nSee line: 3\r\nMater/Sect: A x\r\n"
            "\r\nEND");

  // A header without a length column.
  Write("QM_Orders_week.csv", "material,profile,qty\nA,x,1\n");
  EXPECT_EQ(Run({"--console", "--yes"}).status, 1);
  EXPECT_EQ(Read("QM^ErrLog.txt"),
            "Error reading part input file.\r\nThe CSV header has no column for the length\r\n"
            "QM_Orders_week.csv\r\nSee line: 1\r\n\r\nEND");
}

// The cut list: switched on by QM_Config.txt line 7 or --cut-list, named
// after the order file, one row per cut piece with the layout label of the
// report (one bar, not reported apart as the last stock); off, no file.
TEST_F(E2e, CutListFollowsItsSwitches) {
  struct Case {
    const char* what;
    bool line7;
    std::vector<std::string> options;
    bool written;
  };
  const std::vector<Case> cases = {
      {"off", false, {}, false},
      {"settings line 7", true, {}, true},
      {"--cut-list", false, {"--cut-list"}, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    std::string config = Config();
    if (c.line7) {
      size_t at = 0;  // the start of line 7
      for (int line = 1; line < 7; ++line) at = config.find('\n', at) + 1;
      config.replace(at, config.find('\r', at) - at, "1 CutList");
    }
    Write("QM_Config.txt", config);
    Write("QM_OptSet.txt", OptSet());
    Write("QM_Orders_w.txt", std::string(kHeader) + "A x 1000 2 M\r\nA x 700 1\r\n");
    Write("QM_Stocks.txt", "h\r\nA x 6000 5\r\n");
    std::vector<std::string> args = {"--console", "--yes"};
    args.insert(args.end(), c.options.begin(), c.options.end());
    const RunResult r = Run(args);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(Exists("QM_CutList_w.csv"), c.written);
    if (!c.written) continue;
    EXPECT_EQ(Read("QM_CutList_w.csv"),
              "material,bar,stock_length,remnant,layout,position,length,mark,order_line,"
              "bar_remainder\r\n"
              "A x,1,6000.00,,1,0.00,1000.00,M,2,3300.00\r\n"
              "A x,1,6000.00,,1,1000.00,1000.00,M,2,3300.00\r\n"
              "A x,1,6000.00,,1,2000.00,700.00,,3,3300.00\r\n");
  }
}

#ifdef TARVOLIN_DESKTOP
// Printed labels with barcodes: read back from the printed PDF file by a
// barcode reader, every cut piece's barcode holds its order line, its piece
// number and its mark.
TEST_F(E2e, PrintedLabelsCarryBarcodesAReaderDecodes) {
  if (CommandOutput("command -v zbarimg pdftoppm").empty())
    GTEST_SKIP() << "zbarimg or pdftoppm is not installed";
  Write("QM_OptSet.txt", OptSet());
  // Lines 2 and 3 of A, line 4 of B; pieces are numbered per material.
  Write("QM_Orders.txt", std::string(kHeader) + "A x 1000 2 M1\r\nA x 700 1\r\nB y 500 4 K-7\r\n");
  Write("QM_Stocks.txt", "h\r\nA x 6000 5\r\nB y 3000 2\r\n");
  const std::string expected = "2/1/M1\n2/2/M1\n3/3\n4/1/K-7\n4/2/K-7\n4/3/K-7\n4/4/K-7\n";
  for (const char* kind : {"1", "2"}) {
    SCOPED_TRACE(kind);
    std::string config = Changed(Config(false), "0 PrintLabels", "1 PrintLabels");
    size_t at = 0;  // the start of line 21
    for (int line = 1; line < 21; ++line) at = config.find('\n', at) + 1;
    config.replace(at, config.find('\r', at) - at, std::string(kind) + " LabelBarcode");
    Write("QM_Config.txt", config);
    fs::remove(dir_ / "labels.pdf");
    const RunResult r = Run({"--console", "--yes", "--print-pdf=labels.pdf"}, {},
                            {{"QT_QPA_PLATFORM", "offscreen"}});
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string page = (dir_ / "page").string();
    const std::string decoded =
        CommandOutput("pdftoppm -r 300 -png '" + (dir_ / "labels.pdf").string() + "' '" + page +
                      "' && zbarimg --raw -q '" + page + "'-*.png 2>/dev/null | sort");
    EXPECT_EQ(decoded, expected);
    for (const auto& entry : fs::directory_iterator(dir_))
      if (entry.path().extension() == ".png") fs::remove(entry.path());
  }
}
#endif

// ---- Several materials at once ----

// The calculation times differ between any two runs, in their digits and
// in how many there are: each is replaced by "0" in the report and the plan
// file.
std::string WithoutTimes(std::string text) {
  for (const std::string label : {"Calc.time: ", "\"calculation_ms\": ", "\"date\": "}) {
    for (size_t at = text.find(label); at != std::string::npos; at = text.find(label, at + 1)) {
      const size_t begin = at + label.size();
      const size_t end = std::min(text.find_first_of(", \r\n", begin), text.size());
      text = text.substr(0, begin) + '0' + text.substr(end);
    }
  }
  return text;
}

// Solving several materials at once gives the bytes of a run with one job,
// whatever happens along the way: every material planned, a reading error
// that ends the run midway, a material that fails while the run goes on.
TEST_F(E2e, JobsGiveTheOutputsOfOneJob) {
  struct Case {
    const char* what;
    std::function<void()> files;
  };
  const std::vector<Case> cases = {
      {"six materials", [&] { SlowFiles(); }},
      {"a reading error in the fourth material ends the run",
       [&] {
         SlowFiles();
         std::string order = Read("QM_Orders.txt");
         order.replace(order.find("D x 1003"), 8, "D x 1O03");
         Write("QM_Orders.txt", order);
       }},
      {"a piece of the second material fits no bar, ContinueAfterError on",
       [&] {
         SlowFiles();
         std::string config = Read("QM_Config.txt");
         size_t at = 0;  // the start of line 20
         for (int line = 1; line < 20; ++line) at = config.find('\n', at) + 1;
         config.replace(at, config.find('\r', at) - at, "1 ContinueAfterError");
         Write("QM_Config.txt", config);
         Write("QM_Orders.txt", Read("QM_Orders.txt") + "B x 9000 1\r\n");
       }},
  };
  const std::vector<std::string> outputs = {"QM_Report.txt", "QM_Labels.txt", "QM_Plan.json",
                                            "QM^ErrLog.txt", "QM^WrnLog.txt"};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::map<std::string, std::string> first;
    int firstStatus = -1;
    std::string firstOut;
    for (const char* jobs : {"1", "3"}) {
      SCOPED_TRACE(jobs);
      fs::remove_all(dir_);
      fs::create_directories(dir_);
      c.files();
      const RunResult r = Run({"--console", "--yes", "--json", "--jobs", jobs});
      std::map<std::string, std::string> now;
      for (const std::string& name : outputs) now[name] = WithoutTimes(Read(name));
      if (firstStatus < 0) {
        first = now;
        firstStatus = r.status;
        firstOut = r.out;
        EXPECT_NE(now["QM_Report.txt"], "");
        continue;
      }
      EXPECT_EQ(r.status, firstStatus);
      EXPECT_EQ(r.out, firstOut);
      for (const std::string& name : outputs) EXPECT_EQ(now[name], first[name]) << name;
    }
  }
}

TEST_F(E2e, JobsTakeANumber) {
  for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
           {"--jobs"}, {"--jobs=0"}, {"--jobs", "x"}, {"--jobs=2x"}, {"--jobs=257"}}) {
    std::vector<std::string> all = {"--console"};
    all.insert(all.end(), args.begin(), args.end());
    const RunResult r = Run(all);
    EXPECT_EQ(r.status, 64) << args.back();
    EXPECT_NE(r.err.find("--jobs needs a number from 1 to 256"), std::string::npos) << r.err;
  }
}

// ---- The remnant store (QM_Config.txt line 19) ----

// A settings text with its line `n` (1-based) replaced.
std::string WithLine(const std::string& settings, int n, const std::string& text) {
  std::string changed = settings;
  size_t at = 0;
  for (int line = 1; line < n; ++line) at = changed.find('\n', at) + 1;
  changed.replace(at, changed.find('\r', at) - at, text);
  return changed;
}

const char* kStoreHeader = "Material Profile Length Qty Cost Id Date Order\r\n";

class RemnantsE2e : public E2e {
 protected:
  // The store on, MinReusable 100, the method given; one new bar of 6000
  // on the stock file.
  void RemnantFiles(int method, const std::string& orders, const std::string& store) {
    Write("QM_Config.txt", WithLine(Config(false), 19, "1 Remnants"));
    Write("QM_OptSet.txt", WithLine(WithLine(OptSet(), 8, "100 MinReusable"), 14,
                                    std::to_string(method) + " Method"));
    Write("QM_Orders.txt", std::string(kHeader) + orders);
    Write("QM_Stocks.txt", "h\r\nA x 6000 5\r\nB y 3000 2\r\n");
    if (!store.empty()) Write("QM_Remnants.txt", store);
  }
  static std::string Today() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char text[16];
    std::strftime(text, sizeof text, "%Y-%m-%d", &local);
    return text;
  }
  static std::vector<int> Methods() {
#ifdef TARVOLIN_HAVE_EXACT
    return {0, 1};
#else
    return {0};
#endif
  }
};

// A remnant that holds the piece is cut instead of a new bar, under both
// methods; a remnant too short for any piece stays; the remainder of the
// remnant cut (200, at least MinReusable 100) comes back with a new
// identifier; remnants of other materials and comments stay in place.
TEST_F(RemnantsE2e, ARemnantThatHoldsAPieceIsCutBeforeANewBar) {
  for (const int method : Methods()) {
    SCOPED_TRACE(method);
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    RemnantFiles(method, "A x 1000 1 M\r\n",
                 std::string(kStoreHeader) + "A x 900 1 0 R00002 2026-01-05 old.txt\r\n" +
                     "# rack 3\r\nB y 2000 1 0 R00007 - -\r\nA x 1200 1 4.5 R00003 - -\r\n");
    const RunResult r = Run({"--console", "--yes"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(Read("QM^ErrLog.txt"), "END");
    EXPECT_EQ(Read("QM_Remnants.txt"), std::string("# next R00009\r\n") + kStoreHeader +
                                           "A x 900 1 0 R00002 2026-01-05 old.txt\r\n# rack 3\r\n"
                                           "B y 2000 1 0 R00007 - -\r\n"
                                           "A x 200.00 1 0.00 R00008 " +
                                           Today() + " QM_Orders.txt\r\n");
    EXPECT_FALSE(Exists("QM_Remnants.txt.tmp"));
    const std::string report = Read("QM_Report.txt");
    EXPECT_NE(report.find("Total Length used:        1200.00"), std::string::npos) << report;
  }
}

// Among plans that need no new bar, the one that cuts the most remnant
// length: each remnant takes one piece of 400 (500 + 900 used), where the
// shortest total length would put both on the 900. Both go from the store.
TEST_F(RemnantsE2e, AtEqualNewStockTheMostRemnantLengthIsCut) {
  for (const int method : Methods()) {
    SCOPED_TRACE(method);
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    RemnantFiles(
        method, "A x 400 2 M\r\n",
        std::string(kStoreHeader) + "A x 500 1 0 R00002 - -\r\n" + "A x 900 1 0 R00003 - -\r\n");
    const RunResult r = Run({"--console", "--yes"});
    EXPECT_EQ(r.status, 0) << r.err;
    const std::string report = Read("QM_Report.txt");
    EXPECT_NE(report.find("Total Length used:        1400.00"), std::string::npos) << report;
    const std::string store = Read("QM_Remnants.txt");
    EXPECT_EQ(store.find("R00002 - -"), std::string::npos) << store;
    EXPECT_EQ(store.find("R00003 - -"), std::string::npos) << store;
  }
}

// The store off (and any value but 1): nothing is read or written, the
// stock file's bar is cut; a value other than 0 and 1 warns.
TEST_F(RemnantsE2e, OffTheStoreIsLeftAloneAndValuesOtherThanOneWarn) {
  for (const char* value : {"0 Remnants", "5 Remnants", "-9 Remnants"}) {
    SCOPED_TRACE(value);
    const std::string store = std::string(kStoreHeader) + "A x 1200 1 0 R00003 - -\r\n";
    RemnantFiles(0, "A x 1000 1\r\n", store);
    Write("QM_Config.txt", WithLine(Config(false), 19, value));
    const RunResult r = Run({"--console", "--yes"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(Read("QM_Remnants.txt"), store);
    EXPECT_NE(Read("QM_Report.txt").find("Total Length used:        6000.00"), std::string::npos);
    const bool warned = value[0] != '0';
    EXPECT_EQ(Read("QM^WrnLog.txt").find("Remnants (line 19 of QM_Config.txt) is ") == 0, warned)
        << Read("QM^WrnLog.txt");
  }
}

// A malformed line stops the run before anything is written and names the
// file and the line; the store stays as it was.
TEST_F(RemnantsE2e, AMalformedStoreLineStopsTheRunAndKeepsTheStore) {
  const std::string store =
      std::string(kStoreHeader) + "A x 1200 1 0 R00003 - -\r\nA x 900 2 0 R00004 - -\r\n";
  RemnantFiles(0, "A x 1000 1\r\n", store);
  const RunResult r = Run({"--console", "--yes"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(Read("QM^ErrLog.txt"),
            "Error reading Remnants file: \r\nQM_Remnants.txt\r\nSee line: 3 (the quantity of a "
            "remnant must be 1)\r\n\r\nEND");
  EXPECT_EQ(Read("QM_Remnants.txt"), store);
  EXPECT_FALSE(Exists("QM_Report.txt"));
}

// The store and its temporary are outputs: an input of that name is refused.
TEST_F(RemnantsE2e, AnInputNamedLikeTheStoreIsRefused) {
  for (const char* name : {"QM_Remnants.txt", "QM_Remnants.txt.tmp"}) {
    SCOPED_TRACE(name);
    RemnantFiles(0, "A x 1000 1\r\n", "");
    fs::rename(dir_ / "QM_Orders.txt", dir_ / name);
    const RunResult r = Run({"--console", "--yes", name});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(Read("QM^ErrLog.txt").find("Output file would overwrite a file of this run:"),
              std::string::npos);
    fs::remove(dir_ / name);
  }
}

// Two runs after each other: the second cuts the offcut the first left
// (remnants first), and its remainder below MinReusable is not kept.
TEST_F(RemnantsE2e, TwoRunsAfterEachOtherPassTheOffcutOn) {
  RemnantFiles(0, "A x 5000 1\r\n", "");
  ASSERT_EQ(Run({"--console", "--yes"}).status, 0);
  const std::string first = Read("QM_Remnants.txt");
  EXPECT_EQ(first, std::string("# next R00002\r\n") + kStoreHeader + "A x 1000.00 1 0.00 R00001 " +
                       Today() + " QM_Orders.txt\r\n");
  Write("QM_Orders.txt", std::string(kHeader) + "A x 950 1\r\n");
  ASSERT_EQ(Run({"--console", "--yes"}).status, 0);
  EXPECT_EQ(Read("QM_Remnants.txt"), std::string("# next R00002\r\n") + kStoreHeader);
  EXPECT_NE(Read("QM_Report.txt").find("Total Length used:        1000.00"), std::string::npos);
}

// Killed at each step of the store's rewrite: before the temporary, with
// the temporary written (before the rename), after the rename. The store
// holds either what it held or all of the run's changes, never a part; the
// run after it ends as a run on that store would, with no remnant lost or
// twice.
TEST_F(RemnantsE2e, AKilledRewriteLeavesTheOldStoreOrTheNewOneWhole) {
  const std::string store = std::string(kStoreHeader) + "A x 1200 1 0 R00003 - -\r\n";
  const std::string after = std::string("# next R00005\r\n") + kStoreHeader +
                            "A x 200.00 1 0.00 R00004 " + Today() + " QM_Orders.txt\r\n";
  const struct {
    const char* step;
    bool changed;
  } steps[] = {{"before", false}, {"written", false}, {"renamed", true}};
  for (const auto& s : steps) {
    SCOPED_TRACE(s.step);
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    RemnantFiles(0, "A x 1000 1\r\n", store);
    const RunResult killed =
        Run({"--console", "--yes"}, {}, {{"TARVOLIN_TEST_REMNANTS_STOP", s.step}});
    EXPECT_EQ(killed.status, 128 + SIGKILL);
    EXPECT_EQ(Read("QM_Remnants.txt"), s.changed ? after : store);
    const RunResult next = Run({"--console", "--yes"});
    EXPECT_EQ(next.status, 0) << next.err;
    EXPECT_FALSE(Exists("QM_Remnants.txt.tmp"));
    if (s.changed) {
      // R00004 (200) is too short for the piece: a new bar is cut, leaving
      // 5000, and R00004 stays.
      EXPECT_EQ(Read("QM_Remnants.txt"), std::string("# next R00006\r\n") + kStoreHeader +
                                             "A x 200.00 1 0.00 R00004 " + Today() +
                                             " QM_Orders.txt\r\nA x 5000.00 1 0.00 R00005 " +
                                             Today() + " QM_Orders.txt\r\n");
    } else {
      EXPECT_EQ(Read("QM_Remnants.txt"), after);
    }
  }
}

// A run that fails leaves the store as it was.
TEST_F(RemnantsE2e, ARunThatFailsChangesNothing) {
  const std::string store = std::string(kStoreHeader) + "A x 1200 1 0 R00003 - -\r\n";
  RemnantFiles(0, "A x 1000 1\r\nB y 9000 1\r\nB y -5 1\r\n", store);
  const RunResult r = Run({"--console", "--yes"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(Read("QM_Remnants.txt"), store);
}

// The outputs name the remnants: the cut list's remnant and offcut
// columns, the plan file (version 3, valid against the schema), the labels
// file's fifth line and the report's two lines. The pieces, 5500 and 1000,
// do not fit one new bar of 6000: the 1000 goes on remnant R00003 (1200),
// the 5500 on a new bar; both remainders (500, 200) reach MinReusable 100
// and become R00004 and R00005 in bar order; R00002 (900) stays.
TEST_F(RemnantsE2e, TheOutputsNameTheRemnantsAndOffcuts) {
  RemnantFiles(0, "A x 1000 1 M\r\nA x 5500 1\r\n",
               std::string(kStoreHeader) + "A x 900 1 0 R00002 - -\r\nA x 1200 1 0 R00003 - -\r\n");
  Write("QM_Config.txt", WithLine(Config(false, true), 19, "1 Remnants"));
  Write("QM_OptSet.txt", WithLine(WithLine(OptSet(), 8, "100 MinReusable"), 2, "0 IgnoreLast"));
#ifdef TARVOLIN_DESKTOP
  const RunResult r = Run({"--console", "--yes", "--cut-list", "--json", "--layouts"});
#else
  const RunResult r = Run({"--console", "--yes", "--cut-list", "--json"});
#endif
  ASSERT_EQ(r.status, 0) << r.err;

  // Cut list: per row its bar's stock length, remnant and offcut.
  std::istringstream rows(Read("QM_CutList.csv"));
  std::string row;
  std::getline(rows, row);
  EXPECT_EQ(row,
            "material,bar,stock_length,remnant,layout,position,length,mark,order_line,"
            "bar_remainder,offcut\r");
  std::map<std::string, std::string> byLength;  // piece length -> bar fields
  while (std::getline(rows, row)) {
    std::vector<std::string> f;
    std::istringstream fields(row.substr(0, row.size() - 1));
    for (std::string field; std::getline(fields, field, ',');) f.push_back(field);
    if (row.back() == ',' || f.size() == 10) f.push_back("");
    ASSERT_EQ(f.size(), 11u) << row;
    byLength[f[6]] = f[1] + "|" + f[2] + "|" + f[3] + "|" + f[9] + "|" + f[10];
  }
  EXPECT_EQ(byLength["5500.00"], "1|6000.00||500.00|R00004");
  EXPECT_EQ(byLength["1000.00"], "2|1200.00|R00003|200.00|R00005");

  const nlohmann::json plan = nlohmann::json::parse(Read("QM_Plan.json"));
  EXPECT_EQ(plan["version"], 3);
  EXPECT_EQ(plan["settings"]["remnants"], true);
  const auto& bars = plan["materials"][0]["bars"];
  ASSERT_EQ(bars.size(), 2u);
  EXPECT_TRUE(bars[0]["remnant"].is_null());
  EXPECT_EQ(bars[0]["offcut"], "R00004");
  EXPECT_EQ(bars[1]["remnant"], "R00003");
  EXPECT_EQ(bars[1]["offcut"], "R00005");
  const std::string validate = "python3 " + std::string(TARVOLIN_SOURCE_DIR) +
                               "/tests/output/validate_plan.py " + TARVOLIN_SOURCE_DIR +
                               "/docs/plan.schema.json '" + (dir_ / "QM_Plan.json").string() + "'";
  const int status = std::system(validate.c_str());
  if (!(WIFEXITED(status) && WEXITSTATUS(status) == 77)) {
    EXPECT_EQ(status, 0);
  }

#ifdef TARVOLIN_DESKTOP
  // The diagrams' captions name the remnant cut and the offcuts left.
  if (std::system("pdftotext -v >/dev/null 2>&1") == 0) {
    const std::string txt = (dir_ / "layouts.txt").string();
    ASSERT_EQ(std::system(
                  ("pdftotext '" + (dir_ / "QM_Layouts.pdf").string() + "' '" + txt + "'").c_str()),
              0);
    const std::string text = PdfTextFile(txt);
    EXPECT_NE(text.find("Offcut id R00004"), std::string::npos) << text;
    EXPECT_NE(text.find("Remnant R00003"), std::string::npos) << text;
    EXPECT_NE(text.find("Offcut id R00005"), std::string::npos) << text;
  }
#endif
  const std::string labels = Read("QM_Labels.txt");
  EXPECT_NE(labels.find("     Bar new Offcut R00004  .    Bar R00003 Offcut R00005  .  \r\n"),
            std::string::npos)
      << labels;
  const std::string report = Read("QM_Report.txt");
  EXPECT_NE(report.find("Remnants used:               1       1200.00\r\n"
                        "Remnants added:              2        700.00\r\n"),
            std::string::npos)
      << report;
  EXPECT_EQ(Read("QM_Remnants.txt"), std::string("# next R00006\r\n") + kStoreHeader +
                                         "A x 900 1 0 R00002 - -\r\n"
                                         "A x 500.00 1 0.00 R00004 " +
                                         Today() + " QM_Orders.txt\r\nA x 200.00 1 0.00 R00005 " +
                                         Today() + " QM_Orders.txt\r\n");
}

// The search takes 10 stock groups: with 10 stock lines a remnant is not
// offered to it and stays in the store. The exact method takes every
// remnant: the eleven groups are planned by the exact method alone, and
// the remnant is cut.
TEST_F(RemnantsE2e, BeyondTheSearchsTenStockGroupsOnlyTheExactMethodTakesRemnants) {
  std::string stock = "h\r\n";
  for (int i = 0; i < 10; ++i) stock += "A x " + std::to_string(6000 + i) + " 1\r\n";
  for (const int method : Methods()) {
    SCOPED_TRACE(method);
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    RemnantFiles(method, "A x 1000 1\r\n",
                 std::string(kStoreHeader) + "A x 1200 1 0 R00001 - -\r\n");
    Write("QM_Stocks.txt", stock);
    const RunResult r = Run({"--console", "--yes"});
    EXPECT_EQ(r.status, 0) << r.err;
    const std::string kept = Read("QM_Remnants.txt");
    EXPECT_EQ(kept.find("R00001 - -") != std::string::npos, method == 0) << kept;
    EXPECT_NE(kept.find(method == 0 ? "A x 5000.00 1 0.00 R00002" : "A x 200.00 1 0.00 R00002"),
              std::string::npos)
        << kept;
  }
}

// Another run holds the store (from another directory through a link to
// it, say): this run stops like a second instance, writes nothing and
// leaves the store alone.
TEST_F(RemnantsE2e, AStoreLockedByAnotherRunStopsThisRun) {
  const std::string store = std::string(kStoreHeader) + "A x 1200 1 0 R00003 - -\r\n";
  RemnantFiles(0, "A x 1000 1\r\n", store);
  const int fd = open((dir_ / "QM_Remnants.txt").c_str(), O_RDONLY);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(flock(fd, LOCK_EX | LOCK_NB), 0);
  const RunResult r = Run({"--console", "--yes"});
  close(fd);
  EXPECT_EQ(r.status, 3);
  EXPECT_NE(r.err.find("Output file is in use by another run:"), std::string::npos) << r.err;
  EXPECT_EQ(Read("QM_Remnants.txt"), store);
  EXPECT_FALSE(Exists("QM_Report.txt"));
}
