// End-to-end runs of the tarvolin executable in temporary working
// directories, in console mode.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace fs = std::filesystem;

namespace {

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

std::string Config(bool showWindow = true, bool labels = false) {
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
                "0",
                "0",
                "18 MaterialColumnWidth",
                "8 NumberColumnWidth",
                labels ? "1 LabelsFile" : "0 LabelsFile",
                "0 PrintLabels",
                "0",
                "0",
                "0",
                "555"});
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

  // Runs the program with stdin from /dev/null; `whileRunning` is called
  // with the child's pid before waiting for it.
  RunResult Run(const std::vector<std::string>& args,
                const std::function<void(pid_t)>& whileRunning = {}) {
    int outPipe[2], errPipe[2];
    EXPECT_EQ(pipe(outPipe), 0);
    EXPECT_EQ(pipe(errPipe), 0);
    const pid_t pid = fork();
    if (pid == 0) {
      if (chdir(dir_.c_str()) != 0) _exit(126);
      const int devnull = open("/dev/null", O_RDONLY);
      dup2(devnull, 0);
      dup2(outPipe[1], 1);
      dup2(errPipe[1], 2);
      close(outPipe[0]);
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
    r.out = ReadAll(outPipe[0]);
    errReader.join();
    close(outPipe[0]);
    close(errPipe[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    r.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return r;
  }

  fs::path dir_;
};

const char* kHeader = "Material Profile Length Qty Mark\r\n";

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
            "and have proper format.\r\nSee part group: 1\r\nMater/Sect: C z\r\n\r\nEND");
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
    for (int i = 0; i < 2000 && !fs::exists(dir_ / "QM_Report.txt"); ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
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

TEST_F(E2e, VersionIsTheProjectVersion) {
  const RunResult r = Run({"--version"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, std::string("tarvolin ") + TARVOLIN_VERSION + "\n");
  EXPECT_FALSE(Exists("QM^ErrLog.txt"));
}

}  // namespace
