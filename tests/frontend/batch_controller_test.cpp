#include "batch_controller.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <functional>
#include <memory>
#include <new>
#include <string>
#include <utility>
#include <vector>

#include "frontend_fixture.h"

namespace tarvolin {
namespace {

namespace fs = std::filesystem;
using test_support::ReadFile;
using test_support::WriteFile;

class RecordingView final : public ProcessView {
 public:
  void SetCaption(std::string_view c) override { caption = c; }
  void SetWaitLabel(std::string_view text, uint32_t colour) override {
    waitLabels.emplace_back(std::string(text), colour);
  }
  void AddMemoLine(std::string_view line) override { memo.emplace_back(line); }
  void ReplaceLastMemoLine(std::string_view line) override { memo.back() = std::string(line); }
  int MemoFontPoints() const override { return 9; }
  void Widen(int pixels) override { widened += pixels; }
  void HideAndBringToFront() override { hidden = true; }
  void EnableCloseButton() override { closeEnabled = true; }
  void CloseWindow() override { closed = true; }

  std::string caption;
  std::vector<std::pair<std::string, uint32_t>> waitLabels;
  std::vector<std::string> memo;
  int widened = 0;
  bool hidden = false, closeEnabled = false, closed = false;
};

class RecordingPleaseWait final : public PleaseWaitView {
 public:
  void Show() override { ++shows; }
  void Close() override { ++closes; }
  int shows = 0, closes = 0;
};

struct Switches {
  int showWindow = 1;
  int askInputFiles = 0;
  int confirmSteps = 1;
  int showMessages = 1;
  int runMsgMode = 0;
  int printLabels = 0;
  int layoutsFile = 0;
  int planFile = 0;
  int continueAfterError = 0;
};

std::string ConfigText(const Switches& s) {
  const int values[22] = {s.showWindow,
                          s.askInputFiles,
                          s.confirmSteps,
                          s.showMessages,
                          s.runMsgMode,
                          0,
                          0,
                          1,
                          1,
                          1,
                          0,
                          0,
                          s.layoutsFile,
                          s.planFile,
                          18,
                          8,
                          0,
                          s.printLabels,
                          0,
                          s.continueAfterError,
                          0,
                          555};
  std::string text;
  for (int v : values) text += std::to_string(v) + " value\r\n";
  return text;
}

constexpr const char* kOptSet =
    "0\r\n1\r\n0\r\n1\r\n2\r\n0\r\n0\r\n0 min\r\n0 kerf\r\n0 end\r\n1\r\n0\r\n0\r\n0\r\n0\r\n0\r\n"
    "555\r\n";
constexpr const char* kOrderHeader = "Material Profile Length Qty Mark\r\n";

// A batch run of BatchController in a fresh working directory.
class BatchControllerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    previous_ = fs::current_path();
    std::string pattern = (fs::temp_directory_path() / "tarvolin-batch-XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    dir_ = pattern;
    fs::current_path(dir_);
    WriteFile("QM_OptSet.txt", kOptSet);
  }
  void TearDown() override {
    app_.reset();
    fs::current_path(previous_);
    fs::remove_all(dir_);
  }

  void Files(const Switches& s, const std::string& orders, const std::string& stocks) {
    WriteFile("QM_Config.txt", ConfigText(s));
    WriteFile("QM_Orders.txt", kOrderHeader + orders);
    WriteFile("QM_Stocks.txt", "Material Profile Length Qty\r\n" + stocks);
  }

  BatchController& Start(std::vector<std::string> params = {}) {
    app_ = std::make_unique<BatchController>(tk, view, pleaseWait, &printer, std::move(params));
    if (prepare) prepare(*app_);
    app_->OnStartUp();
    app_->OnFirstPaint();
    return *app_;
  }

  // The batch run as the operator sees it, ended through the window.
  BatchController& RunToTheEnd(std::vector<std::string> params = {}) {
    BatchController& app = Start(std::move(params));
    app.OnWindowClosed();
    return app;
  }

  ScriptedToolkit tk;
  RecordingView view;
  RecordingPleaseWait pleaseWait;
  RecordingPrinter printer;
  std::function<void(BatchController&)> prepare;  // before the start-up
  fs::path dir_;

