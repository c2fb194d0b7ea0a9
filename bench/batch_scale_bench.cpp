// Whole batch runs on large materials, with time and memory.
//
//   batch_scale_bench                 runs every case, each in a process of its own
//   batch_scale_bench CASE [planner [report]]  runs one case in this process;
//                                     "report": the report only, no labels
//                                     and no plan file
//
// Cases (fixed seeds):
//   shop3000     3,000 pieces of 200 lengths (300.00 to 2,500.00), 5 stock
//                lengths of limited quantity, kerf 3, end zone 10: reading,
//                planning and every output (report, labels, JSON plan);
//   pieces100k   100,000 pieces of 2,000 lengths on the same stock, the same
//                outputs;
//   largest      1,000,000 pieces of 10,000 lengths on 1,000 stock lines
//                (about 0.4 MiB of input): the readers at the exact
//                method's limits. Planned with "none", which cuts nothing,
//                it measures the reading and the outputs of the ordered
//                pieces (the plan file lists all of them).
// Planner: "exact" (the exact method alone, as the batch calls it for a
// material beyond the search's limits) or "standin" (next fit, longest
// first: planning takes no time, so what is measured is the reading, the
// conversion of the plan and the outputs) or "none". Without a planner
// named, the first two.
//
// Reported per run: wall time of the whole batch, the planner's own share,
// the solver's status, the size of the outputs and the peak resident memory
// of the process.
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "batch_controller.h"
#include "next_fit_planner.h"
#include "scripted_toolkit.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

struct Case {
  const char* name;
  int pieces;
  int lengths;
  unsigned seed;
};

constexpr Case kCases[] = {{"shop3000", 3000, 200, 3000},
                           {"pieces100k", 100000, 2000, 100000},
                           {"largest", 1000000, 10000, 7}};

class QuietView final : public tarvolin::ProcessView {
 public:
  void SetCaption(std::string_view) override {}
  void SetWaitLabel(std::string_view, uint32_t) override {}
  void AddMemoLine(std::string_view line) override {
    if (line.starts_with("ALU")) last = line;
  }
  void ReplaceLastMemoLine(std::string_view line) override {
    if (line.starts_with("ALU")) last = line;
  }
  int MemoFontPoints() const override { return 10; }
  void Widen(int) override {}
  void HideAndBringToFront() override {}
  void EnableCloseButton() override {}
  void CloseWindow() override {}
  std::string last;
};

class NoWait final : public tarvolin::PleaseWaitView {
 public:
  void Show() override {}
  void Close() override {}
};

