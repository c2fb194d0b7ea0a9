// Fuzz target for the planner: any bytes become a problem (up to a few
// hundred pieces, now and then above the search's limits) and settings
// (both methods, every rule, a stop request before the call or from the
// progress callback). The search's effort and multiplier stay low: higher
// ones repeat the same code for longer, and the flat call's target covers
// them. Every call must come back with a status; a plan must
// pass the plan check (every rule, its layouts against its bars and pieces,
// its objective as the exact method measures it, not below its bound), and
// a failure must carry no plan.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "fuzz_bytes.h"
#include "planner_checks.h"
#include "tarvolin/planner.h"

namespace {

using fuzz::Bytes;

TarvolinPlannerSettings DecodeSettings(Bytes& in) {
  TarvolinPlannerSettings s;
  TarvolinPlannerDefaults(&s);
  s.method = in.Setting(0, 1);
  s.costMode = in.Setting(0, 1);
  s.ignoreLast = in.Setting(0, 1);
  s.effortLevel = in.Setting(0, 2);
  s.reduceLayouts = in.Setting(0, 6);
  s.preferShort = in.Setting(-5, 5);
  s.maxStockGroups = in.Setting(0, 12);
  s.maxDifferentPieces = in.Setting(0, 6);
  s.maxPiecesPerLayout = in.Setting(0, 12);
  // A bundle now and then, which asks for no limit on different pieces.
  const int32_t bundle = in.Setting(0, 15);
  s.bundleSize = bundle >= 2 && bundle <= 5 ? bundle : (bundle > 100 || bundle < 0 ? bundle : 0);
  if (s.bundleSize != 0 && in.Setting(0, 3) != 0) s.maxDifferentPieces = 0;
  s.minReusable = in.Setting(0, 3000);
  s.kerf = in.Setting(0, 40);
  s.endZone = in.Setting(0, 200);
  s.gripLength = in.Setting(0, 1) != 0 ? in.Setting(0, 600) : 0;
  s.layoutsByMark = in.Setting(0, 1);
  s.timeLimitSeconds = in.Setting(0, 1);
  s.iterationMultiplier = in.Setting(1, 3);
  s.exactTimeLimitSeconds = in.Setting(1, 2);
  s.computeBound = in.Setting(0, 1);
  // Drawn from values already decoded, so that the kept corpus decodes as
  // before: the preference for free bars on half the cost-mode inputs.
  s.preferFreeStock = s.costMode == 1 && s.minReusable % 2 == 1 ? 1 : 0;
  return s;
}

// Groups of the problem: counts mostly within the search's limits, now and
// then above them; quantities keep the pieces to a few hundred.
struct Groups {
  std::vector<TarvolinPlannerStockGroup> stock;
  std::vector<TarvolinPlannerPartGroup> parts;
};

// A group count: one drawn out of range stays a fault of the count, just
// above the range or below 0, and never asks for more groups than that.
int32_t GroupCount(Bytes& in, int32_t top) {
  const int32_t n = in.Setting(0, top);
  return n > top ? top + 1 + n % 3 : n;
}

Groups DecodeGroups(Bytes& in, int32_t& stockCount, int32_t& partCount) {
  Groups g;
  const bool above = in.Setting(0, 7) == 0;
  stockCount = GroupCount(in, above ? 14 : 10);
  partCount = GroupCount(in, above ? 40 : 20);
  const int32_t stockGroups = stockCount, partGroups = partCount;
  const int32_t partQtyTop = above ? 12 : 8;
  for (int32_t i = 0; i < stockGroups; ++i) {
    g.stock.push_back({in.Setting(1, 12000), in.Setting(0, 5000), in.Setting(0, above ? 40 : 15)});
  }
  for (int32_t i = 0; i < partGroups; ++i) {
    g.parts.push_back({in.Setting(1, 6000), in.Setting(0, 4), in.Setting(0, partQtyTop)});
  }
  return g;
}

struct StopAfter {
  int32_t calls = 0;
  int32_t stopAt = -1;  // -1: never
  int32_t done = 0;
};

int32_t Watch(void* user, const TarvolinPlannerProgress* progress) {
  auto& watch = *static_cast<StopAfter*>(user);
  if (progress->phase == TARVOLIN_PLANNER_PHASE_DONE) ++watch.done;
  if (progress->elapsedMs < 0) std::abort();
  return watch.calls++ == watch.stopAt ? 1 : 0;
}

void Fail(const char* what, const std::string& detail) {
  std::fprintf(stderr, "planner fuzz: %s: %s\n", what, detail.c_str());
  std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // One planner for every input: a call must not depend on the ones before.
  static const std::unique_ptr<TarvolinPlanner, void (*)(TarvolinPlanner*)> planner(
      TarvolinPlannerCreate(), TarvolinPlannerDestroy);
  if (planner == nullptr) std::abort();
  Bytes in(data, size);
  const TarvolinPlannerSettings settings = DecodeSettings(in);
  int32_t stockCount = 0, partCount = 0;
  const Groups groups = DecodeGroups(in, stockCount, partCount);
  const int32_t stopMode = in.Setting(0, 15);
  StopAfter watch;
  watch.stopAt = stopMode >= 2 && stopMode <= 4 ? stopMode - 2 : -1;
  if (stopMode == 1) TarvolinPlannerRequestStop(planner.get());

  const TarvolinPlannerProblem problem{
      groups.stock.data(), static_cast<int32_t>(groups.stock.size()), groups.parts.data(),
      static_cast<int32_t>(groups.parts.size())};
  TarvolinPlannerPlan plan;
  const TarvolinPlannerStatus status = TarvolinPlannerSolve(
      planner.get(), &settings, &problem, stopMode == 0 ? nullptr : Watch, &watch, &plan);
  if (plan.status != status || plan.message == nullptr) Fail("status", std::to_string(status));
  if (!TarvolinPlannerHasPlan(status)) {
    if (plan.layouts != nullptr || plan.pieces != nullptr || plan.bars != nullptr ||
        plan.layoutCount != 0 || watch.done != 0) {
      Fail("a failure with a plan", plan.message);
    }
    return 0;
  }
  if (stopMode != 0 && watch.done != 1) Fail("progress", "no end reported");
  if (stopMode == 1 && status != TARVOLIN_PLANNER_STOPPED) Fail("stop", "request lost");
  if (std::string fault = solver::testing::CheckPlannerPlan(problem, settings, plan);
      !fault.empty()) {
    Fail("plan check", fault);
  }
  return 0;
}