 private:
  std::unique_ptr<BatchController> app_;
  fs::path previous_;
};

const std::string kMemoHeader =
    "Material/Profile  "
    " Parts   /Gr"
    "    Stocks   /Gr"
    "        Used"
    "       Utiliz.";

TEST_F(BatchControllerTest, ACleanRunShowsItsStepsInOrder) {
  // Three pieces of 1000 fit one bar of 8000: the five bars are capped to
  // one, and the bar is used to 3000 / 8000.
  Files(Switches{}, "A x 1000 3\r\n", "A x 8000 5\r\n");
  tk.answers = {BoxResult::Ok};
  BatchController& app = Start();

  EXPECT_EQ(tk.Title(), "Tarvolin - Velmora");
  EXPECT_EQ(view.caption, "Tarvolin - Velmora");
  EXPECT_EQ(view.widened, 9 * (18 - 16));
  ASSERT_EQ(tk.boxes.size(), 2u);
  EXPECT_EQ(tk.boxes[0].kind, BoxKind::Confirmation);
  EXPECT_EQ(tk.boxes[0].buttons, BoxButtons::OkCancel);
  EXPECT_EQ(tk.boxes[0].text, "Process files: \rQM_Orders.txt\rQM_Stocks.txt\rQM_OptSet.txt ?");
  EXPECT_EQ(tk.boxes[1].kind, BoxKind::Information);
  EXPECT_EQ(tk.boxes[1].text, "Report:  QM_Report.txt");

  const std::vector<std::string> memo = {
      kMemoHeader,
      "A x               "
      "     3     1         1     1"
      "       3     1       37.5%",
      "  - Processed: 1 material",
  };
  EXPECT_EQ(view.memo, memo);
  const std::vector<std::pair<std::string, uint32_t>> labels = {
      {"Process window", 0x808080}, {"Wait please...", 0x0000FF}, {"Process window", 0x808080}};
  EXPECT_EQ(view.waitLabels, labels);
  EXPECT_EQ(pleaseWait.shows, 0);
  EXPECT_TRUE(app.CloseButtonEnabled());
  EXPECT_TRUE(view.closeEnabled);
  EXPECT_FALSE(view.closed);

  app.OnExitClicked();
  EXPECT_TRUE(view.closed);
  app.OnWindowClosed();
  EXPECT_EQ(app.Status(), kExitOk);
  EXPECT_EQ(ReadFile("QM^ErrLog.txt"), "END");
  EXPECT_EQ(ReadFile("QM^WrnLog.txt"), "END");
  EXPECT_TRUE(fs::exists("QM_Report.txt"));
}

TEST_F(BatchControllerTest, ARefusedConfigDefaultIsAnErrorNotASecondInstance) {
  WriteFile("QM_Orders.txt", kOrderHeader);
  BatchController& app = RunToTheEnd();
  ASSERT_EQ(tk.boxes.size(), 2u);
  EXPECT_EQ(tk.boxes[0].text,
            "Initial Settings (Config) file reading error\rThe file cannot be read: QM_Config.txt");
  EXPECT_EQ(tk.boxes[1].text, "Load default Initial Settings and go?");
  EXPECT_EQ(app.Status(), kExitError);
  EXPECT_EQ(ReadFile("QM^ErrLog.txt"),
            "Initial Settings (Config) file reading error\r\n"
            "The file cannot be read: QM_Config.txt\r\n\r\nEND");
  EXPECT_TRUE(view.memo.empty());
}

// Material A cannot be cut from its stock (the solver reports error 21), so
// the loop ends before B; the batch still ends with its end line and summary.
class SolverErrorTest : public BatchControllerTest {
 protected:
  void SetUp() override {
    BatchControllerTest::SetUp();
    Switches s;
    s.showMessages = 0;
    Files(s, "A x 2000 1\r\nB y 500 1\r\n", "A x 1000 5\r\nB y 1000 1\r\n");
    tk.answers = {BoxResult::Ok};
  }
  const std::vector<std::string> memo_ = {
      kMemoHeader,
      "A x               "
      "     1     1         1     1",
      "  - Processed: 0 materials",
      "    - Checked: 1 material",
  };
};

TEST_F(SolverErrorTest, TheLoopEndsAndTheBatchIsFinished) {
  BatchController& app = RunToTheEnd();
  EXPECT_EQ(view.memo, memo_);
  ASSERT_EQ(tk.boxes.size(), 1u);  // no "Report:  " box without a processed material
  EXPECT_EQ(ReadFile("QM^ErrLog.txt"),
            "Solver reports error 21\r\nNo parts fit in any stock\r\n\r\nEND");
  EXPECT_FALSE(fs::exists("QM_Report.txt"));
  EXPECT_EQ(app.Status(), kExitError);
}

// A material that fails stops the batch by default; with the batch going on
// after errors it is skipped. Either way the report names it before its end
// line and the run ends with the error status.
struct FailedMaterialCase {
  const char* what;
  int goOn;
  const char* orders;
  const char* note;  // the report line naming the failed material
  bool bPlanned;
};

class FailedMaterialTest : public BatchControllerTest,
                           public ::testing::WithParamInterface<FailedMaterialCase> {};

TEST_P(FailedMaterialTest, IsNotedInTheReport) {
  const FailedMaterialCase& c = GetParam();
  Switches s;
  s.showMessages = 0;
  s.continueAfterError = c.goOn;
  Files(s, c.orders, "A x 1000 5\r\nB y 1000 1\r\nC z 1000 1\r\n");
  tk.answers = {BoxResult::Ok, BoxResult::Ok};
  BatchController& app = RunToTheEnd();
  EXPECT_EQ(app.Status(), kExitError);
  const std::string report = ReadFile("QM_Report.txt");
  const size_t note = report.find(std::string(c.note) + "\r\n");
  ASSERT_NE(note, std::string::npos) << report;
  EXPECT_LT(note, report.find("REPORT END for:"));
  EXPECT_EQ(report.find("B y") != std::string::npos, c.bPlanned);
}

INSTANTIATE_TEST_SUITE_P(
    Batch, FailedMaterialTest,
    ::testing::Values(
        FailedMaterialCase{
            "SolverErrorStops", 0, "C z 1000 1\r\nA x 2000 1\r\nB y 500 1\r\n",
            "*** Mater/Sect: A x - not planned: Solver reports error 21; No parts fit in any stock",
            false},
        FailedMaterialCase{
            "SolverErrorSkipped", 1, "C z 1000 1\r\nA x 2000 1\r\nB y 500 1\r\n",
            "*** Mater/Sect: A x - not planned: Solver reports error 21; No parts fit in any stock",
            true},
        FailedMaterialCase{"ReadingErrorSkipped", 1, "C z 1000 1\r\nA x 0 1\r\nB y 500 1\r\n",
                           "*** Mater/Sect: A x - not planned: Error reading part input file.; "
                           "All part lengths must be positive; and have proper format.; See part "
                           "group: 1; See line: 3; Mater/Sect: A x",
                           true}),
    [](const ::testing::TestParamInfo<FailedMaterialCase>& info) { return info.param.what; });

TEST_F(SolverErrorTest, ATerminateRequestDuringTheCallDoesNotSkipTheFinish) {
  // The pump right after the solver call, once the idle label is back.
  tk.onPump = [&] {
    if (view.waitLabels.size() == 3) tk.Terminate();
  };
  Start();
  EXPECT_TRUE(tk.Terminating());
  EXPECT_EQ(view.memo, memo_);
  EXPECT_TRUE(view.closeEnabled);
}

TEST_F(BatchControllerTest, ATerminateRequestAfterASolvedMaterialStopsAtTheNextPass) {
  Files(Switches{}, "A x 1000 3\r\nB y 1000 1\r\n", "A x 8000 5\r\nB y 8000 1\r\n");
  tk.answers = {BoxResult::Ok};
  // The pump right after the solver call, once the idle label is back.
  tk.onPump = [&] {
    if (view.waitLabels.size() == 3) tk.Terminate();
  };
  BatchController* app = &Start();
  ASSERT_EQ(view.memo.size(), 2u);  // the header and A's line, extended; no end lines
  EXPECT_EQ(view.memo[1].substr(18 + 28), "       3     1       37.5%");
  EXPECT_FALSE(view.closeEnabled);
  app->OnWindowClosed();
  EXPECT_EQ(app->Status(), kExitCancelled);
}

TEST_F(BatchControllerTest, ATerminateRequestRightAfterTheOutputsOpenMarksThePlanInterrupted) {
  Switches s;
  s.planFile = 1;
  Files(s, "A x 1000 3\r\n", "A x 8000 5\r\n");
  tk.answers = {BoxResult::Ok};
  tk.onPump = [&] {
    if (fs::exists("QM_Plan.json")) tk.Terminate();
  };
  Start().OnWindowClosed();
  const std::string plan = ReadFile("QM_Plan.json");
  EXPECT_NE(plan.find("\"run_end\": \"interrupted\""), std::string::npos) << plan;
  EXPECT_FALSE(fs::exists("QM_Plan.json.tmp"));
}

// A report whose writes fail (its file swapped for a full device after the
// first material) is not put in place, and the plan file, finished after
// it, says that the run ended by an error.
TEST_F(BatchControllerTest, AReportThatFailsMarksThePlanEndedByError) {
  Switches s;
  s.planFile = 1;
  s.showMessages = 0;
  Files(s, "A x 1000 3\r\nB y 1000 1\r\n", "A x 8000 5\r\nB y 8000 1\r\n");
  WriteFile("QM_Report.txt", "previous report");
  tk.answers = {BoxResult::Ok};
  bool spoiled = false;
  BatchController* controller = nullptr;
  prepare = [&](BatchController& c) { controller = &c; };
  tk.onPump = [&] {
    if (spoiled || view.waitLabels.size() != 3) return;
    spoiled = true;
    const int full = ::open("/dev/full", O_WRONLY);
    ASSERT_GE(full, 0);
    ASSERT_GE(::dup2(full, controller->State().report.fd()), 0);
    ::close(full);
  };
  BatchController& app = RunToTheEnd();
  EXPECT_TRUE(spoiled);
  EXPECT_EQ(app.Status(), kExitError);
  EXPECT_EQ(ReadFile("QM_Report.txt"), "previous report");
  EXPECT_FALSE(fs::exists("QM_Report.txt.tmp"));
  EXPECT_NE(
      ReadFile("QM^ErrLog.txt")
          .find("Error writing resulting Report file: \r\nQM_Report.txt\r\n" + IoErrorText(ENOSPC)),
      std::string::npos)
      << ReadFile("QM^ErrLog.txt");
  const std::string plan = ReadFile("QM_Plan.json");
  EXPECT_NE(plan.find("\"run_end\": \"ended_by_error\""), std::string::npos) << plan;
}

TEST_F(BatchControllerTest, ThePleaseWaitWindowAndTheClosingDependOnTheSwitches) {
  struct Case {
    int showWindow, confirmSteps, runMsgMode;
    int waitShows;
    size_t boxes;
  };
  const Case cases[] = {
      {0, 1, 0, 1, 2},  // hidden window, confirmation, no solver window
      {0, 1, 1, 0, 2},
      {0, 0, 0, 0, 0},
      {1, 1, 0, 0, 2},
  };
  for (const Case& c : cases) {
    tk = ScriptedToolkit{};
    view = RecordingView{};
    pleaseWait = RecordingPleaseWait{};
    Switches s;
    s.showWindow = c.showWindow;
    s.confirmSteps = c.confirmSteps;
    s.runMsgMode = c.runMsgMode;
    Files(s, "A x 1000 3\r\n", "A x 8000 5\r\n");
    tk.answers = {BoxResult::Ok};
    BatchController& app = RunToTheEnd();
    const std::string name = std::to_string(c.showWindow) + std::to_string(c.confirmSteps) +
                             std::to_string(c.runMsgMode);
    EXPECT_EQ(pleaseWait.shows, c.waitShows) << name;
    EXPECT_EQ(pleaseWait.closes, c.waitShows) << name;
    EXPECT_EQ(tk.boxes.size(), c.boxes) << name;
    EXPECT_EQ(view.hidden, c.showWindow == 0) << name;
    EXPECT_EQ(view.memo.empty(), c.showWindow == 0) << name;
    EXPECT_EQ(view.waitLabels.empty(), c.showWindow == 0) << name;
    // A hidden window closes by itself; a shown one waits for the operator.
    EXPECT_EQ(view.closed, c.showWindow == 0) << name;
    EXPECT_EQ(view.closeEnabled, c.showWindow == 1) << name;
    EXPECT_EQ(view.caption.empty(), c.showWindow == 0) << name;
    EXPECT_EQ(app.Status(), kExitOk) << name;
  }
}

TEST_F(BatchControllerTest, TheOrderFromTheCommandLineAndTheStockFromTheDialog) {
  Switches s;
  s.askInputFiles = 1;
  Files(s, "", "");
  WriteFile("my_orders.txt", std::string(kOrderHeader) + "A x 1000 3\r\n");
  WriteFile("bars.txt", "h\r\nA x 8000 5\r\n");
  tk.fileAnswers = {std::string("bars.txt")};
  tk.answers = {BoxResult::Ok};
  // A name in the current directory loses its directory.
  RunToTheEnd({(fs::current_path() / "my_orders.txt").string()});
  ASSERT_EQ(tk.fileDialogs.size(), 1u);
  EXPECT_EQ(tk.fileDialogs[0].title, "QM5R.exe:  Choose input file to process: Stock input files");
  EXPECT_EQ(tk.fileDialogs[0].filter, "Stock input files *.txt|*.txt");
  ASSERT_EQ(tk.boxes.size(), 2u);
  EXPECT_EQ(tk.boxes[0].text, "Process files: \rmy_orders.txt\rbars.txt\rQM_OptSet.txt ?");
  EXPECT_EQ(tk.boxes[1].text, "Report:  my_Report.txt");
}

TEST_F(BatchControllerTest, ACancelledOrderDialogEndsTheRunWithoutMessage) {
  Switches s;
  s.askInputFiles = 1;
  Files(s, "A x 1000 3\r\n", "A x 8000 5\r\n");
  BatchController& app = RunToTheEnd();
  ASSERT_EQ(tk.fileDialogs.size(), 1u);
  EXPECT_EQ(tk.fileDialogs[0].title, "QM5R.exe:  Choose input file to process: Order input files");
  EXPECT_EQ(tk.fileDialogs[0].filter, "Order input files *.txt|*.txt");
  EXPECT_TRUE(tk.boxes.empty());
  EXPECT_EQ(ReadFile("QM^ErrLog.txt"), "END");
  EXPECT_EQ(app.Status(), kExitCancelled);
}

TEST_F(BatchControllerTest, LabelPrintingNeedsAYes) {
  for (const BoxResult answer : {BoxResult::No, BoxResult::Yes}) {
    tk = ScriptedToolkit{};
    Switches s;
    s.printLabels = 2;
    Files(s, "A x 1000 3\r\n", "A x 8000 5\r\n");
    tk.answers = {BoxResult::Ok, answer};
    const size_t jobsBefore = printer.Jobs().size();
    RunToTheEnd();
    ASSERT_GE(tk.boxes.size(), 2u);
    EXPECT_EQ(tk.boxes[1].kind, BoxKind::Confirmation);
    EXPECT_EQ(tk.boxes[1].buttons, BoxButtons::YesNo);
    EXPECT_EQ(tk.boxes[1].text, "Confirm Label Printing");
    EXPECT_EQ(printer.Jobs().size() - jobsBefore, answer == BoxResult::Yes ? 1u : 0u);
  }
}

// Records what the batch hands to the layouts file; fails on a material
// when asked to.
class RecordingLayouts final : public LayoutsWriter {
 public:
  RecordingLayouts(std::vector<std::string>& log, std::string failOn)
      : log_(log), failOn_(std::move(failOn)) {}
  bool Add(const plan::PlanRun&, const plan::MaterialPlan& material) override {
    log_.push_back(material.materialKey + (material.Solved() ? "" : " (failed)"));
    return material.materialKey != failOn_;
  }
  bool Finish() override {
    log_.push_back("finish");
    return true;
  }
  std::string Error() const override { return log_.empty() ? "" : "disk full"; }

