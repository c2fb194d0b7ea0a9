#include "planner_exact.h"

#include <utility>
#include <vector>

#include "exact.h"
#include "settings_rules.h"

namespace solver::planner {
namespace {

exact::ExactInput InputOf(const TarvolinPlannerProblem& p, const TarvolinSettings& s) {
  exact::ExactInput in;
  in.stock.reserve(static_cast<size_t>(p.stockGroupCount));
  for (int32_t g = 0; g < p.stockGroupCount; ++g) {
    const TarvolinPlannerStockGroup& sg = p.stockGroups[g];
    in.stock.push_back({sg.length, sg.cost, sg.quantity});
  }
  in.parts.reserve(static_cast<size_t>(p.partGroupCount));
  for (int32_t g = 0; g < p.partGroupCount; ++g) {
    const TarvolinPlannerPartGroup& pg = p.partGroups[g];
    in.parts.push_back({pg.length, pg.quantity, pg.markId});
  }
  in.rules = exact::RulesOf(s);
  in.timeLimitMs = exact::ExactTimeLimitMs(s);
  return in;
}

// Hands out the items of each group in numbering order.
class ItemCursor {
 public:
  template <typename Group>
  ItemCursor(const Group* groups, int32_t count) {
    int32_t first = 0;
    for (int32_t g = 0; g < count; ++g) {
      next_.push_back(first);
      first += groups[g].quantity;
      end_.push_back(first);
    }
  }
  // The next free item of the group; -1 when it has none left.
  int32_t Take(int32_t group) {
    if (group < 0 || static_cast<size_t>(group) >= next_.size()) return -1;
    int32_t& next = next_[static_cast<size_t>(group)];
    return next < end_[static_cast<size_t>(group)] ? next++ : -1;
  }

 private:
  std::vector<int32_t> next_, end_;
};

// Gives `bars` bars of the pattern's stock group the pattern's pieces.
// False when a group runs out of items.
bool AssignPattern(const exact::Pattern& pattern, ItemCursor& bars, ItemCursor& pieces,
                   Assignment& a, int32_t* lastBar) {
  for (int32_t n = 0; n < pattern.bars; ++n) {
    const int32_t bar = bars.Take(pattern.stockGroup);
    if (bar < 0) return false;
    if (lastBar != nullptr) *lastBar = bar;
    for (size_t g = 0; g < pattern.counts.size(); ++g) {
      for (int32_t k = 0; k < pattern.counts[g]; ++k) {
        const int32_t piece = pieces.Take(static_cast<int32_t>(g));
        if (piece < 0) return false;
        a.pieces[static_cast<size_t>(piece)].bar = bar;
      }
    }
  }
  return true;
}

// The exact method's plan in bars and pieces: each pattern's bars are the
// next free bars of its stock group, their pieces the next free pieces of
// each part group; the last bar comes after every pattern.
bool AssignPlan(const TarvolinPlannerProblem& p, const exact::Plan& plan, Assignment& a) {
  a = EmptyAssignment(p);
  ItemCursor bars(p.stockGroups, p.stockGroupCount);
  ItemCursor pieces(p.partGroups, p.partGroupCount);
  for (const exact::Pattern& pattern : plan.patterns) {
    if (!AssignPattern(pattern, bars, pieces, a, nullptr)) return false;
  }
  return !plan.hasLast || AssignPattern(plan.last, bars, pieces, a, &a.lastBar);
}

// Hands the exact method's progress reports to the planner's callback.
void FollowProgress(exact::ExactInput& in, const ExactProgress& progress) {
  if (!progress) return;
  in.progress = [&progress](const exact::Progress& p) {
    return progress(p.hasPlan ? p.bestObjective : -1.0, p.lowerBound > 0 ? p.lowerBound : -1.0);
  };
}

}  // namespace

bool ExactMethodAvailable() {
  return exact::ExactAvailable();
}

ExactOutcome SolveExactAlone(const TarvolinPlannerProblem& problem,
                             const TarvolinSettings& settings, const std::atomic<bool>& stop,
                             const ExactProgress& progress) {
  exact::ExactInput in = InputOf(problem, settings);
  in.abort = &stop;
  FollowProgress(in, progress);
  const exact::ExactResult r = exact::SolveExact(in);
  ExactOutcome out;
  out.message = r.message;
  out.elapsedMs = r.elapsedMs;
  switch (r.status) {
    case exact::Status::kOptimal:
    case exact::Status::kFeasible:
      break;
    case exact::Status::kNotAvailable:
      out.kind = ExactOutcome::Kind::kNotAvailable;
      return out;
    case exact::Status::kInvalidInput:
    case exact::Status::kNotSupported:
      out.kind = ExactOutcome::Kind::kInvalid;
      return out;
  }
  if (const std::string fault = exact::CheckPlan(in, r.plan); !fault.empty()) {
    out.message = "the exact method's plan breaks a rule: " + fault;
    return out;
  }
  if (!AssignPlan(problem, r.plan, out.assignment)) {
    out.message = "the exact method's plan does not match the stock and the order";
    return out;
  }
  out.kind = ExactOutcome::Kind::kPlan;
  out.proven = r.proven;
  out.cutShort = !r.proven && (stop.load() || r.elapsedMs >= in.timeLimitMs);
  out.bound = r.lowerBound;
  out.hasBound = true;
  return out;
}

}  // namespace solver::planner
