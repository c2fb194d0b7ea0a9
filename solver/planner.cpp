// The planner: one call for a material of any size. Within the layout
// search's limits it is the struct call (TarvolinSolve) with the same
// settings, its answer arranged by layouts; above them the exact method
// plans alone.
#include "tarvolin/planner.h"

#include <atomic>
#include <chrono>
#include <cmath>
#include <memory>
#include <new>
#include <string>

#include "context.h"
#include "planner_exact.h"
#include "planner_plan.h"
#include "prepare.h"
#include "solve.h"
#include "solver_state.h"
#include "tarvolin/solver.h"

struct TarvolinPlanner {
  std::unique_ptr<TarvolinContext, void (*)(TarvolinContext*)> context{nullptr,
                                                                       TarvolinDestroyContext};
  // Set by a stop request, kept until the call that sees it returns.
  std::atomic<bool> stop = false;
  solver::planner::PlanStore store;
};

namespace solver::planner {
namespace {

// Quantities per group: the 16-bit range of the struct call.
constexpr int32_t kMaxGroupQuantity = TARVOLIN_EXACT_MAX_GROUP_QUANTITY;

constexpr const char* kStoppedText = "stopped on request: the best plan found so far";
// The search reports its progress at most this often.
constexpr double kSearchReportMs = 20;

constexpr const char* kOutOfMemoryText = "not enough memory";
constexpr const char* kTimeLimitText = "the time limit ended the work: the best plan found so far";

double Since(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
      .count();
}

// The call as it runs: where its progress goes and when it started.
struct Call {
  TarvolinPlanner& planner;
  const TarvolinPlannerProblem& problem;
  TarvolinPlannerProgressFn progress;
  void* user;
  std::chrono::steady_clock::time_point start = std::chrono::steady_clock::now();
  double bestObjective = -1;
  int32_t percent = -1;
  double lastSearchReportMs = -kSearchReportMs;
};

void RequestStop(TarvolinPlanner& planner) {
  planner.stop = true;
  if (planner.context != nullptr) TarvolinRequestAbort(planner.context.get());
}

void Report(Call& call, TarvolinPlannerPhase phase, double bound) {
  if (call.progress == nullptr) return;
  const int32_t percent = phase == TARVOLIN_PLANNER_PHASE_SEARCH ? call.percent : -1;
  const TarvolinPlannerProgress figures{phase, static_cast<int64_t>(Since(call.start)),
                                        call.bestObjective, bound, percent};
  if (call.progress(call.user, &figures) != 0 && phase != TARVOLIN_PLANNER_PHASE_DONE) {
    RequestStop(call.planner);
  }
}

// ---- Settings ----

// The settings as the struct call takes them. Its progress window with Esc
// (mode 2) is the planner's own: through it the search hears the stop
// request and reports its progress; the plan does not depend on it. A
// limit on different stock groups above the search's table size cannot
// bind there and reads as that size.
TarvolinSettings StructSettings(const TarvolinPlannerSettings& s) {
  TarvolinSettings t{};
  t.costMode = s.costMode;
  t.ignoreLast = s.ignoreLast;
  t.effortLevel = s.effortLevel;
  t.reduceLayouts = s.reduceLayouts;
  t.preferShort = s.preferShort;
  t.maxStockGroups = s.maxStockGroups;
  t.maxDifferentPieces = s.maxDifferentPieces;
  t.bundleSize = s.bundleSize;
  t.minReusable = s.minReusable;
  t.kerf = s.kerf;
  t.endZone = s.endZone;
  t.gripLength = s.gripLength;
  t.timeLimitSeconds = s.timeLimitSeconds;
  t.iterationMultiplier = s.iterationMultiplier;
  t.layoutsByMark = s.layoutsByMark;
  t.progressMode = 2;
  t.maxPiecesPerLayout = s.maxPiecesPerLayout;
  t.showErrorBoxes = 0;
  t.method = s.method;
  t.exactTimeLimitSeconds = s.exactTimeLimitSeconds;
  t.computeBound = s.computeBound;
  t.preferFreeStock = s.preferFreeStock;
  return t;
}

TarvolinSettings SearchSettings(const TarvolinPlannerSettings& s) {
  TarvolinSettings t = StructSettings(s);
  if (t.maxStockGroups > TARVOLIN_MAX_STOCK_GROUPS &&
      t.maxStockGroups <= TARVOLIN_EXACT_MAX_STOCK_GROUPS) {
    t.maxStockGroups = TARVOLIN_MAX_STOCK_GROUPS;
  }
  return t;
}

// ---- Sizes and limits ----

struct Size {
  int64_t bars = 0;
  int64_t pieces = 0;
};

Size SizeOf(const TarvolinPlannerProblem& p) {
  Size size;
  for (int32_t g = 0; g < p.stockGroupCount; ++g)
    size.bars += std::max(p.stockGroups[g].quantity, 0);
  for (int32_t g = 0; g < p.partGroupCount; ++g)
    size.pieces += std::max(p.partGroups[g].quantity, 0);
  return size;
}

// The first limit a material exceeds: its error number and what the
// message says of it.
struct Excess {
  int32_t error = 0;
  const char* what = "";
  int64_t has = 0;
  int64_t limit = 0;
};

Excess FirstExcess(const TarvolinPlannerProblem& p, const Size& size, int64_t partGroups,
                   int64_t stockGroups, int64_t items) {
  if (p.partGroupCount > partGroups) {
    return {TARVOLIN_ERROR_PART_GROUP_COUNT, "part groups", p.partGroupCount, partGroups};
  }
  if (p.stockGroupCount > stockGroups) {
    return {TARVOLIN_ERROR_STOCK_GROUP_COUNT, "stock groups", p.stockGroupCount, stockGroups};
  }
  if (size.pieces > items)
    return {TARVOLIN_ERROR_TOO_MANY_PART_ITEMS, "pieces", size.pieces, items};
  if (size.bars > items) return {TARVOLIN_ERROR_TOO_MANY_STOCK_ITEMS, "bars", size.bars, items};
  return {};
}

Excess SearchExcess(const TarvolinPlannerProblem& p, const Size& size) {
  return FirstExcess(p, size, TARVOLIN_MAX_PART_GROUPS, TARVOLIN_MAX_STOCK_GROUPS,
                     TARVOLIN_MAX_ITEMS);
}

Excess ExactExcess(const TarvolinPlannerProblem& p, const Size& size) {
  return FirstExcess(p, size, TARVOLIN_EXACT_MAX_PART_GROUPS, TARVOLIN_EXACT_MAX_STOCK_GROUPS,
                     TARVOLIN_EXACT_MAX_ITEMS);
}

int64_t ExactLimitOf(const Excess& e) {
  return e.error == TARVOLIN_ERROR_PART_GROUP_COUNT    ? TARVOLIN_EXACT_MAX_PART_GROUPS
         : e.error == TARVOLIN_ERROR_STOCK_GROUP_COUNT ? TARVOLIN_EXACT_MAX_STOCK_GROUPS
                                                       : TARVOLIN_EXACT_MAX_ITEMS;
}

std::string Count(int64_t n) {
  return std::to_string(n);
}

// Method 0, or a bundle, on a material above the search's limits.
std::string SearchLimitText(const Excess& e, bool bundle) {
  if (bundle) {
    return std::string(
               "a stock/cut bundle is planned by the layout search alone, which takes at "
               "most ") +
           Count(e.limit) + " " + e.what + ": this material has " + Count(e.has);
  }
  return std::string("too many ") + e.what + " for the layout search: " + Count(e.has) +
         " (at most " + Count(e.limit) + "); the exact method (method 1) plans up to " +
         Count(ExactLimitOf(e)) + " " + e.what;
}

std::string SizeLimitText(const Excess& e) {
  return std::string("too many ") + e.what + ": " + Count(e.has) + " (at most " + Count(e.limit) +
         ")";
}

// ---- Outcomes ----

TarvolinPlannerStatus Fail(TarvolinPlanner& planner, TarvolinPlannerPlan& plan,
                           TarvolinPlannerStatus status, int32_t error, std::string message) {
  planner.store.message = std::move(message);
  plan.status = status;
  plan.error = error;
  plan.message = planner.store.message.c_str();
  return status;
}

TarvolinPlannerStatus FailNumbered(TarvolinPlanner& planner, TarvolinPlannerPlan& plan,
                                   int32_t error) {
  TarvolinPlannerStatus status = TARVOLIN_PLANNER_INVALID_PROBLEM;
  if (error == TARVOLIN_ERROR_SETTINGS) status = TARVOLIN_PLANNER_INVALID_SETTINGS;
  if (error == TARVOLIN_ERROR_EXACT_NOT_AVAILABLE) status = TARVOLIN_PLANNER_NOT_AVAILABLE;
  if (error == TARVOLIN_ERROR_NULL_ARGUMENT) status = TARVOLIN_PLANNER_INVALID_ARGUMENT;
  if (error > TARVOLIN_ERROR_EXACT_NOT_AVAILABLE && error != TARVOLIN_ERROR_NULL_ARGUMENT) {
    status = TARVOLIN_PLANNER_INTERNAL_ERROR;
  }
  const char* text = TarvolinErrorText(error);
  return Fail(planner, plan, status, error, text != nullptr ? text : "");
}

// A plan's status and message: cut short by the stop request or by the
// time limit, or complete.
TarvolinPlannerStatus Succeed(TarvolinPlanner& planner, TarvolinPlannerPlan& plan, bool cutShort,
                              std::string note) {
  TarvolinPlannerStatus status = TARVOLIN_PLANNER_OK;
  if (planner.stop) {
    status = TARVOLIN_PLANNER_STOPPED;
    note = kStoppedText;
  } else if (cutShort) {
    status = TARVOLIN_PLANNER_TIME_LIMIT;
    note = kTimeLimitText;
  }
  return Fail(planner, plan, status, 0, std::move(note));
}

// ---- Within the search's limits: the struct call ----

// A quantity in the struct call's 16 bits: any negative one stays negative,
// so that the call reports it as it reports every negative quantity (one
// above 32767 never gets here).
int16_t Quantity16(int32_t quantity) {
  return static_cast<int16_t>(quantity < 0 ? -1 : quantity);
}

TarvolinProblem StructProblem(const TarvolinPlannerProblem& p) {
  TarvolinProblem t{};
  t.stockGroupCount = p.stockGroupCount;
  t.partGroupCount = p.partGroupCount;
  for (int32_t g = 0; g < p.stockGroupCount && g < TARVOLIN_MAX_STOCK_GROUPS; ++g) {
    const TarvolinPlannerStockGroup& s = p.stockGroups[g];
    t.stockGroups[g + 1] = {s.length, s.cost, Quantity16(s.quantity)};
  }
  for (int32_t g = 0; g < p.partGroupCount && g < TARVOLIN_MAX_PART_GROUPS; ++g) {
    const TarvolinPlannerPartGroup& s = p.partGroups[g];
    t.partGroups[g + 1] = {s.length, s.markId, Quantity16(s.quantity)};
  }
  return t;
}

// The view through which the search reports: its progress window is the
// planner's progress callback, its Esc the stop request.
struct SearchView {
  static Call& Of(void* user) { return *static_cast<Call*>(user); }
  static void Open(void* user, TarvolinContext* context, int32_t) {
    // Opening the window forgets earlier Esc presses; a stop requested
    // before the call stands.
    if (Of(user).planner.stop) TarvolinRequestAbort(context);
  }
  static void SetMulti(void* user, int32_t position) { Of(user).percent = position; }
  static void Pump(void* user) {
    Call& call = Of(user);
    const double now = Since(call.start);
    if (now - call.lastSearchReportMs < kSearchReportMs) return;
    call.lastSearchReportMs = now;
    const SolverState& st = call.planner.context->state;
    const RunRecord& r = st.driver.result;
    if (r.bars > 0 || r.lastStock != 0) {
      const int64_t lastRemainder =
          r.lastStock != 0 ? int64_t{r.lastRemainder} - int64_t{st.settings.kerf} * r.lastParts : 0;
      const bool costObjective = CostObjective(call.problem, st.settings.costMode);
      const double objective =
          Objective(costObjective, int64_t{r.length} + (r.lastStock != 0 ? r.lastLength : 0),
                    int64_t{r.cost} + r.lastCost, r.lastLength, r.lastCost, lastRemainder);
      if (call.bestObjective < 0 || objective < call.bestObjective) call.bestObjective = objective;
    }
    Report(call, TARVOLIN_PLANNER_PHASE_SEARCH, -1);
  }
  static TarvolinView For(Call& call) {
    TarvolinView view{};
    view.user = &call;
    view.openProgress = Open;
    view.setMultiPosition = SetMulti;
    view.pumpMessages = Pump;
    return view;
  }
};

Assignment AssignmentOf(const TarvolinPlan& r) {
  Assignment a;
  for (int32_t i = 1; i <= r.partItemCount; ++i) {
    a.pieces.push_back({r.partItemGroup[i] - 1, r.partItemStock[i] - 1});
  }
  for (int32_t i = 1; i <= r.stockItemCount; ++i) {
    a.bars.push_back({r.stockItemGroup[i] - 1, -1, 0, 0});
  }
  a.lastBar = r.lastStock - 1;
  return a;
}

TarvolinPlannerStatus SolveBySearchCall(Call& call, const TarvolinPlannerSettings& settings,
                                        TarvolinPlannerPlan& plan) {
  TarvolinPlanner& planner = call.planner;
  const TarvolinSettings s = SearchSettings(settings);
  const TarvolinProblem problem = StructProblem(call.problem);
  const auto result = std::make_unique<TarvolinPlan>();
  const TarvolinView view = SearchView::For(call);
  const int32_t error = SolveInContext(*planner.context, s, problem, &view, *result);
  if (error != 0) return FailNumbered(planner, plan, error);

  const PlanRules rules{s.kerf, s.costMode != 0, s.layoutsByMark != 0};
  BuildPlan(call.problem, rules, AssignmentOf(*result), planner.store, plan);
  plan.differentLayouts = result->layoutCount;
  plan.layoutCuts = result->layoutCuts;
  plan.criterion = result->criterion;
  plan.utilization = result->utilization;
  plan.proven = result->proven;
  plan.hasBound = result->lowerBound != 0 || result->proven != 0 ? 1 : 0;
  plan.bound = result->lowerBound;
  plan.exactMs = result->exactMs;

  const int32_t limitSeconds =
      settings.method == 1 ? (settings.exactTimeLimitSeconds > 0 ? settings.exactTimeLimitSeconds
                                                                 : TARVOLIN_EXACT_DEFAULT_SECONDS)
                           : settings.timeLimitSeconds;
  const bool cutShort =
      plan.proven == 0 && limitSeconds > 0 && Since(call.start) >= limitSeconds * 1000.0;
  return Succeed(planner, plan, cutShort, "");
}

// ---- Above the search's limits: the exact method alone ----

// The value checks of the struct call in its order, for groups it cannot
// hold: the number of the first failure, 0 when every value is good.
int32_t CheckGroupValues(const TarvolinPlannerProblem& p) {
  const auto any = [](const auto* groups, int32_t count, auto bad) {
    for (int32_t g = 0; g < count; ++g) {
      if (bad(groups[g])) return true;
    }
    return false;
  };
  const TarvolinPlannerStockGroup* s = p.stockGroups;
  const TarvolinPlannerPartGroup* q = p.partGroups;
  const int32_t n = p.stockGroupCount, m = p.partGroupCount;
  if (any(s, n, [](const auto& g) { return g.length < 1; })) return TARVOLIN_ERROR_STOCK_LENGTH;
  if (any(q, m, [](const auto& g) { return g.length < 1; })) return TARVOLIN_ERROR_PART_LENGTH;
  if (any(s, n, [](const auto& g) { return g.cost < 0; })) return TARVOLIN_ERROR_STOCK_COST;
  if (any(q, m, [](const auto& g) { return g.markId < 0; })) return TARVOLIN_ERROR_PART_MARK;
  if (any(s, n, [](const auto& g) { return g.quantity < 0; })) return TARVOLIN_ERROR_STOCK_QUANTITY;
  if (any(q, m, [](const auto& g) { return g.quantity < 0; })) return TARVOLIN_ERROR_PART_QUANTITY;
  return 0;
}

TarvolinPlannerStatus SolveByExactAlone(Call& call, const TarvolinPlannerSettings& settings,
                                        TarvolinPlannerPlan& plan) {
  TarvolinPlanner& planner = call.planner;
  const TarvolinSettings s = StructSettings(settings);
  Report(call, TARVOLIN_PLANNER_PHASE_EXACT, -1);
  const ExactProgress progress = [&call](double bestObjective, double bound) {
    if (bestObjective >= 0) call.bestObjective = bestObjective;
    Report(call, TARVOLIN_PLANNER_PHASE_EXACT, bound);
    return call.planner.stop.load();
  };
  ExactOutcome out = SolveExactAlone(call.problem, s, planner.stop, progress);
  plan.exactMs = static_cast<int64_t>(std::lround(out.elapsedMs));
  switch (out.kind) {
    case ExactOutcome::Kind::kPlan:
      break;
    case ExactOutcome::Kind::kNotAvailable:
      return FailNumbered(planner, plan, TARVOLIN_ERROR_EXACT_NOT_AVAILABLE);
    case ExactOutcome::Kind::kInvalid:
      return Fail(planner, plan, TARVOLIN_PLANNER_INVALID_PROBLEM, 0, out.message);
    case ExactOutcome::Kind::kFault:
      return Fail(planner, plan, TARVOLIN_PLANNER_INTERNAL_ERROR, TARVOLIN_ERROR_UNEXPECTED,
                  out.message);
  }
  const PlanRules rules{s.kerf, s.costMode != 0, s.layoutsByMark != 0};
  BuildPlan(call.problem, rules, std::move(out.assignment), planner.store, plan);
  if (plan.piecesCut == 0) return FailNumbered(planner, plan, TARVOLIN_ERROR_NO_PART_FITS);
  plan.bound = out.bound;
  plan.hasBound = out.hasBound ? 1 : 0;
  plan.proven = out.proven ? 1 : 0;
  return Succeed(planner, plan, out.cutShort, out.proven ? std::string() : out.message);
}

TarvolinPlannerStatus SolveAboveSearchLimits(Call& call, const TarvolinPlannerSettings& settings,
                                             const Size& size, TarvolinPlannerPlan& plan) {
  TarvolinPlanner& planner = call.planner;
  const TarvolinPlannerProblem& p = call.problem;
  SolverState& st = planner.context->state;
  st.view = nullptr;
  st.error = ErrorState{};
  if (!CheckSettings(st, SearchSettings(settings))) {
    return FailNumbered(planner, plan, TARVOLIN_ERROR_SETTINGS);
  }
  if (const Excess e = ExactExcess(p, size); e.error != 0) {
    return Fail(planner, plan, TARVOLIN_PLANNER_SIZE_LIMIT, e.error, SizeLimitText(e));
  }
  if (settings.bundleSize != 0 || settings.method == 0) {
    const Excess e = SearchExcess(p, size);
    return Fail(planner, plan, TARVOLIN_PLANNER_SEARCH_LIMIT, e.error,
                SearchLimitText(e, settings.bundleSize != 0));
  }
  if (!ExactMethodAvailable())
    return FailNumbered(planner, plan, TARVOLIN_ERROR_EXACT_NOT_AVAILABLE);
  if (const int32_t error = CheckGroupValues(p); error != 0)
    return FailNumbered(planner, plan, error);
  if (size.bars < 1) return FailNumbered(planner, plan, TARVOLIN_ERROR_NO_STOCK);
  if (size.pieces < 1) return FailNumbered(planner, plan, TARVOLIN_ERROR_NO_PARTS);
  return SolveByExactAlone(call, settings, plan);
}

// ---- The call ----

bool MissingGroups(const TarvolinPlannerProblem& p) {
  return (p.stockGroupCount > 0 && p.stockGroups == nullptr) ||
         (p.partGroupCount > 0 && p.partGroups == nullptr);
}

// A quantity the struct call's 16-bit groups cannot hold.
int32_t QuantityAboveLimit(const TarvolinPlannerProblem& p) {
  for (int32_t g = 0; g < p.stockGroupCount; ++g) {
    if (p.stockGroups[g].quantity > kMaxGroupQuantity) return TARVOLIN_ERROR_STOCK_QUANTITY;
  }
  for (int32_t g = 0; g < p.partGroupCount; ++g) {
    if (p.partGroups[g].quantity > kMaxGroupQuantity) return TARVOLIN_ERROR_PART_QUANTITY;
  }
  return 0;
}

// Totals of lengths or costs that the search's 32-bit sums cannot hold;
// the exact method keeps them in 64 bits.
bool TotalsAboveSearch(const TarvolinPlannerProblem& p) {
  // Each sum stops at the first group that takes it past the limit, so
  // that no sum can overflow.
  int64_t stockLength = 0, stockCost = 0, partLength = 0;
  const auto add = [](int64_t& sum, int32_t quantity, int32_t value) {
    sum += int64_t{std::max(quantity, 0)} * std::max(value, 0);
    return sum > TARVOLIN_MAX_SUM;
  };
  for (int32_t g = 0; g < p.stockGroupCount; ++g) {
    const TarvolinPlannerStockGroup& s = p.stockGroups[g];
    if (add(stockLength, s.quantity, s.length) || add(stockCost, s.quantity, s.cost)) return true;
  }
  for (int32_t g = 0; g < p.partGroupCount; ++g) {
    if (add(partLength, p.partGroups[g].quantity, p.partGroups[g].length)) return true;
  }
  return false;
}

TarvolinPlannerStatus Dispatch(Call& call, const TarvolinPlannerSettings& settings,
                               TarvolinPlannerPlan& plan) {
  const TarvolinPlannerProblem& p = call.problem;
  if (MissingGroups(p)) return FailNumbered(call.planner, plan, TARVOLIN_ERROR_NULL_ARGUMENT);
  if (const int32_t error = QuantityAboveLimit(p); error != 0) {
    return FailNumbered(call.planner, plan, error);
  }
  const Size size = SizeOf(p);
  const bool exactAlone = settings.method == 1 && settings.bundleSize == 0 && TotalsAboveSearch(p);
  if (SearchExcess(p, size).error == 0 && !exactAlone)
    return SolveBySearchCall(call, settings, plan);
  return SolveAboveSearchLimits(call, settings, size, plan);
}

}  // namespace
}  // namespace solver::planner

