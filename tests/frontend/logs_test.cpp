#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

#include "frontend_fixture.h"
#include "initialise.h"
#include "text_file.h"

namespace tarvolin {
namespace {

namespace fs = std::filesystem;

using test_support::FrontEndTest;
using test_support::ReadFile;
using test_support::WriteFile;

using LogsTest = FrontEndTest;

// Later writes to the open file fail as on a full disk; its name stays.
void DiskFull(const TextOutFile& file) {
  const int full = ::open("/dev/full", O_WRONLY);
  ASSERT_GE(full, 0);
  ASSERT_GE(::dup2(full, file.fd()), 0);
  ::close(full);
}

TEST_F(LogsTest, CleanRunLeavesBothLogsHoldingOnlyEnd) {
  FinishRun(run, tk, false, "   ");
  EXPECT_EQ(ErrorLog(), "END");
  EXPECT_EQ(WarningLog(), "END");
  EXPECT_TRUE(tk.boxes.empty());
  EXPECT_TRUE(tk.Terminating());
}

TEST_F(LogsTest, EntriesAreFollowedByAnEmptyLine) {
  LogWarning(run, tk, "No stock length available for material: A B");
  LogError(run, tk, "Solver reports error 7");
  LogError(run, tk, "Error reading part input file.\rSee part group: 1");
  FinishRun(run, tk, false, "");
  EXPECT_EQ(WarningLog(), "No stock length available for material: A B\r\n\r\nEND");
  EXPECT_EQ(ErrorLog(),
            "Solver reports error 7\r\n\r\n"
            "Error reading part input file.\r\nSee part group: 1\r\n\r\nEND");
  ASSERT_EQ(tk.boxes.size(), 3u);
  EXPECT_EQ(tk.boxes[2].text, "Error reading part input file.\rSee part group: 1");
  EXPECT_EQ(tk.boxes[0].kind, BoxKind::Warning);
  EXPECT_EQ(tk.boxes[0].buttons, BoxButtons::Ok);
  EXPECT_EQ(tk.boxes[1].kind, BoxKind::Error);
}

TEST_F(LogsTest, WithoutShowMessagesNothingIsShown) {
  run.init.showMessages = false;
  LogWarning(run, tk, "w");
  FinishRun(run, tk, false, "fatal");
  EXPECT_TRUE(tk.boxes.empty());
  EXPECT_EQ(WarningLog(), "w\r\n\r\nEND");
  EXPECT_EQ(ErrorLog(), "fatal\r\n\r\nEND");
}

TEST_F(LogsTest, FinishRunEndsTheProgramOnce) {
  FinishRun(run, tk, false, "first");
  FinishRun(run, tk, false, "second");
  LogError(run, tk, "late");
  EXPECT_EQ(ErrorLog(), "first\r\n\r\nEND");
  EXPECT_EQ(tk.boxes.size(), 1u);
}

// Without a processed material only the run's own temporaries go: the
// files of a previous run stay as they were, and none appears where there
// was none.
TEST_F(LogsTest, OutputsAreDroppedWhenNoMaterialWasProcessed) {
  run.init.writeLabelsFile = true;
  run.reportFile = "QM_Report1.txt";
  run.labelsFile = "QM_Labels1.txt";
  WriteFile("QM_Report1.txt", "previous report");
  ASSERT_EQ(run.report.CreateReplacing(run.reportFile), 0);
  ASSERT_EQ(run.labels.CreateReplacing(run.labelsFile), 0);
  run.report.WriteLine("heading");
  FinishRun(run, tk, true, "");
  EXPECT_EQ(ReadFile("QM_Report1.txt"), "previous report");
  EXPECT_FALSE(fs::exists("QM_Labels1.txt"));
  EXPECT_FALSE(fs::exists("QM_Report1.txt.tmp"));
  EXPECT_FALSE(fs::exists("QM_Labels1.txt.tmp"));
  EXPECT_EQ(ErrorLog(), "END");
}

// Closing the outputs before the end of the run logs a failure at once and
// is not repeated when the run finishes.
TEST_F(LogsTest, OutputsAreClosedOnce) {
  run.reportFile = "QM_Report1.txt";
  WriteFile("QM_Report1.txt", "previous report");
  ASSERT_EQ(run.report.CreateReplacing(run.reportFile), 0);
  run.report.WriteLine("new report");
  run.processed = 1;
  CloseOutputs(run, tk);
  EXPECT_EQ(ReadFile("QM_Report1.txt"), "new report\r\n");
  EXPECT_FALSE(run.report.IsOpen());
  FinishRun(run, tk, true, "");
  EXPECT_EQ(ReadFile("QM_Report1.txt"), "new report\r\n");
  EXPECT_EQ(ErrorLog(), "END");
}

TEST_F(LogsTest, OutputsStayWhenAMaterialWasProcessed) {
  run.reportFile = "QM_Report1.txt";
  run.labelsFile = "";
  run.report.Create(run.reportFile);
  run.report.WriteLine("heading");
  run.processed = 1;
  FinishRun(run, tk, true, "");
  EXPECT_EQ(ReadFile("QM_Report1.txt"), "heading\r\n");
  EXPECT_EQ(ErrorLog(), "END");
}

TEST_F(LogsTest, OutputsAreLeftOpenWithoutCloseOutputs) {
  run.reportFile = "QM_Report1.txt";
  run.report.Create(run.reportFile);
  FinishRun(run, tk, false, "");
  EXPECT_TRUE(run.report.IsOpen());
  EXPECT_TRUE(fs::exists("QM_Report1.txt"));
}

TEST_F(LogsTest, ControlBytesAreEscapedInBoxAndLog) {
  using namespace std::string_view_literals;
  struct Case {
    std::string_view text;
    std::string_view shown;
  };
  const Case cases[] = {
      {"Mater/Sect: A\x1b[2J"sv, "Mater/Sect: A\\x1b[2J"sv},
      {"nul \0 del \x7f bell \a"sv, "nul \\x00 del \\x7f bell \\x07"sv},
      {"tab\tand\rbreak\r\nCR LF"sv, "tab\tand\rbreak\r\nCR LF"sv},
      {"lone\nline feed"sv, "lone\\x0aline feed"sv},
      {"\xc3\xa9 stays"sv, "\xc3\xa9 stays"sv},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.shown);
    EXPECT_EQ(EscapeControlBytes(c.text), c.shown);
  }
  LogError(run, tk, "bad \x1b byte");
  FinishRun(run, tk, false, "");
  ASSERT_EQ(tk.boxes.size(), 1u);
  EXPECT_EQ(tk.boxes[0].text, "bad \\x1b byte");
  EXPECT_EQ(ErrorLog(), "bad \\x1b byte\r\n\r\nEND");
}

TEST_F(LogsTest, OutputErrorsAreLoggedWhenMaterialsWereProcessed) {
  run.init.writeLabelsFile = true;
  run.reportFile = "QM_Report1.txt";
  run.labelsFile = "QM_Labels1.txt";
  run.report.Create(run.reportFile);
  run.labels.Create(run.labelsFile);
  DiskFull(run.report);
  DiskFull(run.labels);
  run.report.Write("a report line");
  run.labels.Write("a label");
  run.processed = 2;
  FinishRun(run, tk, true, "Error writing Report file");
  const std::string reason = IoErrorText(ENOSPC);
  EXPECT_EQ(ErrorLog(),
            "Error writing Report file\r\n\r\n"
            "Error writing resulting Report file: \r\nQM_Report1.txt\r\n" +
                reason + "\r\n\r\nError writing resulting Labels file: \r\nQM_Labels1.txt\r\n" +
                reason + "\r\n\r\nEND");
  EXPECT_TRUE(fs::exists("QM_Report1.txt"));
}

// A write that fails for real is logged with the system's reason.
TEST_F(LogsTest, OutputErrorAtCloseSaysWhy) {
  run.reportFile = "/dev/full";
  ASSERT_EQ(run.report.Create(run.reportFile), 0);
  run.report.Write("a report line");
  run.processed = 1;
  FinishRun(run, tk, true, "");
  EXPECT_EQ(ErrorLog(), "Error writing resulting Report file: \r\n/dev/full\r\n" +
                            IoErrorText(ENOSPC) + "\r\n\r\nEND");
}

TEST_F(LogsTest, LogWriteFailuresAreAlwaysShown) {
  run.init.showMessages = false;
  DiskFull(run.errorLog);
  DiskFull(run.warningLog);
  FinishRun(run, tk, false, "");
  ASSERT_EQ(tk.boxes.size(), 2u);
  EXPECT_EQ(tk.boxes[0].kind, BoxKind::Error);
  const std::string reason = "\r" + IoErrorText(ENOSPC);
  EXPECT_EQ(tk.boxes[0].text, "Error writing Error Log file: \r" + run.errorLogFile + reason);
  EXPECT_EQ(tk.boxes[1].text, "Error writing Warning Log file: \r" + run.warningLogFile + reason);
}

TEST_F(LogsTest, ALogThatCannotBeCreatedIsReportedAtTheEnd) {
  RunState second;
  second.errorLogFile = "ErrLogDir";
  second.warningLogFile = "WrnLog2.txt";
  fs::create_directory("ErrLogDir");
  ScriptedToolkit tk2;
  second.init.showMessages = false;
  ASSERT_TRUE(InitialiseLogs(second, tk2));
  EXPECT_GT(second.errorLog.Errors(), 0);
  LogError(second, tk2, "lost");
  FinishRun(second, tk2, false, "");
  ASSERT_EQ(tk2.boxes.size(), 1u);
  EXPECT_EQ(tk2.boxes[0].text, "Error writing Error Log file: \rErrLogDir\rIs a directory");
  EXPECT_EQ(ReadFile("WrnLog2.txt"), "END");
}

TEST_F(LogsTest, SecondInstanceStopsWithoutTouchingTheFirstOnesLogs) {
  LogWarning(run, tk, "first instance");
  LogError(run, tk, "first error");
  run.warningLog.Flush();
  run.errorLog.Flush();

  RunState second;
  ScriptedToolkit tk2;
  EXPECT_FALSE(InitialiseLogs(second, tk2));
  EXPECT_TRUE(tk2.Terminating());
  ASSERT_EQ(tk2.boxes.size(), 1u);
  EXPECT_EQ(tk2.boxes[0].kind, BoxKind::Warning);
  EXPECT_EQ(tk2.boxes[0].buttons, BoxButtons::Ok);
  EXPECT_EQ(tk2.boxes[0].text, "Tarvolin is already running");
  EXPECT_FALSE(second.errorLog.IsOpen());
  EXPECT_FALSE(second.warningLog.IsOpen());
  FinishRun(second, tk2, false, "");  // already terminating: does nothing

  FinishRun(run, tk, false, "");
  EXPECT_EQ(WarningLog(), "first instance\r\n\r\nEND");
  EXPECT_EQ(ErrorLog(), "first error\r\n\r\nEND");

  // Once the first has ended, a new instance starts afresh.
  RunState third;
  ScriptedToolkit tk3;
  EXPECT_TRUE(InitialiseLogs(third, tk3));
  EXPECT_EQ(WarningLog(), "");
  FinishRun(third, tk3, false, "");
}

TEST_F(LogsTest, SecondInstanceInAnotherProcessIsRefused) {
  LogWarning(run, tk, "running");
  run.warningLog.Flush();
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    RunState second;
    ScriptedToolkit tk2;
    const bool started = InitialiseLogs(second, tk2);
    const bool told = tk2.boxes.size() == 1 && tk2.boxes[0].text == kAlreadyRunning;
    ::_exit(!started && told && tk2.Terminating() ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
  FinishRun(run, tk, false, "");
  EXPECT_EQ(WarningLog(), "running\r\n\r\nEND");
}

TEST_F(LogsTest, InitialiseRunReadsTheSettingsOnlyForTheFirstInstance) {
  WriteFile("QM_Config.txt",
            "1\n0\n1\n1\n1\n0\n0\n1\n1\n1\n0\n0\n0\n0\n20\n8\n0\n0\n0\n0\n0\n555\n");
  RunState second;
  ScriptedToolkit tk2;
  EXPECT_FALSE(InitialiseRun(second, tk2));
  EXPECT_EQ(second.init.materialColumnWidth, 18);
  FinishRun(run, tk, false, "");

  RunState third;
  ScriptedToolkit tk3;
  third.checked = 3;
  ASSERT_TRUE(InitialiseRun(third, tk3));
  EXPECT_EQ(third.init.materialColumnWidth, 20);
  EXPECT_EQ(third.checked, 0);
  EXPECT_EQ(third.opt.iterationMultiplier, 20);
  EXPECT_TRUE(tk3.boxes.empty());
  FinishRun(third, tk3, false, "");
}

}  // namespace
}  // namespace tarvolin