 private:
  std::vector<std::string>& log_;
  std::string failOn_;
};

class LayoutsTest : public BatchControllerTest {
 protected:
  // A run of three materials (the second without stock) into a recording
  // layouts writer that fails on `failOn`; returns what the writer saw.
  std::vector<std::string> RunWithLayouts(const std::string& failOn) {
    Switches s;
    s.layoutsFile = 1;
    Files(s, "A x 1000 3\r\nN o 500 1\r\nB y 700 2\r\n", "A x 8000 5\r\nB y 3000 1\r\n");
    tk.answers = {BoxResult::Ok};
    std::vector<std::string> log;
    prepare = [&log, failOn](BatchController& app) {
      app.SetLayoutsWriterFactory([&log, failOn](const std::string& path) {
        EXPECT_EQ(path, "QM_Layouts.pdf");
        return std::make_unique<RecordingLayouts>(log, failOn);
      });
    };
    status = RunToTheEnd().Status();
    return log;
  }
  // A run asking for the layouts file without a way to draw it.
  void RunWithoutDrawing(bool bySettings, bool byCommandLine) {
    Switches s;
    s.layoutsFile = bySettings ? 1 : 0;
    s.planFile = 1;
    Files(s, "A x 1000 3\r\n", "A x 8000 5\r\n");
    tk.answers = {BoxResult::Ok};
    prepare = [byCommandLine](BatchController& app) { app.Configure({.layouts = byCommandLine}); };
    status = RunToTheEnd().Status();
  }
  ExitStatus status = kExitOk;
};

TEST_F(LayoutsTest, EveryMaterialReachesTheLayoutsFileWhichIsFinishedOnce) {
  const std::vector<std::string> expected = {"A x", "N o (failed)", "B y", "finish"};
  EXPECT_EQ(RunWithLayouts(""), expected);
  EXPECT_EQ(status, kExitOk);
}

TEST_F(LayoutsTest, AFailingLayoutsFileEndsTheRunAndIsStillFinished) {
  const std::vector<std::string> expected = {"A x", "finish"};
  EXPECT_EQ(RunWithLayouts("A x"), expected);
  EXPECT_EQ(status, kExitError);
  EXPECT_NE(ReadFile("QM^ErrLog.txt").find("Error writing Layouts file: \r\ndisk full"),
            std::string::npos);
}

TEST_F(LayoutsTest, NoDrawingEndsTheRunBeforeAnyOutputWhenTheSettingsAskForLayouts) {
  RunWithoutDrawing(true, false);
  EXPECT_EQ(status, kExitError);
  EXPECT_NE(ReadFile("QM^ErrLog.txt").find("cannot draw layout diagrams"), std::string::npos);
  EXPECT_FALSE(fs::exists("QM_Report.txt"));
  EXPECT_FALSE(fs::exists("QM_Plan.json"));
}

TEST_F(LayoutsTest, NoDrawingEndsTheRunWhenTheCommandLineAsksForLayouts) {
  RunWithoutDrawing(false, true);
  EXPECT_EQ(status, kExitError);
  EXPECT_NE(ReadFile("QM^ErrLog.txt").find("cannot draw layout diagrams"), std::string::npos);
  EXPECT_FALSE(fs::exists("QM_Plan.json"));
}

// Memory that runs out: the allocation that fails is simulated by a
// layouts file whose drawing throws std::bad_alloc, inside a material's
// step or while the outputs are opened.
class ThrowingLayouts final : public LayoutsWriter {
 public:
  explicit ThrowingLayouts(std::string failOn) : failOn_(std::move(failOn)) {}
  bool Add(const plan::PlanRun&, const plan::MaterialPlan& material) override {
    if (material.materialKey == failOn_) throw std::bad_alloc();
    return true;
  }
  bool Finish() override { return true; }
  std::string Error() const override { return ""; }

