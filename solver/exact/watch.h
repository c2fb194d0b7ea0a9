// What ends the exact method's long steps early: its stop time, the
// caller's stop request, and the progress callback's answer. Every phase
// asks Stop() often (the pricing every few thousand nodes, the linear and
// integer programmes through their event handlers), so a stop is heard
// within milliseconds of its cause.
#pragma once

#include <atomic>
#include <functional>

namespace solver::exact {

class Watch {
 public:
  Watch() = default;
  // deadlineMs on ClockMs's scale, 0 = none; abort may be null.
  Watch(double deadlineMs, const std::atomic<bool>* abort) : deadline_(deadlineMs), abort_(abort) {}

  // Called from Stop() at most every intervalMs; returning true stops as
  // the stop request does.
  void SetTick(std::function<bool()> tick, double intervalMs);

  bool Stop() const;
  // From now on Stop() says stop.
  void RequestStop() { asked_ = true; }
  double Deadline() const { return deadline_; }
  // Milliseconds left before the stop time, at least 1; 0 = no stop time.
  double Remaining() const;

 private:
  double deadline_ = 0;
  const std::atomic<bool>* abort_ = nullptr;
  std::function<bool()> tick_;
  double interval_ = 0;
  mutable double nextTick_ = 0;
  mutable bool asked_ = false;  // the tick asked to stop
};

}  // namespace solver::exact