void Write(const fs::path& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

// Pieces of `lengths` distinct lengths whose quantities add up to `pieces`;
// stock of five lengths with room for about 1.3 times the pieces.
void WriteInputs(const Case& c, bool allOutputs) {
  std::mt19937 random(c.seed);
  std::uniform_int_distribution<int> length(30000, 250000);
  std::vector<int> lengths;
  while (static_cast<int>(lengths.size()) < c.lengths) {
    const int l = length(random) / 10 * 10;
    if (std::find(lengths.begin(), lengths.end(), l) == lengths.end()) lengths.push_back(l);
  }
  std::vector<int> quantity(c.lengths, 1);
  std::uniform_int_distribution<int> line(0, c.lengths - 1);
  for (int left = c.pieces - c.lengths; left > 0; --left) ++quantity[line(random)];
  std::ostringstream orders;
  orders << "Material Profile Length Qty Mark\r\n";
  int64_t total = 0;
  for (int i = 0; i < c.lengths; ++i) {
    orders << "ALU 40x40 " << lengths[i] / 100 << "." << (lengths[i] % 100) / 10 << "0 "
           << quantity[i] << " P" << i + 1 << "\r\n";
    total += int64_t{lengths[i]} * quantity[i];
  }
  Write("QM_Orders.txt", orders.str());
  // Five stock lengths; the largest case has a thousand stock lines.
  std::vector<int> stockLengths = {400000, 500000, 600000, 650000, 700000};
  if (c.lengths > 2000) {
    stockLengths.clear();
    for (int i = 0; i < 1000; ++i) stockLengths.push_back(400000 + 300 * i);
  }
  std::ostringstream stocks;
  stocks << "Material Profile Length Qty Cost\r\n";
  const auto lines = static_cast<int64_t>(stockLengths.size());
  for (const int s : stockLengths) {
    const int64_t bars = total * 13 / 10 / lines / s + 1;
    stocks << "ALU 40x40 " << s / 100 << " " << std::min<int64_t>(bars, 32767) << " " << s / 10000
           << "\r\n";
  }
  Write("QM_Stocks.txt", stocks.str());
  // No boxes, no progress window; labels file and plan file on unless only
  // the report is asked for.
  const int more = allOutputs ? 1 : 0;
  const int config[22] = {1, 0, 0,    0,  0, 0,    0, 1, 1, 1, 0,
                          0, 0, more, 18, 8, more, 0, 0, 0, 0, 555};
  std::string text;
  for (const int v : config) text += std::to_string(v) + "\r\n";
  Write("QM_Config.txt", text);
  // The exact method, kerf 3.00, end zone 10.00, 10 seconds.
  Write(
      "QM_OptSet.txt",
      "0\r\n0\r\n0\r\n1\r\n5\r\n0\r\n0\r\n0\r\n3\r\n10\r\n1\r\n0\r\n0\r\n1\r\n10\r\n0\r\n555\r\n");
}

double PeakMiB(const rusage& usage) {
  return static_cast<double>(usage.ru_maxrss) / 1024.0;
}

enum class Planner { kStandIn, kExact, kNone };
constexpr const char* kPlannerNames[] = {"standin", "exact", "none"};

int RunCase(const Case& c, Planner planner, bool allOutputs) {
  const fs::path dir = fs::temp_directory_path() / ("tarvolin-scale-" + std::to_string(getpid()));
  fs::create_directories(dir);
  fs::current_path(dir);
  WriteInputs(c, allOutputs);
  const auto inputBytes = fs::file_size("QM_Orders.txt") + fs::file_size("QM_Stocks.txt");

  tarvolin::ScriptedToolkit toolkit;
  QuietView view;
  NoWait wait;
  tarvolin::BatchController app(toolkit, view, wait, nullptr, {});
  double planMs = 0;
  tarvolin::LargeOutcome outcome;
  app.SetLargePlanner(
      [&](const tarvolin::MaterialPlan& plan, const tarvolin::OptimizerSettings& settings,
          const tarvolin::LargeProgressFn& progress, tarvolin::SolverResults& results) {
        const auto start = Clock::now();
        switch (planner) {
          case Planner::kStandIn:
            outcome = tarvolin::test_support::NextFitPlan(plan, settings, progress, results);
            break;
          case Planner::kExact:
            outcome = tarvolin::SolveLargeMaterial(plan, settings, progress, results);
            break;
          case Planner::kNone:
            outcome = {};
            tarvolin::FillResultsFromPatterns(plan, {}, results);
            break;
        }
        planMs = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
        return outcome;
      });
  const auto start = Clock::now();
  app.OnStartUp();
  app.OnFirstPaint();
  app.OnWindowClosed();
  const double totalMs = std::chrono::duration<double, std::milli>(Clock::now() - start).count();

  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  // A failed material leaves no outputs.
  uintmax_t outputBytes = 0;
  for (const char* output : {"QM_Report.txt", "QM_Labels.txt", "QM_Plan.json"})
    if (fs::exists(output)) outputBytes += fs::file_size(output);
  std::printf(
      "%-10s %-7s %-6s %8.0f ms total %8.0f ms planning  error %3d  input %6.1f MiB  "
      "outputs %6.1f MiB  peak %6.1f MiB  %s\n",
      c.name, kPlannerNames[static_cast<int>(planner)], allOutputs ? "all" : "report", totalMs,
      planMs, outcome.error, static_cast<double>(inputBytes) / (1 << 20),
      static_cast<double>(outputBytes) / (1 << 20), PeakMiB(usage),
      outcome.message.empty() ? view.last.c_str() : outcome.message.c_str());
  fs::current_path(fs::temp_directory_path());
  fs::remove_all(dir);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc >= 2) {
    for (const Case& c : kCases) {
      if (std::string(argv[1]) != c.name) continue;
      // A third argument "report" leaves out the labels and the plan file.
      const bool all = argc < 4 || std::string(argv[3]) != "report";
      for (const Planner p : {Planner::kStandIn, Planner::kExact, Planner::kNone}) {
        const bool named = argc >= 3 && argv[2] == std::string(kPlannerNames[static_cast<int>(p)]);
        if (named || (argc < 3 && p != Planner::kNone)) RunCase(c, p, all);
      }
      return 0;
    }
    std::fprintf(stderr, "unknown case %s\n", argv[1]);
    return 2;
  }
  // Each run in a process of its own, so that its peak memory is its own.
  for (const Case& c : kCases) {
    const bool largest = std::string(c.name) == "largest";
    for (const char* planner : {"standin", "exact", "none"}) {
      if (largest != (std::string(planner) == "none")) continue;
      const pid_t pid = fork();
      if (pid == 0) {
        execl("/proc/self/exe", argv[0], c.name, planner, static_cast<char*>(nullptr));
        _exit(127);
      }
      int status = 0;
      waitpid(pid, &status, 0);
    }
  }
  return 0;
}