extern "C" TARVOLIN_API TarvolinPlanner* TarvolinPlannerCreate(void) {
  try {
    auto planner = std::make_unique<TarvolinPlanner>();
    planner->context.reset(TarvolinCreateContext());
    if (planner->context == nullptr) return nullptr;
    return planner.release();
  } catch (...) {
    return nullptr;
  }
}

extern "C" TARVOLIN_API void TarvolinPlannerDestroy(TarvolinPlanner* planner) {
  std::unique_ptr<TarvolinPlanner> owned(planner);
}

extern "C" TARVOLIN_API void TarvolinPlannerRequestStop(TarvolinPlanner* planner) {
  if (planner != nullptr) solver::planner::RequestStop(*planner);
}

extern "C" TARVOLIN_API void TarvolinPlannerClearStop(TarvolinPlanner* planner) {
  if (planner != nullptr) planner->stop = false;
}

extern "C" TARVOLIN_API void TarvolinPlannerDefaults(TarvolinPlannerSettings* settings) {
  if (settings == nullptr) return;
  *settings = TarvolinPlannerSettings{};
  settings->ignoreLast = 1;
  settings->effortLevel = 5;
  settings->reduceLayouts = 1;
  settings->iterationMultiplier = 20;
}

extern "C" TARVOLIN_API int32_t TarvolinPlannerHasPlan(TarvolinPlannerStatus status) {
  return status == TARVOLIN_PLANNER_OK || status == TARVOLIN_PLANNER_STOPPED ||
                 status == TARVOLIN_PLANNER_TIME_LIMIT
             ? 1
             : 0;
}

