#include "stock_input.h"

#include <cctype>
#include <string>

#include "frontend_fixture.h"
#include "order_input.h"

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
                  "Mater/Sect: A x"},
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
        // The hundred pieces need a bar each, and the line of short bars
        // keeps the one bar every line keeps.
        FatalCase{"more than 100 bars", "h\nA x 6 100\n", "h\nA x 10 60\nA x 10 50\nA x 5 3\n",
                  "Stocks total number exceeds \rprogram limit:  100\rSee stock group: 3\r"
                  "See line: 4\rMater/Sect: A x"},
        FatalCase{"total length", "h\nA x 6000000 2\n", "h\nA x 10000000 2\n",
                  "Stock total length exceeds limit: \r20000000" + kTail},
        FatalCase{"total cost", kOrders, "h\nA x 10 1 20000000\n",
                  "Stock total cost exceeds limit: \r20000000" + kTail},
        FatalCase{"one-word line", kOrders, "h\nA x 10 1\nLonely\nA x 12 1\n",
                  "Error open/read stock input file"},
        FatalCase{"more than 50 fields", kOrders, FiftyOneFields(),
                  "Error reading stock input file.\rMore than 50 fields in one line.\r"
                  "See line: 2"}),
    [](const ::testing::TestParamInfo<FatalCase>& info) {
      std::string name;
      for (const char* p = info.param.what; *p != '\0'; ++p)
        name += std::isalnum(static_cast<unsigned char>(*p)) ? *p : '_';
      return name;
    });

TEST_F(StockInputTest, MissingFileIsAReadError) {
  WriteFile(run.orderFile, kOrders);
  StartMaterialPass(run);
  ASSERT_TRUE(ReadOrderPass(run, tk));
  EXPECT_FALSE(ReadStockPass(run, tk));
  ExpectEndedWith("Error open/read stock input file");
}

}  // namespace
}  // namespace tarvolin
