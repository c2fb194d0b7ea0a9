#include "integer.h"

#include <CbcEventHandler.hpp>
#include <CbcHeuristic.hpp>
#include <CbcHeuristicDiveCoefficient.hpp>
#include <CbcHeuristicFPump.hpp>
#include <CbcHeuristicLocal.hpp>
#include <CbcHeuristicRINS.hpp>
#include <CbcModel.hpp>
#include <CglGomory.hpp>
#include <CglKnapsackCover.hpp>
#include <CglMixedIntegerRounding2.hpp>
#include <CglProbing.hpp>
#include <ClpSimplex.hpp>
#include <CoinPackedVector.hpp>
#include <OsiClpSolverInterface.hpp>
#include <algorithm>
#include <cmath>

#include "clp_stop.h"

namespace solver::exact {
namespace {

constexpr int kRandomSeed = 1234567;

// Stops the branch and bound when the watch says stop: asked at every
// node, solution and heuristic pass.
class StopHandler : public CbcEventHandler {
 public:
  explicit StopHandler(const Watch* watch) : watch_(watch) {}
  CbcAction event(CbcEvent) override {
    return watch_ != nullptr && watch_->Stop() ? stop : noAction;
  }
  CbcEventHandler* clone() const override { return new StopHandler(*this); }

 private:
  const Watch* watch_;
};

}  // namespace

MipOutcome SolveMip(const Master& master, const MipRequest& req) {
  MipOutcome out;
  const ClpSimplex& lp = master.Lp();
  const int first = master.FirstPatternColumn();
  const int patterns = static_cast<int>(master.Pool().size());
  const int types = first - 1;

  OsiClpSolverInterface si;
  si.messageHandler()->setLogLevel(0);
  if (req.watch != nullptr) {
    // The programmes at the nodes stop with the watch as well.
    const ClpStopHandler lpHandler(req.watch);
    si.getModelPtr()->passInEventHandler(&lpHandler);
  }
  si.loadProblem(*lp.matrix(), lp.columnLower(), lp.columnUpper(), lp.objective(), lp.rowLower(),
                 lp.rowUpper());
  si.setColUpper(master.ArtificialColumn(), 0.0);
  for (int c = 0; c < first + patterns; ++c) {
    if (c != master.ArtificialColumn()) si.setInteger(c);
  }
  if (req.exactDemand) {
    for (int i = 0; i < types; ++i) si.setRowUpper(i, lp.rowLower()[i]);
  }
  if (!req.uncutCost.empty()) {
    for (int i = 0; i < types; ++i) si.setObjCoeff(i, req.uncutCost[i]);
  }
  if (!req.patternCost.empty()) {
    for (int p = 0; p < patterns; ++p) si.setObjCoeff(first + p, req.patternCost[p]);
  }
  for (const auto& [coefficients, rhs] : req.rows) {
    CoinPackedVector row;
    for (int p = 0; p < patterns; ++p) {
      if (coefficients[p] != 0) row.insert(first + p, coefficients[p]);
    }
    si.addRow(row, -si.getInfinity(), rhs);
  }
  if (req.layoutCount) {
    // One yes/no column per pattern: a pattern is used only when its column
    // is 1; the objective counts them.
    for (int c = 0; c < si.getNumCols(); ++c) si.setObjCoeff(c, 0.0);
    for (int p = 0; p < patterns; ++p) {
      const int column = si.getNumCols();
      si.addCol(CoinPackedVector(), 0.0, 1.0, 1.0);
      si.setInteger(column);
      // No pattern is cut on more bars than its stock type offers, nor
      // more often than the demand of some piece it carries needs (a bar
      // beyond that could be left out).
      const Column& c = master.Pool()[p];
      double most = std::min(100.0, lp.rowUpper()[master.StockRow(c.stock)]);
      double needed = 0;
      for (int i = 0; i < types; ++i) {
        if (c.counts[i] > 0) needed = std::max(needed, std::ceil(lp.rowLower()[i] / c.counts[i]));
      }
      if (needed > 0) most = std::min(most, needed);
      CoinPackedVector link;
      link.insert(first + p, 1.0);
      link.insert(column, -std::max(1.0, most));
      si.addRow(link, -si.getInfinity(), 0.0);
    }
  }

  CbcModel model(si);
  model.setLogLevel(0);
  model.messageHandler()->setLogLevel(0);
  model.solver()->messageHandler()->setLogLevel(0);
  model.setRandomSeed(kRandomSeed);
  model.setNumberThreads(0);
  model.setUseElapsedTime(true);
  model.setMaximumNodes(req.nodeLimit);
  if (req.timeLimitMs > 0) model.setMaximumSeconds(std::max(0.001, req.timeLimitMs / 1000.0));
  if (std::isfinite(req.cutoff)) model.setCutoff(req.cutoff);
  CglProbing probing;
  probing.setUsingObjective(1);
  probing.setMaxPass(1);
  probing.setMaxProbe(20);
  probing.setMaxLook(20);
  CglGomory gomory;
  gomory.setLimit(100);
  CglKnapsackCover knapsack;
  CglMixedIntegerRounding2 rounding;
  if (req.probing) model.addCutGenerator(&probing, -1, "Probing");
  model.addCutGenerator(&gomory, -1, "Gomory");
  model.addCutGenerator(&knapsack, -1, "Knapsack");
  model.addCutGenerator(&rounding, -1, "MIR");
  CbcRounding heuristic(model);
  model.addHeuristic(&heuristic);
  if (!req.strongBranching) {
    model.setNumberStrong(0);
    model.setNumberBeforeTrust(0);
  }
  CbcHeuristicFPump pump(model);
  CbcHeuristicRINS rins(model);
  CbcHeuristicDiveCoefficient dive(model);
  CbcHeuristicLocal local(model);
  if (req.heuristics) {
    for (CbcHeuristic* h : std::initializer_list<CbcHeuristic*>{&pump, &rins, &dive, &local}) {
      model.addHeuristic(h);
    }
  }
  StopHandler handler(req.watch);
  model.passInEventHandler(&handler);
  if (!req.start.empty()) {
    std::vector<double> start(model.getNumCols(), 0.0);
    for (int p = 0; p < patterns; ++p) start[first + p] = req.start[p];
    if (req.layoutCount) {
      // The yes/no columns follow the original ones, one per pattern.
      const int yes = model.getNumCols() - patterns;
      for (int p = 0; p < patterns; ++p) start[yes + p] = req.start[p] > 0 ? 1.0 : 0.0;
    }
    model.setBestSolution(start.data(), static_cast<int>(start.size()), COIN_DBL_MAX, true);
  }
  model.branchAndBound();

  const double* best = model.bestSolution();
  // A stop may cut a node's programme short, which the branch and bound
  // can take for an infeasible node: after a stop nothing is proven.
  const bool stopped = req.watch != nullptr && req.watch->Stop();
  out.optimal = !stopped && (model.isProvenOptimal() || model.isProvenInfeasible());
  if (!stopped && !model.isProvenInfeasible()) out.bound = model.getBestPossibleObjValue();
  if (best == nullptr) return out;
  if (std::isfinite(req.cutoff) && model.getObjValue() >= req.cutoff) return out;
  out.found = true;
  out.objective = model.getObjValue();
  out.x.resize(patterns);
  for (int p = 0; p < patterns; ++p) out.x[p] = static_cast<int32_t>(std::lround(best[first + p]));
  out.uncut.resize(types);
  for (int i = 0; i < types; ++i) out.uncut[i] = static_cast<int32_t>(std::lround(best[i]));
  return out;
}

}  // namespace solver::exact