 private:
  std::string failOn_;
};

struct MemoryCase {
  const char* what;
  const char* failOn;   // the material whose drawing fails; "" the opening
  const char* message;  // as the error log holds it
  bool reportKept;      // a material was finished before
};

class OutOfMemoryTest : public BatchControllerTest,
                        public ::testing::WithParamInterface<MemoryCase> {};

TEST_P(OutOfMemoryTest, EndsTheRunAsAnErrorWithItsLogsAndOutputsClosed) {
  const MemoryCase& c = GetParam();
  Switches s;
  s.layoutsFile = 1;
  s.showMessages = 0;
  Files(s, "A x 1000 3\r\nB y 700 2\r\n", "A x 8000 5\r\nB y 3000 1\r\n");
  tk.answers = {BoxResult::Ok};
  const std::string failOn = c.failOn;
  prepare = [failOn](BatchController& app) {
    app.SetLayoutsWriterFactory([failOn](const std::string&) -> std::unique_ptr<LayoutsWriter> {
      if (failOn.empty()) throw std::bad_alloc();
      return std::make_unique<ThrowingLayouts>(failOn);
    });
  };
  BatchController& app = Start();
  EXPECT_TRUE(tk.Terminating());
  EXPECT_EQ(app.Status(), kExitError);
  app.OnWindowClosed();
  EXPECT_EQ(ReadFile("QM^ErrLog.txt"), std::string(c.message) + "\r\n\r\nEND");
  EXPECT_EQ(ReadFile("QM^WrnLog.txt"), "END");
  EXPECT_EQ(fs::exists("QM_Report.txt"), c.reportKept);
  EXPECT_FALSE(fs::exists("QM_Report.txt.tmp"));
  if (c.reportKept) {
    EXPECT_NE(ReadFile("QM_Report.txt").find("A x"), std::string::npos);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Where, OutOfMemoryTest,
    ::testing::Values(
        MemoryCase{"SecondMaterial", "B y", "Not enough memory\r\nMater/Sect: B y", true},
        MemoryCase{"FirstMaterial", "A x", "Not enough memory\r\nMater/Sect: A x", false},
        MemoryCase{"OpeningTheOutputs", "", "Not enough memory", false}),
    [](const ::testing::TestParamInfo<MemoryCase>& info) { return std::string(info.param.what); });

}  // namespace
}  // namespace tarvolin
