// Pattern pricing against a plain walk over every count vector.
#include "pricing.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <random>
#include <string>

namespace exact_test {
namespace {

using solver::exact::Counts;
using solver::exact::PairsApply;
using solver::exact::PriceBestPattern;
using solver::exact::PriceByPairs;
using solver::exact::PriceByTable;
using solver::exact::PriceWithoutRules;
using solver::exact::PricingResult;
using solver::exact::PricingTask;
using solver::exact::TableApplies;

// Whether counts obey the task's rules, by the rules written out here.
bool Obeys(const PricingTask& t, const Counts& c) {
  int64_t load = 0, longest = 0;
  int32_t pieces = 0, types = 0;
  for (size_t i = 0; i < t.work.size(); ++i) {
    if (c[i] > t.bound[i]) return false;
    if (c[i] == 0) continue;
    load += int64_t{t.work[i]} * c[i];
    longest = std::max<int64_t>(longest, t.work[i]);
    pieces += c[i];
    types += 1;
  }
  if (load > t.loadLimit) return false;
  if (t.capacity - load < t.grip && longest < t.grip) return false;
  if (t.maxPieces >= 1 && pieces > t.maxPieces) return false;
  if (t.diffPieces >= 1 && types > t.diffPieces) return false;
  if (t.forbidden != nullptr) {
    for (const Counts& f : *t.forbidden) {
      if (f == c) return false;
    }
  }
  return true;
}

double ValueOf(const PricingTask& t, const Counts& c) {
  double v = 0;
  for (size_t i = 0; i < t.work.size(); ++i) v += c[i] * t.profit[i];
  return v;
}

// The best value above the threshold over all count vectors, -inf if none.
double BruteForce(const PricingTask& t) {
  double best = -INFINITY;
  Counts c(t.work.size(), 0);
  const int n = static_cast<int>(t.work.size());
  std::function<void(int)> walk = [&](int i) {
    if (i == n) {
      if (Obeys(t, c)) {
        const double v = ValueOf(t, c);
        if (v > t.threshold + 1e-9) best = std::max(best, v);
      }
      return;
    }
    for (int k = 0; k <= t.bound[i]; ++k) {
      c[i] = k;
      walk(i + 1);
    }
    c[i] = 0;
  };
  walk(0);
  return best;
}

TEST(Pricing, FindsTheBestPatternUnderEveryRule) {
  std::mt19937 rng(20240611);
  const auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
  for (int trial = 0; trial < 1500; ++trial) {
    PricingTask t;
    const int n = pick(1, 5);
    t.capacity = pick(500, 3000);
    t.loadLimit = trial % 5 == 0 ? t.capacity - pick(0, 400) : t.capacity;
    t.grip = trial % 3 == 0 ? pick(100, 700) : 0;
    t.maxPieces = trial % 4 == 0 ? pick(1, 4) : 0;
    t.diffPieces = trial % 6 == 0 ? pick(1, 2) : 0;
    for (int i = 0; i < n; ++i) {
      t.work.push_back(pick(100, 1200));
      t.bound.push_back(pick(0, 4));
      // Mostly positive values, some zero or negative (last-bar pricing).
      t.profit.push_back(pick(-2, 10) * 37.5 + pick(0, 9) * 0.25);
    }
    t.threshold = pick(-1, 20) * 20.0;
    std::vector<Counts> forbidden;
    if (trial % 2 == 0) {
      // Forbid the unrestricted best pattern, so the next best must come.
      const PricingResult free = PriceBestPattern(t);
      if (free.found) forbidden.push_back(free.counts);
      t.forbidden = &forbidden;
    }
    const double expected = BruteForce(t);
    const PricingResult got = PriceBestPattern(t);
    ASSERT_TRUE(got.complete);
    ASSERT_EQ(got.found, std::isfinite(expected)) << "trial " << trial;
    if (!got.found) continue;
    EXPECT_NEAR(got.value, expected, 1e-7) << "trial " << trial;
    EXPECT_NEAR(ValueOf(t, got.counts), got.value, 1e-7) << "trial " << trial;
    EXPECT_TRUE(Obeys(t, got.counts)) << "trial " << trial;
  }
}

// The table answers as the enumeration does, for several load limits at
// once, and its lighter patterns price out as well.
TEST(Pricing, TableEqualsTheEnumeration) {
  std::mt19937 rng(20251209);
  const auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
  for (int trial = 0; trial < 400; ++trial) {
    PricingTask base;
    const int n = pick(1, 5);
    for (int i = 0; i < n; ++i) {
      base.work.push_back(pick(10, 120));
      base.bound.push_back(pick(0, 5));
      base.profit.push_back(pick(-2, 10) * 3.75 + pick(0, 9) * 0.25);
    }
    std::vector<PricingTask> tasks;
    for (int k = pick(1, 3); k > 0; --k) {
      PricingTask t = base;
      t.capacity = t.loadLimit = pick(50, 400);
      t.threshold = pick(-1, 20) * 2.0;
      ASSERT_TRUE(TableApplies(t));
      tasks.push_back(t);
    }
    const std::vector<PricingResult> got = PriceByTable(tasks, 3);
    ASSERT_EQ(got.size(), tasks.size());
    for (size_t k = 0; k < tasks.size(); ++k) {
      const PricingTask& t = tasks[k];
      const double expected = BruteForce(t);
      ASSERT_TRUE(got[k].complete);
      ASSERT_EQ(got[k].found, std::isfinite(expected)) << "trial " << trial;
      if (!got[k].found) continue;
      EXPECT_NEAR(got[k].value, expected, 1e-7) << "trial " << trial;
      EXPECT_NEAR(ValueOf(t, got[k].counts), got[k].value, 1e-7) << "trial " << trial;
      EXPECT_TRUE(Obeys(t, got[k].counts)) << "trial " << trial;
      for (const Counts& more : got[k].more) {
        EXPECT_TRUE(Obeys(t, more)) << "trial " << trial;
        EXPECT_GT(ValueOf(t, more), t.threshold) << "trial " << trial;
        EXPECT_NE(more, got[k].counts) << "trial " << trial;
      }
    }
  }
}

// The table fills whole words of loads 64 at a time where a lot is at
// least a word long: lengths and load limits on each side of a word's
// edge, against the enumeration; the pattern read back from the table's
// bits must be worth what the table says.
TEST(Pricing, TableAtWordEdges) {
  const int32_t works[] = {1, 63, 64, 65, 127, 128, 129, 191, 192};
  const int64_t loads[] = {63, 64, 65, 127, 128, 129, 255, 256, 640, 1000};
  std::mt19937 rng(20261209);
  const auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
  for (const int64_t load : loads) {
    for (int trial = 0; trial < 40; ++trial) {
      PricingTask t;
      t.capacity = t.loadLimit = load;
      for (int i = pick(1, 4); i > 0; --i) {
        t.work.push_back(works[pick(0, 8)]);
        t.bound.push_back(pick(1, 6));
        t.profit.push_back(pick(1, 40) * 0.5);
      }
      t.threshold = pick(0, 10) * 1.5;
      const std::string where = "load " + std::to_string(load) + " trial " + std::to_string(trial);
      const double expected = BruteForce(t);
      const PricingResult got = PriceByTable({t}, 4).front();
      ASSERT_EQ(got.found, std::isfinite(expected)) << where;
      if (!got.found) continue;
      EXPECT_NEAR(got.value, expected, 1e-9) << where;
      EXPECT_NEAR(ValueOf(t, got.counts), got.value, 1e-9) << where;
      EXPECT_TRUE(Obeys(t, got.counts)) << where;
      for (const Counts& more : got.more) {
        EXPECT_TRUE(Obeys(t, more)) << where;
        EXPECT_GT(ValueOf(t, more), t.threshold) << where;
      }
    }
  }
}

// The table leaves the rules it does not model to the branch and bound.
TEST(Pricing, TableOnlyWithoutBarRules) {
  PricingTask t;
  t.capacity = t.loadLimit = 1000;
  t.work = {100, 200};
  t.bound = {3, 3};
  t.profit = {1, 2};
  EXPECT_TRUE(TableApplies(t));
  const struct {
    const char* rule;
    void (*set)(PricingTask&);
  } rules[] = {
      {"gripping length", [](PricingTask& x) { x.grip = 50; }},
      {"pieces per layout", [](PricingTask& x) { x.maxPieces = 2; }},
      {"different pieces", [](PricingTask& x) { x.diffPieces = 1; }},
      {"a load beyond the table", [](PricingTask& x) { x.capacity = x.loadLimit = 5000000; }},
  };
  for (const auto& r : rules) {
    PricingTask with = t;
    r.set(with);
    EXPECT_FALSE(TableApplies(with)) << r.rule;
  }
  const std::vector<Counts> forbidden{{1, 0}};
  t.forbidden = &forbidden;
  EXPECT_FALSE(TableApplies(t)) << "forbidden patterns";
}

// Pricing by pairs of types, on long bars that hold at most four pieces,
// against the enumeration and the table, in shapes that stress the halves:
// bounds of one (a type in both halves would break them), equal lengths,
// bars filled exactly, values that are not positive.
TEST(Pricing, PairsEqualTheEnumeration) {
  std::mt19937 rng(20261209);
  const auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
  const struct {
    const char* shape;
    int loadFrom, loadTo;
    int (*work)(int load, int i, const std::function<int(int, int)>& pick);
    int boundFrom, boundTo;
    bool someNotPositive;
  } shapes[] = {
      {"long pieces", 1000, 100000,
       [](int load, int, const std::function<int(int, int)>& p) { return p(load / 5 + 1, load); },
       0, 3, false},
      {"bounds of one", 1000, 100000,
       [](int load, int, const std::function<int(int, int)>& p) { return p(load / 5 + 1, load); },
       1, 1, false},
      {"equal lengths", 1000, 100000,
       [](int load, int, const std::function<int(int, int)>&) { return load / 4; }, 1, 4, false},
      {"bars filled exactly", 12, 1200,
       [](int load, int, const std::function<int(int, int)>& p) {
         const int parts[] = {4, 3, 2};
         return load / 12 * 12 / parts[p(0, 2)];
       },
       0, 4, false},
      {"values not positive", 1000, 100000,
       [](int load, int, const std::function<int(int, int)>& p) { return p(load / 5 + 1, load); },
       0, 3, true},
  };
  const std::function<int(int, int)> pickFn = pick;
  for (const auto& shape : shapes) {
    for (int trial = 0; trial < 150; ++trial) {
      PricingTask t;
      t.capacity = t.loadLimit = pick(shape.loadFrom, shape.loadTo);
      const int n = pick(1, 6);
      for (int i = 0; i < n; ++i) {
        t.work.push_back(shape.work(static_cast<int>(t.loadLimit), i, pickFn));
        t.bound.push_back(pick(shape.boundFrom, shape.boundTo));
        const int lowest = shape.someNotPositive ? -3 : 1;
        t.profit.push_back(pick(lowest, 12) * 2.5 + pick(0, 3) * 0.125);
      }
      t.threshold = pick(-1, 16) * 2.5;
      const std::string where = std::string(shape.shape) + " trial " + std::to_string(trial);
      const double expected = BruteForce(t);
      const PricingResult got = PriceByPairs(t, 3);
      const PricingResult table = PriceByTable({t}, 0).front();
      ASSERT_TRUE(got.complete) << where;
      ASSERT_EQ(got.found, std::isfinite(expected)) << where;
      ASSERT_EQ(got.found, table.found) << where;
      if (!got.found) continue;
      EXPECT_NEAR(got.value, expected, 1e-7) << where;
      EXPECT_NEAR(got.value, table.value, 1e-7) << where;
      EXPECT_NEAR(ValueOf(t, got.counts), got.value, 1e-7) << where;
      EXPECT_TRUE(Obeys(t, got.counts)) << where;
      EXPECT_LE(got.more.size(), 3u) << where;
      double before = got.value;
      for (size_t k = 0; k < got.more.size(); ++k) {
        const Counts& more = got.more[k];
        EXPECT_TRUE(Obeys(t, more)) << where;
        EXPECT_GT(ValueOf(t, more), t.threshold) << where;
        EXPECT_LE(ValueOf(t, more), before + 1e-9) << where;  // best first
        before = ValueOf(t, more);
        EXPECT_NE(more, got.counts) << where;
        for (size_t j = 0; j < k; ++j) EXPECT_NE(more, got.more[j]) << where;
      }
    }
  }
}

// Pairs price a task only where the table would, at most four pieces fit
// one bar (the bounds counted), and the pairs cost less than the table.
TEST(Pricing, PairsOnlyWhereFewPiecesFit) {
  PricingTask base;
  base.capacity = base.loadLimit = 1000000;
  base.work = {300000, 260000, 210000};
  base.bound = {2, 3, 1};
  base.profit = {3, 2.5, 2};
  // The five lightest pieces: 210000 + 3 x 260000 + 300000 > 1000000.
  EXPECT_TRUE(PairsApply(base));
  const auto add = [](PricingTask& t, int32_t work, int32_t bound, double profit) {
    t.work.push_back(work);
    t.bound.push_back(bound);
    t.profit.push_back(profit);
  };
  const auto retype = [](PricingTask& t, int64_t load, int types, int32_t from) {
    t.capacity = t.loadLimit = load;
    t.work.clear();
    t.bound.clear();
    t.profit.clear();
    for (int i = 0; i < types; ++i) {
      t.work.push_back(from + i * 10);
      t.bound.push_back(1);
      t.profit.push_back(1);
    }
  };
  const struct {
    const char* change;
    std::function<void(PricingTask&)> set;
    bool applies;
  } cases[] = {
      {"five pieces fill the bar exactly", [&](PricingTask& t) { add(t, 200000, 5, 1); }, false},
      {"five pieces fit over two types", [&](PricingTask& t) { add(t, 190000, 4, 1); }, false},
      {"the bound keeps it to four", [&](PricingTask& t) { add(t, 200000, 4, 1); }, true},
      {"the load keeps it to four",
       [&](PricingTask& t) {
         t.loadLimit = 999999;
         add(t, 200000, 5, 1);
       },
       true},
      {"a short piece worth nothing is never cut", [&](PricingTask& t) { add(t, 1000, 9, 0); },
       true},
      {"gripping length", [](PricingTask& t) { t.grip = 500; }, false},
      {"pieces per layout", [](PricingTask& t) { t.maxPieces = 3; }, false},
      {"a short bar, where the table is cheap", [&](PricingTask& t) { retype(t, 100, 3, 21); },
       false},
      {"a hundred types", [&](PricingTask& t) { retype(t, 20000, 100, 4001); }, true},
      {"so many types that their pairs cost more than the table",
       [&](PricingTask& t) { retype(t, 20000, 400, 4001); }, false},
  };
  for (const auto& c : cases) {
    PricingTask t = base;
    c.set(t);
    EXPECT_EQ(PairsApply(t), c.applies) << c.change;
  }
  const std::vector<Counts> forbidden{{1, 0, 0}};
  base.forbidden = &forbidden;
  EXPECT_FALSE(PairsApply(base)) << "forbidden patterns";
}

// Bars of several lengths: by pairs when every length allows it, else all
// by the table; either way each length gets its own best pattern.
TEST(Pricing, SeveralLengthsByPairsOrTable) {
  PricingTask base;
  base.work = {300000, 260000, 210000, 450000};
  base.bound = {2, 3, 1, 1};
  base.profit = {3.1, 2.5, 2.2, 4.4};
  base.threshold = 5;
  for (const int64_t shortest : {600000, 1000}) {
    std::vector<PricingTask> tasks;
    for (const int64_t load : {int64_t{1000000}, int64_t{900000}, shortest}) {
      PricingTask t = base;
      t.capacity = t.loadLimit = load;
      tasks.push_back(t);
    }
    const std::vector<PricingResult> got = PriceWithoutRules(tasks, 2);
    ASSERT_EQ(got.size(), tasks.size());
    for (size_t k = 0; k < tasks.size(); ++k) {
      const double expected = BruteForce(tasks[k]);
      ASSERT_TRUE(got[k].complete);
      ASSERT_EQ(got[k].found, std::isfinite(expected)) << tasks[k].loadLimit;
      if (got[k].found) {
        EXPECT_NEAR(got[k].value, expected, 1e-9) << tasks[k].loadLimit;
      }
      for (const Counts& more : got[k].more) EXPECT_TRUE(Obeys(tasks[k], more));
    }
  }
}

// With the table, each length also gets its best pattern of the piece
// types that no length's best pattern holds, when that one prices out.
TEST(Pricing, TableAddsTheBestPatternOfOtherPieces) {
  std::mt19937 rng(20261210);
  const auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
  int compared = 0;
  for (int trial = 0; trial < 300; ++trial) {
    PricingTask base;
    for (int i = pick(2, 6); i > 0; --i) {
      base.work.push_back(pick(20, 300));
      base.bound.push_back(pick(1, 4));
      base.profit.push_back(pick(1, 30) * 0.5);
    }
    base.threshold = pick(0, 8) * 1.0;
    std::vector<PricingTask> tasks;
    for (int k = pick(1, 3); k > 0; --k) {
      PricingTask t = base;
      t.capacity = t.loadLimit = pick(100, 900);
      tasks.push_back(t);
    }
    ASSERT_FALSE(PairsApply(tasks.front()));
    const std::vector<PricingResult> got = PriceWithoutRules(tasks, 0);
    std::vector<bool> used(base.work.size(), false);
    for (const PricingResult& r : got) {
      for (size_t i = 0; r.found && i < used.size(); ++i) used[i] = used[i] || r.counts[i] > 0;
    }
    for (size_t k = 0; k < tasks.size(); ++k) {
      PricingTask other = tasks[k];
      for (size_t i = 0; i < used.size(); ++i) {
        if (used[i]) other.bound[i] = 0;
      }
      const double expected = BruteForce(other);
      const std::string where = "trial " + std::to_string(trial) + " length " + std::to_string(k);
      if (!std::isfinite(expected)) {
        EXPECT_TRUE(got[k].more.empty()) << where;
        continue;
      }
      ++compared;
      ASSERT_EQ(got[k].more.size(), 1u) << where;
      EXPECT_TRUE(Obeys(other, got[k].more.back())) << where;
      EXPECT_NEAR(ValueOf(other, got[k].more.back()), expected, 1e-9) << where;
    }
  }
  EXPECT_GT(compared, 50);
}

// Long bars in fine units cost the branch and bound nothing extra: a 6 m
// bar in hundredths of a millimetre with 20 part types prices at once.
TEST(Pricing, LongBarsInFineUnits) {
  PricingTask t;
  t.capacity = t.loadLimit = 600000;
  for (int i = 0; i < 20; ++i) {
    t.work.push_back(31130 + i * 12347);
    t.bound.push_back(5);
    t.profit.push_back((31130 + i * 12347) * (1.0 + 0.01 * ((i * 7) % 5)));
  }
  t.threshold = 600000;
  const PricingResult r = PriceBestPattern(t);
  EXPECT_TRUE(r.complete);
  EXPECT_TRUE(r.found);
  EXPECT_LT(r.nodes, 200000);
}

}  // namespace
}  // namespace exact_test
