// Materials beyond the layout search's limits under the exact method: the
// batch hands them to the planner of large materials (a stand-in here), shows
// its progress and writes every output for them.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "batch_controller.h"
#include "frontend_fixture.h"
#include "next_fit_planner.h"

namespace tarvolin {
namespace {

namespace fs = std::filesystem;
using test_support::ReadFile;
using test_support::WriteFile;

class SilentView final : public ProcessView {
 public:
  void SetCaption(std::string_view) override {}
  void SetWaitLabel(std::string_view, uint32_t) override {}
  void AddMemoLine(std::string_view line) override { memo.emplace_back(line); }
  void ReplaceLastMemoLine(std::string_view line) override { memo.back() = std::string(line); }
  int MemoFontPoints() const override { return 9; }
  void Widen(int) override {}
  void HideAndBringToFront() override {}
  void EnableCloseButton() override {}
  void CloseWindow() override {}
  std::vector<std::string> memo;
};

class NoPleaseWait final : public PleaseWaitView {
 public:
  void Show() override {}
  void Close() override {}
};

// The solver's progress window as the batch drives it for a large material.
class RecordingProgress final : public solver::SolverView, public PlanProgressView {
 public:
  void ShowErrorBox(const char*) override {}
  void ShowInfoBox(const char*) override {}
  void OpenProgress(bool) override { ++searchWindows; }
  void CloseProgress() override {}
  void SetMultiPosition(int) override {}
  void SetPackPosition(int) override {}
  void SetTimeText(const char*) override {}
  void SetBestTexts(const char*, const char*) override {}
  void SetBestColour(int32_t) override {}
  void Repaint() override {}
  void PumpMessages() override {}

  void OpenPlanProgress(bool stopOffered) override {
    events.push_back(stopOffered ? "open esc" : "open");
  }
  void ShowPlanProgress(const PlanProgressTexts& t) override {
    events.push_back("show " + std::to_string(t.position) + " " + t.time + " [" + t.bound + "] [" +
                     t.best + "]");
  }
  bool PlanStopRequested() override { return stop; }
  void ClosePlanProgress() override { events.push_back("close"); }

