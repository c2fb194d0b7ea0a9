#include "watch.h"

#include <algorithm>

#include "solver_services.h"

namespace solver::exact {

void Watch::SetTick(std::function<bool()> tick, double intervalMs) {
  tick_ = std::move(tick);
  interval_ = intervalMs;
  nextTick_ = ClockMs() + intervalMs;
}

bool Watch::Stop() const {
  if (asked_) return true;
  if (abort_ != nullptr && abort_->load(std::memory_order_relaxed)) return true;
  if (deadline_ <= 0 && !tick_) return false;
  const double now = ClockMs();
  if (tick_ && now >= nextTick_) {
    nextTick_ = now + interval_;
    asked_ = tick_();
    if (asked_) return true;
  }
  return deadline_ > 0 && now >= deadline_;
}

double Watch::Remaining() const {
  if (deadline_ <= 0) return 0;
  return std::max(1.0, deadline_ - ClockMs());
}

}  // namespace solver::exact