extern "C" TARVOLIN_API TarvolinPlannerStatus
TarvolinPlannerSolve(TarvolinPlanner* planner, const TarvolinPlannerSettings* settings,
                     const TarvolinPlannerProblem* problem, TarvolinPlannerProgressFn progress,
                     void* user, TarvolinPlannerPlan* plan) {
  using namespace solver::planner;
  if (plan == nullptr) return TARVOLIN_PLANNER_INVALID_ARGUMENT;
  *plan = TarvolinPlannerPlan{};
  plan->lastStockBar = -1;
  plan->message = "";
  if (planner == nullptr || settings == nullptr || problem == nullptr) {
    plan->status = TARVOLIN_PLANNER_INVALID_ARGUMENT;
    plan->error = TARVOLIN_ERROR_NULL_ARGUMENT;
    plan->message = TarvolinErrorText(TARVOLIN_ERROR_NULL_ARGUMENT);
    return plan->status;
  }
  Call call{*planner, *problem, progress, user};
  TarvolinPlannerStatus status = TARVOLIN_PLANNER_INTERNAL_ERROR;
  try {
    planner->store = PlanStore{};
    status = Dispatch(call, *settings, *plan);
    if (TarvolinPlannerHasPlan(status)) {
      call.bestObjective = plan->objective;
      Report(call, TARVOLIN_PLANNER_PHASE_DONE, plan->hasBound != 0 ? plan->bound : -1);
    }
  } catch (const std::bad_alloc&) {
    status = TARVOLIN_PLANNER_OUT_OF_MEMORY;
    plan->message = kOutOfMemoryText;
  } catch (...) {
    status = TARVOLIN_PLANNER_INTERNAL_ERROR;
    plan->error = TARVOLIN_ERROR_UNEXPECTED;
    plan->message = TarvolinErrorText(TARVOLIN_ERROR_UNEXPECTED);
  }
  if (!TarvolinPlannerHasPlan(status)) {
    const TarvolinPlannerPlan failed = *plan;
    *plan = TarvolinPlannerPlan{};
    plan->status = status;
    plan->error = failed.error;
    plan->message = failed.message != nullptr ? failed.message : "";
    plan->lastStockBar = -1;
  }
  plan->status = status;
  plan->elapsedMs = static_cast<int64_t>(Since(call.start));
  planner->stop = false;
  return status;
}
