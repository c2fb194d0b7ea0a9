#include "solve.h"

#include <memory>
#include <new>

#include "call_steps.h"
#include "context.h"
#include "exact_call.h"
#include "prepare.h"
#include "solver_services.h"
#include "solver_state.h"
#include "tarvolin/errors.h"

namespace solver {

namespace {

// Keeps the caller's target solution for the driver's stop test.
void TakeOverTarget(SolverState& st, const TarvolinTarget& t) {
  st.target = TargetSolution{t.utilization, t.stockUsed,   t.partsCut,
                             t.costUsed,    t.layoutCount, t.layoutCuts};
}

// The call's steps; returns after the first step that raised an error.
void RunSteps(SolverState& st, const TarvolinSettings& settings, const TarvolinProblem& problem,
              TarvolinPlan& plan, ArrayCountMismatch mismatch) {
  st.error.number = 0;
  st.progress.callStartMs = NowMs(st);

  ResetRecord(st.driver);
  ResetRecord(st.tuning);

  if (!CheckSettings(st, settings)) return;
  if (ExactMissing(settings)) {
    RaiseError(st, TARVOLIN_ERROR_EXACT_NOT_AVAILABLE);
    return;
  }
  TakeOverTarget(st, problem.target);

  CheckGroups(st, problem, mismatch);
  if (st.error.number != 0) return;

  OpenProgressWindow(st);

  if (!PrepareProblem(st, problem, plan)) return;

  if (UsesExactMethod(settings)) {
    SolveByExactMethod(st, settings, problem, plan);
  } else {
    if (!SearchAndWrite(st, plan)) return;
    MoreFreeStockAfterSearch(st, settings, problem, plan);
    if (st.error.number != 0) return;
    AddSearchBound(settings, problem, plan);
  }
  if (st.error.number != 0) return;
  CloseProgressWindow(st);
}

// Ends a call: a failed call closes its progress window; the view is the
// call's only.
int32_t FinishCall(SolverState& st) {
  if (st.error.number != 0) CloseProgressWindow(st);
  st.view = nullptr;
  return st.error.number;
}

// An unexpected failure: reported as its own number, never thrown on.
int32_t FinishUnexpected(SolverState& st) {
  try {
    RaiseError(st, TARVOLIN_ERROR_UNEXPECTED);
    return FinishCall(st);
  } catch (...) {
    st.view = nullptr;
    return st.error.number != 0 ? st.error.number : TARVOLIN_ERROR_UNEXPECTED;
  }
}

}  // namespace

int32_t SolveInContext(TarvolinContext& context, const TarvolinSettings& settings,
                       const TarvolinProblem& problem, const TarvolinView* view, TarvolinPlan& plan,
                       ArrayCountMismatch mismatch) {
  SolverState& st = context.state;
  st.view = view;
  st.error.number = 0;
  try {
    st.error.showBoxes = settings.showErrorBoxes != 0;
    RunSteps(st, settings, problem, plan, mismatch);
    return FinishCall(st);
  } catch (...) {
    return FinishUnexpected(st);
  }
}

int32_t ReportCallFailure(TarvolinContext& context, const TarvolinView* view, bool showBoxes,
                          int32_t number) {
  SolverState& st = context.state;
  st.view = view;
  st.error = ErrorState{0, showBoxes};
  try {
    RaiseError(st, number);
    return FinishCall(st);
  } catch (...) {
    return FinishUnexpected(st);
  }
}

}  // namespace solver

extern "C" TARVOLIN_API TarvolinContext* TarvolinCreateContext(void) {
  try {
    auto context = std::make_unique<TarvolinContext>();
    context->state.owner = context.get();
    return context.release();
  } catch (...) {
    return nullptr;
  }
}

extern "C" TARVOLIN_API void TarvolinDestroyContext(TarvolinContext* context) {
  std::unique_ptr<TarvolinContext> owned(context);
}

extern "C" TARVOLIN_API void TarvolinRequestAbort(TarvolinContext* context) {
  if (context != nullptr) context->state.progress.abort = true;
}

extern "C" TARVOLIN_API int32_t TarvolinSolve(TarvolinContext* context,
                                              const TarvolinSettings* settings,
                                              const TarvolinProblem* problem,
                                              const TarvolinView* view, TarvolinPlan* plan) {
  if (context == nullptr || settings == nullptr || problem == nullptr || plan == nullptr) {
    return TARVOLIN_ERROR_NULL_ARGUMENT;
  }
  *plan = TarvolinPlan{};
  return solver::SolveInContext(*context, *settings, *problem, view, *plan);
}
