// The progress of a material that the exact method plans alone, beyond the
// layout search's limits: the time it has run, the bound and the best plan
// so far, and the operator's request to stop it with its best plan. The
// solver's progress window shows it; the batch drives it.
#pragma once

#include <string>

namespace tarvolin {

struct PlanProgressTexts {
  int position = 0;   // share of the time limit used, 0..100
  std::string time;   // elapsed, e.g. "12.3 sec"
  std::string bound;  // lower bound of the objective; empty while unknown
  std::string best;   // objective of the best plan so far; empty while unknown
};

class PlanProgressView {
 public:
  virtual ~PlanProgressView() = default;
  // Shows the window, offering Esc to stop when stopOffered is set.
  virtual void OpenPlanProgress(bool stopOffered) = 0;
  virtual void ShowPlanProgress(const PlanProgressTexts& texts) = 0;
  // Lets the window's messages run; true once the operator asked to stop
  // (Esc, or Ctrl-C while Esc is offered).
  virtual bool PlanStopRequested() = 0;
  virtual void ClosePlanProgress() = 0;
};

}  // namespace tarvolin
