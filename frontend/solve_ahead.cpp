#include "solve_ahead.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <exception>
#include <new>

#include "order_input.h"
#include "stock_input.h"

namespace tarvolin {
namespace {

constexpr auto kPoll = std::chrono::milliseconds(50);

// The toolkit of the silent reading: no box is shown (every one answered
// Cancel, as once termination was asked), nothing is pumped.
class SilentToolkit final : public Toolkit {
 public:
  explicit SilentToolkit(char decimalSeparator) : separator_(decimalSeparator) {}
  BoxResult ShowBox(BoxKind, std::string_view, BoxButtons) override { return BoxResult::Cancel; }
  std::optional<std::string> OpenFileDialog(const FileDialogRequest&) override { return {}; }
  void ProcessMessages() override {}
  bool Terminating() const override { return terminating_; }
  void Terminate() override { terminating_ = true; }
  void SetTitle(std::string_view) override {}
  std::string Title() const override { return {}; }
  char DecimalSeparator() const override { return separator_; }
  std::string ShortDateToday() const override { return {}; }
  int64_t Milliseconds() const override { return 0; }

 private:
  char separator_;
  bool terminating_ = false;
};

// A copy of what the readers take from the run: settings, files and their
// loaded contents. Its logs are never opened, so nothing it logs is kept.
std::unique_ptr<RunState> SilentCopy(const RunState& run) {
  auto copy = std::make_unique<RunState>();
  copy->banner = run.banner;
  copy->init = run.init;
  copy->opt = run.opt;
  copy->format = run.format;
  copy->configFile = run.configFile;
  copy->optSetFile = run.optSetFile;
  copy->orderFile = run.orderFile;
  copy->stockFile = run.stockFile;
  copy->inputExtension = run.inputExtension;
  copy->inputs = run.inputs;
  copy->remnants = run.remnants;
  copy->init.showMessages = false;
  return copy;
}

bool SameStock(const TarvolinStockGroup& a, const TarvolinStockGroup& b) {
  return a.length == b.length && a.cost == b.cost && a.quantity == b.quantity;
}

bool SamePart(const TarvolinPartGroup& a, const TarvolinPartGroup& b) {
  return a.length == b.length && a.markId == b.markId && a.quantity == b.quantity;
}

// The settings that decide the plan: all but how progress and errors show.
bool SamePlanSettings(TarvolinSettings a, TarvolinSettings b) {
  static_assert(sizeof(TarvolinSettings) % sizeof(int32_t) == 0);
  a.progressMode = b.progressMode = 0;
  a.showErrorBoxes = b.showErrorBoxes = 0;
  return std::memcmp(&a, &b, sizeof a) == 0;
}

}  // namespace

bool SameProblem(const TarvolinProblem& a, const TarvolinProblem& b) {
  if (a.stockGroupCount != b.stockGroupCount || a.partGroupCount != b.partGroupCount) return false;
  for (int g = 1; g <= a.stockGroupCount && g <= TARVOLIN_MAX_STOCK_GROUPS; ++g)
    if (!SameStock(a.stockGroups[g], b.stockGroups[g])) return false;
  for (int g = 1; g <= a.partGroupCount && g <= TARVOLIN_MAX_PART_GROUPS; ++g)
    if (!SamePart(a.partGroups[g], b.partGroups[g])) return false;
  return true;
}

SolveAhead::~SolveAhead() {
  Stop();
}

void SolveAhead::Start(const RunState& run) {
  if (jobs_ < 2) return;
  // Without the memory or the threads to solve ahead the batch solves every
  // material itself, as with one job.
  try {
    ReadAndStart(run);
  } catch (const std::exception&) {
    Stop();
    std::lock_guard lock(mutex_);
    queue_.clear();
  }
}

void SolveAhead::ReadAndStart(const RunState& run) {
  // The passes as the batch loop makes them; the silent reading stops
  // where the real one would end the run or find no more material.
  const std::unique_ptr<RunState> copy = SilentCopy(run);
  SilentToolkit toolkit(run.format.decimalSeparator);
  const TarvolinSettings settings =
      BuildSolverSettings(run.opt, /*progressWindowMode=*/0, /*showErrorBoxes=*/false);
  for (int pass = 1; !toolkit.Terminating(); ++pass) {
    StartMaterialPass(*copy);
    const bool orderRead = ReadOrderPass(*copy, toolkit);
    MaterialPass& p = copy->pass;
    if (!orderRead) {
      if (!p.hasMaterial || toolkit.Terminating()) break;
      continue;
    }
    if (p.partGroupCount == 0) break;
    if (p.partLengthSum == 0) continue;
    if (!ReadStockPass(*copy, toolkit)) {
      if (toolkit.Terminating()) break;
      continue;
    }
    if (p.stockGroupCount == 0 || p.stockLengthSum == 0 || p.beyondSearch) continue;
    Job job;
    job.pass = pass;
    job.settings = settings;
    job.problem = std::make_unique<TarvolinProblem>(BuildSolverProblem(p));
    PreferRemnants(p, copy->opt, job.settings, *job.problem);
    queue_.push_back(std::move(job));
  }
  if (queue_.empty()) return;
  const int workers = std::min<int>(jobs_, static_cast<int>(queue_.size()));
  for (int w = 0; w < workers; ++w) {
    SolverContext context{TarvolinCreateContext()};
    if (!context) break;
    contexts_.push_back(std::move(context));
    // Counted under the lock the worker needs to end, so that a worker
    // that could not be started is never waited for.
    std::lock_guard lock(mutex_);
    workers_.emplace_back(&SolveAhead::Work, this, contexts_.back().get());
    ++active_;
  }
}

void SolveAhead::Work(TarvolinContext* context) {
  for (;;) {
    Job* job = nullptr;
    {
      std::lock_guard lock(mutex_);
      if (stopping_ || next_ >= queue_.size()) {
        --active_;
        changed_.notify_all();
        return;
      }
      job = &queue_[next_++];
    }
    AheadSolve solve;
    bool failed = false;
    const auto start = std::chrono::steady_clock::now();
    try {
      solve.error = CallSolver(context, nullptr, job->settings, *job->problem, solve.results);
      solve.cutMoreByExactMethod =
          solve.error == 0 &&
          CutMoreByExactMethod(context, nullptr, job->settings, *job->problem, solve.results);
    } catch (const std::bad_alloc&) {
      failed = true;  // the batch solves it itself and meets the failure there
    }
    solve.milliseconds =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    std::lock_guard lock(mutex_);
    job->solve = std::move(solve);
    job->failed = failed;
    job->done = true;
    changed_.notify_all();
  }
}

std::optional<AheadSolve> SolveAhead::Take(int pass, const TarvolinSettings& settings,
                                           const TarvolinProblem& problem,
                                           const std::function<bool()>& interrupted) {
  std::unique_lock lock(mutex_);
  for (Job& job : queue_) {
    if (job.pass != pass) continue;
    if (!SamePlanSettings(job.settings, settings) || !SameProblem(*job.problem, problem))
      return std::nullopt;
    // An interruption stops every solve; the one waited for ends with its
    // best plan, as a solve stopped by the operator does.
    while (!job.done) {
      changed_.wait_for(lock, kPoll);
      if (job.done) break;
      lock.unlock();
      const bool stop = stopping_ || (interrupted && interrupted());
      if (stop) {
        stopping_ = true;
        for (const SolverContext& c : contexts_) TarvolinRequestAbort(c.get());
      }
      lock.lock();
      if (!job.done && next_ <= static_cast<size_t>(&job - queue_.data()) && stopping_)
        return std::nullopt;  // never started: nothing to wait for
    }
    if (job.failed) return std::nullopt;
    return std::move(job.solve);
  }
  return std::nullopt;
}

void SolveAhead::Stop() {
  std::unique_lock lock(mutex_);
  stopping_ = true;
  changed_.notify_all();
  // A solve that is just starting may clear a request made before it: ask
  // again until every worker has ended.
  while (active_ > 0) {
    lock.unlock();
    for (const SolverContext& c : contexts_) TarvolinRequestAbort(c.get());
    lock.lock();
    changed_.wait_for(lock, kPoll, [&] { return active_ == 0; });
  }
  lock.unlock();
  for (std::thread& w : workers_) w.join();
  workers_.clear();
}

}  // namespace tarvolin
