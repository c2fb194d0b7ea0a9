// The exact method's run: its phases in order (the first plan, the most
// length cut, the stock profiles, fewer layouts), the bound alone, the
// progress the caller sees, the plans it keeps and the result it returns.
#include "engine.h"

#include <algorithm>
#include <cmath>

namespace solver::exact {

namespace {

// Overflow of the uncut row below which the linear programme cuts every
// piece.
constexpr double kArtificialTolerance = 1e-7;

}  // namespace

ExactResult Engine::Solve() {
  ExactResult r;
  if (!Prepare(r)) return Finish(r);
  if (Stopped()) {
    proven_ = false;
    note_ = "time limit or abort";
    return Finish(r);
  }
  EnterPhase(Phase::kMostCut);
  Stage1();
  EnterPhase(Phase::kProfiles);
  CandidateSearch();
  MoreFreeStock(kFreeStockTimeShare);
  EnterPhase(Phase::kFewerLayouts);
  ReduceLayouts();
  return Finish(r);
}

BoundResult Engine::Bound() {
  BoundResult b;
  ExactResult r;
  if (!Prepare(r)) {
    b.status = r.status;
    b.message = r.message;
    b.elapsedMs = ClockMs() - start_;
    return b;
  }
  EnterPhase(Phase::kBound);
  master_->SetMode(Mode::kOptimize);
  master_->SetUncutAllowance(0);
  const LpOutcome lp = Lp();
  b.elapsedMs = ClockMs() - start_;
  if (!lp.solved || !lp.converged) {
    b.status = Status::kFeasible;
    b.message = Stopped() ? "time limit or abort" : "column generation did not finish";
    b.lowerBound = 0;
    return b;
  }
  if (lp.artificial > kArtificialTolerance) {
    // Not even the linear programme cuts every piece that fits: the
    // stock is short, and the bound would hold only for plans that do.
    b.status = Status::kFeasible;
    b.message = "the stock cannot hold every piece";
    b.lowerBound = 0;
    return b;
  }
  double bound = lp.bound;
  if (!m_.ignoreLast) {
    bound = static_cast<double>(SmallestProfileFrom(lp.bound));
  } else if (!m_.costObjective) {
    bound = std::ceil(lp.bound - 1e-9);
  }
  b.status = Status::kOptimal;
  b.lowerBound = ToCaller(bound);
  b.elapsedMs = ClockMs() - start_;
  return b;
}

void Engine::EnterPhase(Phase phase) {
  phase_ = phase;
  if (in_.progress && Report()) watch_.RequestStop();
}

// Tells the caller how far the method has got; true when it asks to stop.
bool Engine::Report() {
  Progress p;
  p.elapsedMs = ClockMs() - start_;
  p.phase = phase_;
  p.hasPlan = phase_ != Phase::kFirstPlan;
  if (p.hasPlan) {
    p.bestObjective = ToCaller(bestKey_.objective);
    p.uncutLength = static_cast<double>(bestKey_.uncut) * m_.unit;
    p.cutLength = static_cast<double>(m_.cutLength + m_.unfitLength - bestKey_.uncut) * m_.unit;
    p.stockLength = static_cast<double>(bestKey_.length) * m_.unit;
  }
  p.lowerBound = ToCaller(lowerBound_);
  return in_.progress(p);
}

LpOutcome Engine::Lp() {
  LpOutcome lp = master_->Solve();
  stats_.lpRounds += lp.iterations;
  stats_.pricingNodes += lp.pricingNodes;
  return lp;
}

MipOutcome Engine::Mip(const MipRequest& req) {
  return Mip(*master_, req);
}

MipOutcome Engine::Mip(const Master& master, const MipRequest& req) {
  const double t = ClockMs();
  MipOutcome mip = SolveMip(master, req);
  stats_.mips += 1;
  stats_.mipMs += ClockMs() - t;
  return mip;
}

void Engine::Offer(const ModelPlan& plan) {
  if (!ValidPlan(m_, plan)) return;
  const PlanKey key = KeyOf(m_, plan);
  if (CompareKeys(key, bestKey_) < 0) {
    best_ = plan;
    bestKey_ = key;
  }
}

ModelPlan Engine::PlanFrom(const std::vector<int32_t>& x, const std::vector<Column>& fixed) const {
  return PlanFrom(master_->Pool(), x, fixed);
}

ModelPlan Engine::PlanFrom(const std::vector<Column>& pool, const std::vector<int32_t>& x,
                           const std::vector<Column>& fixed) const {
  ModelPlan plan;
  for (size_t p = 0; p < x.size() && p < pool.size(); ++p) AddBars(plan, pool[p], x[p]);
  for (const Column& c : fixed) AddBars(plan, c, 1);
  return NormalizePlan(m_, plan);
}

ExactResult Engine::Finish(ExactResult& r) {
  r.elapsedMs = ClockMs() - start_;
  if (r.status == Status::kInvalidInput && !r.message.empty()) return r;
  if (r.status == Status::kNotSupported || master_ == nullptr) {
    if (r.message.empty()) r.message = note_;
    return r;
  }
  r.plan = FromModelPlan(in_, m_, best_);
  r.figures = MeasurePlan(in_, r.plan);
  if (Uncut(bestKey_) > uncutFloor_) {
    proven_ = false;
    note_ = "the most length that can be cut is not proven";
  } else if (m_.large && !proven_ &&
             lowerBound_ >= bestKey_.objective - Tolerance(bestKey_.objective)) {
    proven_ = true;  // stopped, but the plan meets the bound
  }
  r.proven = proven_;
  r.status = proven_ ? Status::kOptimal : Status::kFeasible;
  r.lowerBound = ToCaller(std::min(lowerBound_, bestKey_.objective));
  if (proven_) r.lowerBound = r.figures.objective;
  r.message = proven_ ? std::string() : note_;
  stats_.columns = static_cast<int32_t>(master_->Pool().size());
  r.stats = stats_;
  return r;
}

bool ExactAvailable() {
  return true;
}

ExactResult SolveExact(const ExactInput& input) {
  Engine engine(input);
  return engine.Solve();
}

BoundResult ExactLowerBound(const ExactInput& input) {
  Engine engine(input);
  return engine.Bound();
}

}  // namespace solver::exact