  std::vector<std::string> events;
  int searchWindows = 0;
  bool stop = false;
};

// Config lines 1..22: the progress window mode on line 5, the plan file on
// line 14, the labels file on line 17.
std::string Config(int progressMode) {
  const int values[22] = {1, 0, 0, 1, progressMode, 0, 0, 1, 1, 1, 0, 0, 0, 1, 18, 8, 1,
                          0, 0, 0, 0, 555};
  std::string text;
  for (const int v : values) text += std::to_string(v) + "\r\n";
  return text;
}

// Optimizer settings with the method on line 14 and its time limit on 15.
std::string OptSet(int method) {
  return "0\r\n0\r\n0\r\n1\r\n2\r\n0\r\n0\r\n0\r\n0\r\n0\r\n1\r\n0\r\n0\r\n" +
         std::to_string(method) + "\r\n1\r\n0\r\n555\r\n";
}

// Order lines of one material, line i for pieces of 1000.00 + 10.00 * i.
std::string Orders(int lines, int quantity) {
  std::string text = "Material Profile Length Qty Mark\r\n";
  for (int i = 1; i <= lines; ++i)
    text += "ALU 20x20 " + std::to_string(1000 + 10 * i) + " " + std::to_string(quantity) + " M" +
            std::to_string(i) + "\r\n";
  return text;
}

class LargeMaterialTest : public ::testing::Test {
 protected:
  void SetUp() override {
    previous_ = fs::current_path();
    std::string pattern = (fs::temp_directory_path() / "tarvolin-large-XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    dir_ = pattern;
    fs::current_path(dir_);
  }
  void TearDown() override {
    app_.reset();
    fs::current_path(previous_);
    fs::remove_all(dir_);
  }

  BatchController& Run(int method, int progressMode, const std::string& orders) {
    WriteFile("QM_Config.txt", Config(progressMode));
    WriteFile("QM_OptSet.txt", OptSet(method));
    WriteFile("QM_Orders.txt", orders);
    WriteFile("QM_Stocks.txt", "Material Profile Length Qty\r\nALU 20x20 6000 500\r\n");
    // Each run ends the program: it gets a toolkit of its own.
    app_.reset();
    tk = std::make_unique<ScriptedToolkit>();
    view.memo.clear();
    app_ = std::make_unique<BatchController>(*tk, view, pleaseWait, nullptr,
                                             std::vector<std::string>{}, &progress);
    app_->SetLargePlanner([this](const MaterialPlan& plan, const OptimizerSettings& settings,
                                 const LargeProgressFn& fn, SolverResults& results) {
      ++largePlans;
      if (duringPlan) duringPlan(fn);
      return test_support::NextFitPlan(plan, settings, fn, results);
    });
    app_->Run(BatchOptions{});
    return *app_;
  }

  std::unique_ptr<ScriptedToolkit> tk;
  SilentView view;
  NoPleaseWait pleaseWait;
  RecordingProgress progress;
  int largePlans = 0;
  std::function<void(const LargeProgressFn&)> duringPlan;
  fs::path dir_;

 private:
  std::unique_ptr<BatchController> app_;
  fs::path previous_;
};

TEST_F(LargeMaterialTest, TheExactMethodTakesAMaterialBeyondTheSearchsLimits) {
  BatchController& app = Run(1, 1, Orders(25, 2));
  EXPECT_EQ(app.Status(), kExitOk);
  EXPECT_EQ(largePlans, 1);
  EXPECT_EQ(progress.searchWindows, 0);
  EXPECT_EQ(ReadFile("QM^ErrLog.txt"), "END");
  ASSERT_EQ(view.memo.size(), 3u);
  // 50 pieces of 1010.00 to 1250.00 (56500.00 in all): the bar-demand
  // bound offers 15 bars of 6000.00, next fit longest first uses 11.
  EXPECT_EQ(view.memo[1].substr(18), "    50    25        15     1      50    11     85.606%");

  // One report row per pattern; its bars counted in the multiplicity.
  const std::string report = ReadFile("QM_Report.txt");
  EXPECT_NE(report.find("Part Total Number:          50\r\n"), std::string::npos) << report;
  EXPECT_NE(report.find("Stock Number used:          11\r\n"), std::string::npos);
  EXPECT_NE(report.find("ALU 20x20            1    1  6000.00  1020.00  1250.00  1250.00 "),
            std::string::npos);

  // A label for every piece, the plan file lists every piece on its bar.
  const std::string labels = ReadFile("QM_Labels.txt");
  size_t count = 0;
  for (size_t at = labels.find("Piece"); at != std::string::npos; at = labels.find("Piece", at + 1))
    ++count;
  EXPECT_EQ(count, 50u);
  const auto plan = nlohmann::json::parse(ReadFile("QM_Plan.json"));
  const auto& material = plan["materials"][0];
  EXPECT_EQ(material["status"], "solved");
  ASSERT_EQ(material["pieces"].size(), 50u);
  for (const auto& piece : material["pieces"]) EXPECT_FALSE(piece["bar"].is_null());
  EXPECT_EQ(material["results"]["bars_used"], 11);
}

TEST_F(LargeMaterialTest, AMaterialWithinTheSearchsLimitsIsNotPlannedApart) {
  const struct {
    const char* what;
    int method;
    std::string orders;
  } cases[] = {
      {"exact method, 20 lines and 100 pieces", 1, Orders(20, 5)},
      {"search, 20 lines", 0, Orders(20, 1)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    largePlans = 0;
    Run(c.method, 1, c.orders);
    EXPECT_EQ(largePlans, 0);
    EXPECT_EQ(progress.searchWindows, 1);
    EXPECT_NE(ReadFile("QM_Report.txt").find("Part Total Number:"), std::string::npos);
    progress.searchWindows = 0;
  }
}

TEST_F(LargeMaterialTest, TheProgressWindowShowsTheTimeAndOffersEscByTheSwitch) {
  const auto report = [](const LargeProgressFn& fn) {
    LargeProgress p;
    p.elapsedMs = 2540;
    fn(p);
    p.elapsedMs = 5000;
    p.bound = 1200000;
    p.best = 1260050;
    fn(p);
  };
  duringPlan = report;
  Run(1, 2, Orders(25, 2));
  // The time limit is one second: the bar is full after it.
  const std::vector<std::string> withEsc = {"open esc", "show 100 2.5 sec [] []",
                                            "show 100 5.0 sec [12000.00] [12600.50]",
                                            "show 0 0.0 sec [] []", "close"};
  EXPECT_EQ(progress.events, withEsc);

  progress.events.clear();
  Run(1, 1, Orders(25, 2));
  ASSERT_FALSE(progress.events.empty());
  EXPECT_EQ(progress.events.front(), "open");

  progress.events.clear();
  Run(1, 0, Orders(25, 2));
  EXPECT_TRUE(progress.events.empty());
}

TEST_F(LargeMaterialTest, EscOrATerminateRequestStopsThePlanning) {
  std::vector<bool> answers;
  duringPlan = [&](const LargeProgressFn& fn) { answers.push_back(fn(LargeProgress{})); };
  progress.stop = true;
  Run(1, 2, Orders(25, 2));
  EXPECT_EQ(answers, std::vector<bool>{true});
  // Stopped with its best plan: the material is written and the batch ends
  // normally.
  EXPECT_NE(ReadFile("QM_Report.txt").find("Part Total Number:"), std::string::npos);

  answers.clear();
  progress.stop = false;
  duringPlan = [&](const LargeProgressFn& fn) {
    answers.push_back(fn(LargeProgress{}));
    tk->Terminate();
    answers.push_back(fn(LargeProgress{}));
  };
  Run(1, 0, Orders(25, 2));
  EXPECT_EQ(answers, (std::vector<bool>{false, true}));
}

}  // namespace
}  // namespace tarvolin
