#include "plan_outputs.h"

#include <gtest/gtest.h>

#include <map>
#include <string>

namespace tarvolin {
namespace {

std::map<std::string, plan::PlanSetting> SettingsByName(const RunState& run) {
  std::map<std::string, plan::PlanSetting> out;
  for (const plan::PlanSetting& s : MakePlanRun(run, "", "").settings) out[s.name] = s;
  return out;
}

// The settings reader packs a stock/cut bundle into the different-pieces
// setting as its negative; the plan names the two apart, as the report does.
TEST(PlanOutputs, SettingsNameTheBundleTheMethodAndTheExactTimeLimit) {
  struct Case {
    int32_t diffPieces, bundleSize, method, exactSeconds;
    int64_t maxDifferent, bundle;
    const char* methodName;
  };
  const Case cases[] = {
      {3, 0, kMethodSearch, 0, 3, 0, "heuristic"},
      {0, 4, kMethodSearch, 0, 0, 4, "heuristic"},
      {0, 0, kMethodExact, 25, 0, 0, "exact"},
  };
  for (const Case& c : cases) {
    RunState run;
    run.opt.maxDifferentPieces = c.diffPieces;
    run.opt.bundleSize = c.bundleSize;
    run.opt.method = c.method;
    run.opt.exactTimeLimitSeconds = c.exactSeconds;
    auto settings = SettingsByName(run);
    EXPECT_EQ(settings.at("max_different_pieces").value, c.maxDifferent);
    EXPECT_EQ(settings.at("stock_cut_bundle").value, c.bundle);
    EXPECT_EQ(settings.at("method").text, c.methodName);
    EXPECT_EQ(settings.at("exact_time_limit_seconds").value, c.exactSeconds);
  }
}

// A material without a plan still carries the run's kerf, end zone and
// minimum remainder, which its page of layout diagrams shows.
TEST(PlanOutputs, AnUnsolvedMaterialCarriesTheRunsSettings) {
  RunState run;
  run.opt.kerf = 320;
  run.opt.endZone = 1500;
  run.opt.minReusableLength = 50000;
  run.opt.method = kMethodExact;
  const plan::MaterialPlan material =
      UnsolvedMaterialPlan(run, {plan::PlanError::Kind::kNoStock, std::nullopt, "none"});
  EXPECT_EQ(material.kerf, 320);
  EXPECT_EQ(material.endZone, 1500);
  EXPECT_EQ(material.minReusable, 50000);
  EXPECT_EQ(material.method, "exact");
}

}  // namespace
}  // namespace tarvolin
