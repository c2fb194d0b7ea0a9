#include "stock_input.h"

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "frontend_fixture.h"
#include "order_input.h"
#include "solver_call.h"

namespace tarvolin {
namespace {

using test_support::FrontEndTest;
using test_support::WriteFile;

class StockInputTest : public FrontEndTest {
 protected:
  void SetUp() override {
    FrontEndTest::SetUp();
    run.orderFile = "QM_Orders1.txt";
    run.stockFile = "QM_Stocks1.txt";
  }
  // Reads the first material of the orders, then its stock.
  bool Pass(const std::string& orders, const std::string& stocks) {
    WriteFile(run.orderFile, orders);
    WriteFile(run.stockFile, stocks);
    StartMaterialPass(run);
    if (!ReadOrderPass(run, tk)) return false;
    return ReadStockPass(run, tk);
  }
  const StockGroup& Group(int i) const { return run.pass.stockGroups[i]; }
  std::vector<int> Quantities() const {
    std::vector<int> q;
    for (int i = 1; i <= run.pass.stockGroupCount; ++i) q.push_back(Group(i).quantity);
    return q;
  }
  std::vector<std::string> Warnings() const {
    std::vector<std::string> texts;
    for (const auto& box : tk.boxes)
      if (box.kind == BoxKind::Warning) texts.push_back(box.text);
    return texts;
  }
};

TEST_F(StockInputTest, GroupsOfTheCurrentMaterialWithOptionalCost) {
  ASSERT_TRUE(Pass("h\r\nA x 4 10\r\n",
                   "Material Profile Length Qty Cost\r\n"
                   "B y 6000 1\r\n"
                   "A x 10 2\r\n"
                   "A  x\t12.5 3 2,50\r\n"
                   "B y nonsense -1 abc\r\n"
                   "A x 15 1 1.5\r\n"));
  ASSERT_EQ(run.pass.stockGroupCount, 3);
  EXPECT_EQ(Group(1).length, 1000);
  EXPECT_EQ(Group(1).cost, 0);
  EXPECT_EQ(Group(1).quantity, 2);
  EXPECT_EQ(Group(2).length, 1250);
  EXPECT_EQ(Group(2).cost, 250);
  EXPECT_EQ(Group(2).quantity, 3);
  EXPECT_EQ(Group(2).sourceLine, "A  x\t12.5 3 2,50");
  EXPECT_EQ(Group(2).materialKey, "A x");
  EXPECT_EQ(Group(3).cost, 150);
  EXPECT_EQ(run.pass.stockQuantitySum, 6);
  EXPECT_EQ(run.pass.stockLengthSum, 1000 * 2 + 1250 * 3 + 1500);
  EXPECT_EQ(run.pass.stockCostSum, 250 * 3 + 150);
  EXPECT_TRUE(tk.boxes.empty());
}

TEST_F(StockInputTest, MaterialWithoutStockLeavesNoGroup) {
  ASSERT_TRUE(Pass("h\nA x 4 10\n", "h\nB y 10 5\n"));
  EXPECT_EQ(run.pass.stockGroupCount, 0);
  EXPECT_EQ(run.pass.stockLengthSum, 0);
  EXPECT_FALSE(tk.Terminating());
}

TEST_F(StockInputTest, QuantitiesAreCappedToTheBarDemand) {
  struct Case {
    const char* what;
    const char* orders;
    int32_t gripLength, endZone, kerf;
    int expected;
  };
  const Case cases[] = {
      {"three short parts", "h\nA x 1 3\n", 0, 0, 0, 1},
      {"two per bar", "h\nA x 4 10\n", 0, 0, 0, 7},
      {"spare places", "h\nA x 4 10\nA x 1.5 5\n", 0, 0, 0, 8},
      {"end zone", "h\nA x 4 10\n", 0, 300, 0, 14},
      {"gripping length", "h\nA x 4 10\n", 600, 0, 0, 14},
      {"kerf", "h\nA x 4 10\n", 0, 0, 100, 7},
      {"no part fits", "h\nA x 11 10\n", 0, 0, 0, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    run.opt.gripLength = c.gripLength;
    run.opt.endZone = c.endZone;
    run.opt.kerf = c.kerf;
    run.checked = 0;
    ASSERT_TRUE(Pass(c.orders, "h\nA x 10 500\n"));
    ASSERT_EQ(run.pass.stockGroupCount, 1);
    EXPECT_EQ(Group(1).quantity, c.expected);
    EXPECT_EQ(run.pass.stockQuantitySum, c.expected);
  }
}

// Twenty pieces of 5 and ten of 7 on bars of 60: by length five or six
// pieces share a bar, so six bars would do; with at most three pieces per
// bar the thirty pieces need ten, and the cap must leave at least that many.
TEST_F(StockInputTest, TheCapLeavesEnoughBarsForThePiecesPerLayoutLimit) {
  for (const int maxPieces : {2, 3, 4}) {
    SCOPED_TRACE(maxPieces);
    run.opt.maxPiecesPerLayout = maxPieces;
    run.checked = 0;
    ASSERT_TRUE(Pass("h\nA x 5 20\nA x 7 10\n", "h\nA x 60 100\n"));
    EXPECT_GE(Group(1).quantity, (30 + maxPieces - 1) / maxPieces);
  }
}

TEST_F(StockInputTest, TheCapComesBeforeTheBarLimit) {
  ASSERT_TRUE(Pass("h\nA x 4 10\n", "h\nA x 10 500\nA x 10 200\n"));
  EXPECT_EQ(run.pass.stockQuantitySum, 14);
}

// Lines that together offer more than 100 bars give up bars, the largest
// quantity first and the later line of equal ones first, down to 100 in
// all; a line whose bars some pieces need keeps enough of them for a bar
// each.
TEST_F(StockInputTest, QuantitiesAboveTheBarLimitAreLoweredToFit) {
  struct Case {
    const char* what;
    const char* orders;
    const char* stocks;
    std::vector<int> expected;
  };
  const Case cases[] = {
      {"six lines of twenty",
       "h\nA x 13 90\n",
       "h\nA x 60 20\nA x 50 20\nA x 40 20\nA x 30 20\nA x 65 20\nA x 70 20\n",
       {17, 17, 17, 17, 16, 16}},
      {"uneven lines", "h\nA x 13 90\n", "h\nA x 14 10\nA x 14 70\nA x 14 30\n", {10, 60, 30}},
      // The fifty long pieces fit only the bars of 60, one each.
      {"long pieces keep their bars",
       "h\nA x 55 50\nA x 40 50\n",
       "h\nA x 45 50\nA x 60 50\nA x 44 10\n",
       {40, 50, 10}},
      // A hundred pieces need a bar each, and every line keeps one: the
      // last bar goes all the same.
      {"a bar each for a hundred pieces",
       "h\nA x 6 100\n",
       "h\nA x 10 60\nA x 10 50\nA x 5 3\n",
       {50, 49, 1}},
      {"exactly 100 stay", "h\nA x 13 90\n", "h\nA x 14 50\nA x 14 50\n", {50, 50}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    run.checked = 0;
    tk.boxes.clear();
    ASSERT_TRUE(Pass(c.orders, c.stocks));
    EXPECT_EQ(Quantities(), c.expected);
    EXPECT_LE(run.pass.stockQuantitySum, 100);
  }
}

TEST_F(StockInputTest, LoweredQuantitiesAreWarnedWithTheirLines) {
  ASSERT_TRUE(Pass("h\nA x 13 90\n", "h\nA x 14 10\n\nA x 14 70\nA x 14 30\nB y 60 500\n"));
  EXPECT_EQ(run.pass.stockQuantitySum, 100);
  EXPECT_EQ(run.pass.stockLengthSum, 1400 * 100);
  EXPECT_EQ(Warnings(),
            std::vector<std::string>{"Stock quantities lowered to the program limit of 100 bars\r"
                                     "Mater/Sect: A x\r"
                                     "Stock group 2, line 4: 70 bars -> 60"});
}

// Random orders of up to 90 pieces against random stock in which one line
// alone could cut every piece, with and without a pieces-per-layout limit:
// what is offered fits the bar limit and the solver, at a low effort, still
// cuts every piece. Every bar is longer than the end zone.
TEST_F(StockInputTest, LoweredStockStillCutsEveryPiece) {
  std::mt19937 random(20261208);
  const auto draw = [&](int lo, int hi) { return std::uniform_int_distribution<>(lo, hi)(random); };
  const SolverContext context{TarvolinCreateContext()};
  int lowered = 0;
  for (int round = 0; round < 50; ++round) {
    SCOPED_TRACE(round);
    run.opt = OptimizerSettings{};
    run.opt.effortLevel = 1;
    run.opt.kerf = draw(0, 2) * 10;
    run.opt.endZone = draw(0, 3) * 100;
    run.opt.maxPiecesPerLayout = draw(0, 1) * draw(2, 6);
    std::string orders = "h\n";
    int pieces = 0, longest = 0;
    for (int g = draw(1, 8); g > 0 && pieces < 90; --g) {
      const int length = draw(1, 60), quantity = draw(1, std::min(40, 90 - pieces));
      orders += "A x " + std::to_string(length) + " " + std::to_string(quantity) + "\n";
      pieces += quantity;
      longest = std::max(longest, length);
    }
    std::string stocks = "h\n";
    const int lines = draw(2, 10), ample = draw(1, lines);
    for (int line = 1; line <= lines; ++line) {
      const int length = line == ample ? longest + 3 + draw(0, 60) : draw(4, 120);
      const int quantity = line == ample ? 100 : draw(1, 60);
      stocks += "A x " + std::to_string(length) + " " + std::to_string(quantity) + "\n";
    }
    run.checked = 0;
    tk.boxes.clear();
    ASSERT_TRUE(Pass(orders, stocks)) << orders << stocks;
    EXPECT_LE(run.pass.stockQuantitySum, 100);
    lowered += Warnings().empty() ? 0 : 1;
    SolverResults r;
    ASSERT_EQ(CallSolver(context.get(), nullptr, BuildSolverSettings(run.opt, 0, false),
                         BuildSolverProblem(run.pass), r),
              0)
        << orders << stocks;
    int uncut = 0;
    for (int piece = 1; piece <= PieceCount(r); ++piece) uncut += r.partItemStock[piece] == 0;
    EXPECT_EQ(PieceCount(r), pieces);
    EXPECT_EQ(uncut, 0) << orders << stocks << ::testing::PrintToString(Quantities());
  }
  EXPECT_GT(lowered, 10);  // the rounds do exercise the lowering
}

// The kerf and the cost mode can make a material's stock unusable or its
// costs meaningless: each is warned, and the material is read all the same.
TEST_F(StockInputTest, UnusableStockIsWarned) {
  struct Case {
    const char* what;
    int32_t kerf;
    int32_t optimizeCost;
    const char* stocks;
    std::vector<std::string> warnings;
  };
  const std::string kerf = "Kerf is at least as long as every stock length\rMater/Sect: A x";
  const std::string cost =
      "Cost optimization is on, but no stock line gives a cost\rMater/Sect: A x";
  const Case cases[] = {
      {"kerf below the longest bar", 1199, 0, "h\nA x 10 1\nA x 12 1\n", {}},
      {"kerf as long as the longest bar", 1200, 0, "h\nA x 10 1\nA x 12 1\n", {kerf}},
      {"kerf longer than every bar", 5000, 0, "h\nA x 10 1\nA x 12 1\n", {kerf}},
      {"costs without cost mode", 0, 0, "h\nA x 10 1\n", {}},
      {"cost mode without costs", 0, 1, "h\nA x 10 1\nA x 12 1 0\n", {cost}},
      {"cost mode with one cost", 0, 1, "h\nA x 10 1\nA x 12 1 0.01\n", {}},
      {"both", 1200, 1, "h\nA x 10 1\nA x 12 1\n", {kerf, cost}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    run.opt.kerf = c.kerf;
    run.opt.optimizeCost = c.optimizeCost;
    run.checked = 0;
    tk.boxes.clear();
    ASSERT_TRUE(Pass("h\nA x 4 1\n", c.stocks));
    EXPECT_EQ(Warnings(), c.warnings);
  }
}

TEST_F(StockInputTest, AMaterialWithoutStockHasNothingToWarn) {
  run.opt.kerf = 5000;
  run.opt.optimizeCost = 1;
  ASSERT_TRUE(Pass("h\nA x 4 1\n", "h\nB y 10 1\n"));
  EXPECT_TRUE(tk.boxes.empty());
}

struct FatalCase {
  const char* what;
  std::string orders;
  std::string stocks;
  std::string message;
};

void PrintTo(const FatalCase& c, std::ostream* os) {
  *os << c.what;
}

class StockFatalTest : public StockInputTest, public ::testing::WithParamInterface<FatalCase> {};

TEST_P(StockFatalTest, EndsTheRunWithTheMessage) {
  EXPECT_FALSE(Pass(GetParam().orders, GetParam().stocks));
  ExpectEndedWith(GetParam().message);
}

std::string ElevenLines() {
  std::string s = "h\n";
  for (int i = 0; i < 11; ++i) s += "A x 10 1\n";
  return s;
}

std::string FiftyOneFields() {
  std::string s = "h\nB";
  for (int i = 0; i < 50; ++i) s += " f";
  return s + "\n";
}

const std::string kOrders = "h\nA x 4 10\n";
const std::string kTail = "\rSee stock group: 1\rSee line: 2\rMater/Sect: A x";

INSTANTIATE_TEST_SUITE_P(
    Stock, StockFatalTest,
    ::testing::Values(
        FatalCase{"eleven groups", kOrders, ElevenLines(),
                  "Too many stock input lines/groups\rSee stock group: 11\rSee line: 12\r"
                  "Mater/Sect: A x\rThe exact method (QM_OptSet.txt line 14 = 1) plans up to "
                  "1000 lines"},
        FatalCase{"length 0", kOrders, "h\nA x 0 1\n",
                  "Error reading stock input file.\rAll stock lengths must be positive\rand "
                  "have proper format." +
                      kTail},
        FatalCase{"length missing", kOrders, "h\nA x\n",
                  "Error reading stock input file.\rAll stock lengths must be positive\rand "
                  "have proper format." +
                      kTail},
        FatalCase{"cost -1", kOrders, "h\nA x 10 1 -1\n",
                  "Error reading stock input file.\rAll stock costs must be positive\rand have "
                  "proper format." +
                      kTail},
        FatalCase{"cost unreadable", kOrders, "h\nA x 10 1 abc\n",
                  "Error reading stock input file.\rAll stock costs must be positive\rand have "
                  "proper format." +
                      kTail},
        FatalCase{"quantity 0", kOrders, "h\nA x 10 0\n",
                  "Error reading stock input file.\rAll stock quantities must be positive "
                  "integers." +
                      kTail},
        FatalCase{"quantity unreadable", kOrders, "h\nA x 10 1.5\n",
                  "Error reading stock input file.\rAll stock quantities must be positive "
                  "integers." +
                      kTail},
        FatalCase{"total length", "h\nA x 6000000 2\n", "h\nA x 10000000 2\n",
                  "Stock total length exceeds limit: \r20000000" + kTail +
                      "\rThe exact method (QM_OptSet.txt line 14 = 1) plans any total length"},
        FatalCase{"total cost", kOrders, "h\nA x 10 1 20000000\n",
                  "Stock total cost exceeds limit: \r20000000" + kTail +
                      "\rThe exact method (QM_OptSet.txt line 14 = 1) plans any total cost"},
        FatalCase{"one-word line", kOrders, "h\nA x 10 1\nLonely\nA x 12 1\n",
                  "Error open/read stock input file"},
        FatalCase{"more than 50 fields", kOrders, FiftyOneFields(),
                  "Error reading stock input file.\rMore than 50 fields in one line.\r"
                  "See line: 2"}),
    test_support::NameFromWhat<FatalCase>);

std::string StockLines(int count, const std::string& line) {
  std::string s = "h\n";
  for (int i = 0; i < count; ++i) s += line + "\n";
  return s;
}

// With the exact method, stock is lowered to the search's 100 bars only for
// a material the search plans; beyond the search's limits, the bar-demand
// cap alone limits what is offered.
TEST_F(StockInputTest, TheExactMethodLowersStockOnlyForTheSearch) {
  // 100 pieces of 500.00 need 50 bars of 1000.00: the bound caps a line at
  // 70 (101 pieces: 71); 100 pieces of 100000.00 need 50 bars of 250000.00,
  // 70 again, and 100 of those pass the search's total length.
  const std::string pieces = "h\nA x 500 100\n";
  const struct {
    const char* what;
    std::string orders;
    std::string stocks;
    std::vector<int> quantities;
    bool beyond;
  } cases[] = {
      {"within the search: lowered to 100 bars",
       pieces,
       StockLines(2, "A x 1000 80"),
       {50, 50},
       false},
      {"eleven lines: beyond the search", "h\nA x 10 100\n", StockLines(11, "A x 1000 1"),
       std::vector<int>(11, 1), true},
      {"order beyond the search: not lowered",
       "h\nA x 500 100\nA x 500 1\n",
       StockLines(2, "A x 1000 80"),
       {71, 71},
       true},
      {"total length beyond the search: not lowered",
       "h\nA x 100000 100\n",
       StockLines(2, "A x 250000 80"),
       {70, 70},
       true},
  };
  run.opt.method = kMethodExact;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    run.checked = 0;
    ASSERT_TRUE(Pass(c.orders, c.stocks));
    EXPECT_EQ(Quantities(), c.quantities);
    EXPECT_EQ(run.pass.beyondSearch, c.beyond);
  }
}

TEST_F(StockInputTest, TheExactMethodsLimitsOnStock) {
  run.opt.method = kMethodExact;
  ASSERT_TRUE(Pass("h\nA x 10 1\n", StockLines(1000, "A x 1000 5")));
  EXPECT_EQ(run.pass.stockGroupCount, 1000);
  EXPECT_EQ(run.pass.stockQuantitySum, 1000);

  run.checked = 0;
  EXPECT_FALSE(Pass("h\nA x 10 1\n", StockLines(1001, "A x 1000 5")));
  ExpectEndedWith(
      "Too many stock input lines/groups\rSee stock group: 1001\rSee line: 1002\r"
      "Mater/Sect: A x\rThe exact method plans up to 1000 lines");
}

TEST_F(StockInputTest, MissingFileIsAReadError) {
  WriteFile(run.orderFile, kOrders);
  StartMaterialPass(run);
  ASSERT_TRUE(ReadOrderPass(run, tk));
  EXPECT_FALSE(ReadStockPass(run, tk));
  ExpectEndedWith("Error open/read stock input file");
}

}  // namespace
}  // namespace tarvolin

namespace tarvolin {
namespace {

// The remnant store's remnants of the material follow the stock file's
// lines: one group per length, longest first, at cost 0, their identifiers
// in the store's order and as many as the quantity after the cap. Other
// materials' remnants and remnants shorter than every piece (R00004, 700)
// are not offered; with the store off none are.
class RemnantGroupsTest : public StockInputTest {
 protected:
  void SetUp() override {
    StockInputTest::SetUp();
    run.init.keepRemnants = true;
    run.remnants = {{"R00005", "A x", 90000, 12, "-", "-"}, {"R00002", "A x", 150000, 0, "-", "-"},
                    {"R00009", "B y", 300000, 0, "-", "-"}, {"R00001", "A x", 90000, 0, "-", "-"},
                    {"R00003", "A x", 90000, 0, "-", "-"},  {"R00004", "A x", 70000, 0, "-", "-"},
                    {"R00006", "A x", 90000, 0, "-", "-"}};
  }
};

TEST_F(RemnantGroupsTest, OneGroupPerLengthLongestFirstAfterTheStockLines) {
  // Two pieces of 800 take a bar of 900 each: with the bar-demand slack of
  // 1.4, at most 3 (2.8 rounded up) of the four bars of 900 are offered.
  ASSERT_TRUE(Pass("h\r\nA x 800 2\r\n", "h\r\nA x 6000 3 9.5\r\n"));
  ASSERT_EQ(run.pass.stockGroupCount, 3);
  EXPECT_TRUE(Group(1).remnants.empty());
  EXPECT_EQ(Group(2).length, 150000);
  EXPECT_EQ(Group(2).remnants, std::vector<std::string>{"R00002"});
  EXPECT_EQ(Group(3).length, 90000);
  EXPECT_EQ(Group(3).cost, 0);
  EXPECT_EQ(Group(3).quantity, 3);
  EXPECT_EQ(Group(3).remnants, (std::vector<std::string>{"R00005", "R00001", "R00003"}));
  EXPECT_TRUE(OffersRemnants(run.pass));
  // The solver sees the new bar at its length, the remnants at 0.
  EXPECT_EQ(SolverStockCost(run.pass, run.opt, 1), 600000);
  EXPECT_EQ(SolverStockCost(run.pass, run.opt, 3), 0);
  run.opt.optimizeCost = 1;
  EXPECT_EQ(SolverStockCost(run.pass, run.opt, 1), 950);
}

TEST_F(RemnantGroupsTest, TheSearchTakesTheLongestLengthsThatFitItsTenGroups) {
  std::string stock = "h\r\n";
  for (int i = 0; i < 9; ++i) stock += "A x " + std::to_string(6000 + i) + " 1\r\n";
  ASSERT_TRUE(Pass("h\r\nA x 600 2\r\n", stock));
  ASSERT_EQ(run.pass.stockGroupCount, 10);
  EXPECT_EQ(Group(10).remnants, std::vector<std::string>{"R00002"});
  EXPECT_FALSE(run.pass.beyondSearch);
}

TEST_F(RemnantGroupsTest, OffNoRemnantIsOffered) {
  run.init.keepRemnants = false;
  ASSERT_TRUE(Pass("h\r\nA x 800 2\r\n", "h\r\nA x 6000 3\r\n"));
  EXPECT_EQ(run.pass.stockGroupCount, 1);
  EXPECT_FALSE(OffersRemnants(run.pass));
}

}  // namespace
}  // namespace tarvolin
