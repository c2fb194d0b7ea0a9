// Solving a run's materials ahead, several at once. Before the batch loop
// starts, the materials are read once more on a silent copy of the run
// (no logs, no boxes), and those the layout search and the struct call plan
// are solved on worker threads, each with a solver context of its own. The
// batch loop then reads, checks, logs and writes every material exactly as
// it always does, in the same order; only where it would call the solver it
// takes the plan solved ahead for that very problem. So the outputs are
// those of a run with one job, except the calculation times (and plans that
// a time limit cut short, which may differ between any two runs).
#pragma once

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "run_state.h"
#include "solver_call.h"

namespace tarvolin {

// The solve of one material done ahead.
struct AheadSolve {
  int32_t error = 0;
  SolverResults results;
  bool cutMoreByExactMethod = false;  // the exact method's check replaced the search's plan
  double milliseconds = 0;            // the solve's own time
};

class SolveAhead {
 public:
  // jobs: solves at once (2 or more; fewer solves nothing ahead).
  explicit SolveAhead(int jobs) : jobs_(jobs) {}
  ~SolveAhead();
  SolveAhead(const SolveAhead&) = delete;
  SolveAhead& operator=(const SolveAhead&) = delete;

  // Reads the run's materials as the batch loop will and starts their
  // solves. The run's settings and loaded inputs must be ready.
  void Start(const RunState& run);

  // The solve of the material of the `pass`-th pass (from 1), when it was
  // solved ahead for exactly these settings and this problem: waits for it,
  // asking `interrupted` now and then; once it says yes every solve is
  // asked to stop, and the one waited for comes back with its best plan.
  // Empty when nothing was solved ahead for it; the batch then calls the
  // solver itself.
  std::optional<AheadSolve> Take(int pass, const TarvolinSettings& settings,
                                 const TarvolinProblem& problem,
                                 const std::function<bool()>& interrupted);

  // Asks the running solves to stop and waits for the workers; their plans
  // are not used. The destructor does it too.
  void Stop();

 private:
  struct Job {
    int pass = 0;
    TarvolinSettings settings{};
    std::unique_ptr<TarvolinProblem> problem;
    bool done = false;
    bool failed = false;  // the worker could not solve it (e.g. out of memory)
    AheadSolve solve;
  };
  void ReadAndStart(const RunState& run);
  void Work(TarvolinContext* context);

  int jobs_;
  std::vector<Job> queue_;
  size_t next_ = 0;  // the next job a worker takes
  bool stopping_ = false;
  int active_ = 0;  // workers that have not ended
  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<SolverContext> contexts_;
  std::vector<std::thread> workers_;
};

// Whether two problems are the same, group for group.
bool SameProblem(const TarvolinProblem& a, const TarvolinProblem& b);

}  // namespace tarvolin
