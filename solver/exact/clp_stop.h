// Ends a simplex run of CLP when the exact method's watch says stop; the
// run then reports a status other than optimal, which every caller reads
// as "not solved", never as a proof.
#pragma once

#include <ClpEventHandler.hpp>

#include "watch.h"

namespace solver::exact {

class ClpStopHandler : public ClpEventHandler {
 public:
  explicit ClpStopHandler(const Watch* watch) : watch_(watch) {}
  int event(Event which) override {
    // The watch is asked once in 16 iterations.
    if (which != endOfIteration || (++iterations_ & 15) != 0) return -1;
    return watch_->Stop() ? 0 : -1;
  }
  ClpEventHandler* clone() const override { return new ClpStopHandler(*this); }

 private:
  const Watch* watch_;
  int iterations_ = 0;
};

}  // namespace solver::exact
