#include "order_input.h"

#include <string>
#include <vector>

#include "frontend_fixture.h"

namespace tarvolin {
namespace {

using test_support::FrontEndTest;
using test_support::WriteFile;

class OrderInputTest : public FrontEndTest {
 protected:
  void SetUp() override {
    FrontEndTest::SetUp();
    run.orderFile = "QM_Orders1.txt";
  }
  void WriteOrders(const std::string& content) { WriteFile(run.orderFile, content); }
  bool Pass() {
    StartMaterialPass(run);
    return ReadOrderPass(run, tk);
  }
  const PartGroup& Group(int i) const { return run.pass.partGroups[i]; }
};

TEST_F(OrderInputTest, BlankTabSeparatorsAndDecimalCommaGiveTheSameGroup) {
  WriteOrders(
      "Material Profile Length Qty Mark\r\n"
      "Steel 40x40 1250.5 12 A17\r\n"
      "Steel  \t40x40\t\t1250,5  12 \tA17 extra fields\r\n");
  ASSERT_TRUE(Pass());
  EXPECT_EQ(run.pass.material, "Steel 40x40");
  ASSERT_EQ(run.pass.partGroupCount, 2);
  for (int i = 1; i <= 2; ++i) {
    EXPECT_EQ(Group(i).materialKey, "Steel 40x40");
    EXPECT_EQ(Group(i).length, 125050);
    EXPECT_EQ(Group(i).quantity, 12);
    EXPECT_EQ(Group(i).mark, "A17");
    EXPECT_EQ(Group(i).markId, 1);
  }
  EXPECT_EQ(Group(2).sourceLine, "Steel  \t40x40\t\t1250,5  12 \tA17 extra fields");
  EXPECT_EQ(run.pass.partQuantitySum, 24);
  EXPECT_EQ(run.pass.partLengthSum, 2 * 125050 * 12);
  EXPECT_EQ(run.checked, 1);
  EXPECT_TRUE(tk.boxes.empty());
}

TEST_F(OrderInputTest, MaterialsArePassedInOrderOfFirstAppearance) {
  WriteOrders("header\nA x 10 1\nB x 20 2\nA x 30 3\n\n");
  ASSERT_TRUE(Pass());
  EXPECT_EQ(run.pass.material, "A x");
  ASSERT_EQ(run.pass.partGroupCount, 2);
  EXPECT_EQ(Group(1).length, 1000);
  EXPECT_EQ(Group(2).length, 3000);
  ASSERT_TRUE(Pass());
  EXPECT_EQ(run.pass.material, "B x");
  ASSERT_EQ(run.pass.partGroupCount, 1);
  EXPECT_EQ(Group(1).quantity, 2);
  ASSERT_TRUE(Pass());
  EXPECT_EQ(run.pass.partGroupCount, 0);
  EXPECT_FALSE(run.pass.hasMaterial);
  EXPECT_EQ(run.pass.material, "");
  EXPECT_EQ(run.checked, 2);
  EXPECT_EQ(run.checkedMaterials[1], "A x");
  EXPECT_EQ(run.checkedMaterials[2], "B x");
}

TEST_F(OrderInputTest, MarkIdsFollowFirstAppearanceAndMissingMarksShareOne) {
  WriteOrders("h\nM p 1 1 B\nM p 2 1\nM p 3 1 A\nM p 4 1 B\nM p 5 1\nM p 6 1 b\n");
  ASSERT_TRUE(Pass());
  const int expected[] = {0, 1, 2, 3, 1, 2, 4};
  for (int i = 1; i <= 6; ++i) EXPECT_EQ(Group(i).markId, expected[i]) << i;
  EXPECT_EQ(Group(2).mark, "");
}

TEST_F(OrderInputTest, HeaderIsTheFirstNonEmptyLineWhateverItHolds) {
  WriteOrders("\r\n   \r\n\tA x 10 1\r\nA x 20 2\r\n");
  ASSERT_TRUE(Pass());
  ASSERT_EQ(run.pass.partGroupCount, 1);
  EXPECT_EQ(Group(1).length, 2000);
}

TEST_F(OrderInputTest, KeysAreCutTo32CharactersAndCaseSensitive) {
  WriteOrders(
      "h\n"
      "Aluminium-Profile-Series L-40x40x4-first 10 1\n"
      "Aluminium-Profile-Series L-40x40x4-first 20 1\n"
      "aluminium-Profile-Series L-40x40x4 30 1\n");
  ASSERT_TRUE(Pass());
  EXPECT_EQ(run.pass.material, "Aluminium-Profile-Series L-40x40");
  EXPECT_EQ(run.pass.partGroupCount, 2);
  ASSERT_TRUE(Pass());
  EXPECT_EQ(run.pass.material, "aluminium-Profile-Series L-40x40");
  EXPECT_EQ(run.pass.partGroupCount, 1);
}

TEST_F(OrderInputTest, TextsAreCutAtCharacterBoundaries) {
  std::string mark;
  for (int i = 0; i < 20; ++i) mark += "\xE2\x82\xAC";  // 20 euro signs
  WriteOrders("h\n\xC3\x84rger x 10 1 " + mark + "\n");
  ASSERT_TRUE(Pass());
  EXPECT_EQ(run.pass.material, "\xC3\x84rger x");
  EXPECT_EQ(Group(1).mark, mark.substr(0, 16 * 3));
  std::string longLine = "A x 10 1 ";
  for (int i = 0; i < 300; ++i) longLine += "\xC3\xA9";
  WriteOrders("h\n" + longLine + "\n");
  ASSERT_TRUE(Pass());
  EXPECT_EQ(Group(1).sourceLine, longLine.substr(0, 9 + 245 * 2));
}

// A mark longer than 16 characters is cut with a warning naming the line;
// one of exactly 16 is kept without one.
TEST_F(OrderInputTest, ALongMarkIsCutWithAWarning) {
  run.init.showMessages = false;
  const std::string sixteen = "ABCDEFGHIJKLMNOP";
  WriteOrders("h\nA x 10 1 " + sixteen + "\nA x 20 1 " + sixteen + "Q\nB y 10 1 " +
              std::string(4000, 'M') + "\n");
  ASSERT_TRUE(Pass());
  EXPECT_EQ(Group(1).mark, sixteen);
  EXPECT_EQ(Group(2).mark, sixteen);
  ASSERT_TRUE(Pass());
  EXPECT_EQ(Group(1).mark, std::string(16, 'M'));
  FinishRun(run, tk, false, "");
  EXPECT_EQ(WarningLog(), "Mark cut to 16 characters:\r\n" + sixteen +
                              "\r\nMater/Sect: A x\r\nQM_Orders1.txt\r\nSee line: 3\r\n\r\n"
                              "Mark cut to 16 characters:\r\n" +
                              std::string(16, 'M') +
                              "\r\nMater/Sect: B y\r\nQM_Orders1.txt\r\nSee line: 4\r\n\r\nEND");
}

TEST_F(OrderInputTest, FractionsAndFeet) {
  WriteOrders("h\nA x 12-1/2\" 1\nA x 1'6 1\n");
  ASSERT_TRUE(Pass());
  EXPECT_EQ(Group(1).length, 1250);
  EXPECT_EQ(Group(2).length, 1800);
}

struct FatalCase {
  const char* what;
  std::string content;
  std::string message;
};

void PrintTo(const FatalCase& c, std::ostream* os) {
  *os << c.what;
}

class OrderFatalTest : public OrderInputTest, public ::testing::WithParamInterface<FatalCase> {};

TEST_P(OrderFatalTest, EndsTheRunWithTheMessage) {
  WriteOrders(GetParam().content);
  EXPECT_FALSE(Pass());
  ExpectEndedWith(GetParam().message);
}

std::string Lines(const std::string& line, int count) {
  std::string s = "header\r\n";
  for (int i = 0; i < count; ++i) s += line + "\r\n";
  return s;
}

const std::string kQuantities =
    "Error reading part input file.\rAll part quantities must be positive integers.\r"
    "See part group: 1\rSee line: 2\rMater/Sect: A x";
const std::string kLengths =
    "Error reading part input file.\rAll part lengths must be positive\rand have proper "
    "format.\rSee part group: ";

const std::string kAnyTotalLength =
    "\rThe exact method (QM_OptSet.txt line 14 = 1) plans any total length";

std::string FiftyOneFields() {
  std::string s = "B";
  for (int i = 0; i < 50; ++i) s += " f";
  return s + "\n";
}

std::string ManyMaterials(int count) {
  std::string s = "h\n";
  for (int i = 1; i <= count; ++i) s += "M" + std::to_string(i) + " x 10 1\n";
  return s;
}

INSTANTIATE_TEST_SUITE_P(
    Order, OrderFatalTest,
    ::testing::Values(
        FatalCase{"quantity 0", "h\nA x 10 0\n", kQuantities},
        FatalCase{"quantity -3", "h\nA x 10 -3\n", kQuantities},
        FatalCase{"quantity 2.5", "h\nA x 10 2.5\n", kQuantities},
        FatalCase{"quantity 40000", "h\nA x 10 40000\n",
                  "Error reading part input file.\rAll part quantities must not exceed 32767 on "
                  "one line.\rSee part group: 1\rSee line: 2\rMater/Sect: A x"},
        FatalCase{"quantity missing", "h\nA x 10\n", kQuantities},
        FatalCase{"length 0", "h\nA x 0 1\n", kLengths + "1\rSee line: 2\rMater/Sect: A x"},
        FatalCase{"length negative", "h\nA x 5 1\nA x -5 1\n",
                  kLengths + "2\rSee line: 3\rMater/Sect: A x"},
        FatalCase{"length unreadable", "h\nA x 1.2.3 1\n",
                  kLengths + "1\rSee line: 2\rMater/Sect: A x"},
        FatalCase{"one-word line opens a material", "h\nLonely\nA x 10 1\n",
                  kLengths + "1\rSee line: 2\rMater/Sect: Lonely"},
        FatalCase{"one-word line among a taken material", "h\nA x 10 1\nLonely\nA x 20 1\n",
                  "Error open/read part input file"},
        FatalCase{"21 groups", Lines("A x 10 1", 21),
                  "Too many part input lines/groups\rSee part group: 21\rSee line: 22\r"
                  "Mater/Sect: A x\rThe exact method (QM_OptSet.txt line 14 = 1) plans up to "
                  "10000 lines"},
        FatalCase{"101 pieces", "h\nA x 10 60\nB y 10 99\nA x 10 41\n",
                  "Parts total number exceeds \rprogram limit:  100\rSee part group: 2\r"
                  "See line: 4\rMater/Sect: A x\rThe exact method (QM_OptSet.txt line 14 = 1) "
                  "plans up to 1000000 pieces"},
        FatalCase{"total length", "h\nA x 10000000 2\n",
                  "Part total length exceeds limit: \r20000000\rSee part group: 1\r"
                  "See line: 2\rMater/Sect: A x" +
                      kAnyTotalLength},
        FatalCase{"total length over groups", "h\nA x 10000000 1\nA x 10000000 1\n",
                  "Part total length exceeds limit: \r20000000\rSee part group: 2\r"
                  "See line: 3\rMater/Sect: A x" +
                      kAnyTotalLength},
        FatalCase{"more than 50 fields", "h\nA x 10 1\n" + FiftyOneFields(),
                  "Error reading part input file.\rMore than 50 fields in one line.\r"
                  "See line: 3"}),
    test_support::NameFromWhat<FatalCase>);

// With the exact method, the search's limits only mark the material as one
// the exact method plans alone; its own limits end the run like the search's.
TEST_F(OrderInputTest, TheExactMethodTakesLargerMaterials) {
  const struct {
    const char* what;
    std::string content;
    int groups;
    bool beyond;
  } cases[] = {
      {"20 lines and 100 pieces", Lines("A x 10 5", 20), 20, false},
      {"21 lines", Lines("A x 10 1", 21), 21, true},
      {"101 pieces", "h\nA x 10 60\nA x 10 41\n", 2, true},
      {"total length", "h\nA x 10000000 2\n", 1, true},
      {"10000 lines", Lines("A x 10 1", 10000), 10000, true},
  };
  run.opt.method = kMethodExact;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    run.checked = 0;
    WriteOrders(c.content);
    ASSERT_TRUE(Pass());
    EXPECT_EQ(run.pass.partGroupCount, c.groups);
    EXPECT_EQ(run.pass.beyondSearch, c.beyond);
  }
  EXPECT_EQ(run.pass.partQuantitySum, 10000);
  EXPECT_EQ(Group(10000).length, 1000);
  EXPECT_TRUE(tk.boxes.empty());
}

TEST_F(OrderInputTest, TheTotalLengthOfALargeMaterialIsKeptIn64Bits) {
  run.opt.method = kMethodExact;
  WriteOrders(Lines("A x 10000000 30000", 3));
  ASSERT_TRUE(Pass());
  EXPECT_EQ(run.pass.partLengthSum, int64_t{3} * 1000000000 * 30000);
  EXPECT_EQ(run.pass.partQuantitySum, 90000);
}

struct ExactFatalCase {
  const char* what;
  int32_t bundleSize;  // bars of a stock/cut bundle; 0 none
  std::string content;
  std::string message;
};

void PrintTo(const ExactFatalCase& c, std::ostream* os) {
  *os << c.what;
}

class OrderExactFatalTest : public OrderInputTest,
                            public ::testing::WithParamInterface<ExactFatalCase> {};

TEST_P(OrderExactFatalTest, EndsTheRunWithTheMessage) {
  run.opt.method = kMethodExact;
  run.opt.bundleSize = GetParam().bundleSize;
  WriteOrders(GetParam().content);
  EXPECT_FALSE(Pass());
  ExpectEndedWith(GetParam().message);
}

INSTANTIATE_TEST_SUITE_P(
    Order, OrderExactFatalTest,
    ::testing::Values(
        ExactFatalCase{"10001 lines", 0, Lines("A x 10 1", 10001),
                       "Too many part input lines/groups\rSee part group: 10001\r"
                       "See line: 10002\rMater/Sect: A x\rThe exact method plans up to 10000 "
                       "lines"},
        // 30 lines of 32767 hold 983010 pieces; the 31st passes a million.
        ExactFatalCase{"1000001 pieces", 0, Lines("A x 10 32767", 31),
                       "Parts total number exceeds \rprogram limit:  1000000\rSee part group: "
                       "31\rSee line: 32\rMater/Sect: A x\rThe exact method plans up to "
                       "1000000 pieces"},
        ExactFatalCase{"21 lines with a bundle", 3, Lines("A x 10 1", 21),
                       "Too many part input lines/groups\rSee part group: 21\rSee line: 22\r"
                       "Mater/Sect: A x\rA stock/cut bundle (QM_OptSet.txt line 13) is cut by "
                       "the layout search, which plans up to 20 lines"},
        ExactFatalCase{"101 pieces with a bundle", 2, "h\nA x 10 60\nA x 10 41\n",
                       "Parts total number exceeds \rprogram limit:  100\rSee part group: 2\r"
                       "See line: 3\rMater/Sect: A x\rA stock/cut bundle (QM_OptSet.txt line "
                       "13) is cut by the layout search, which plans up to 100 pieces"},
        ExactFatalCase{"total length with a bundle", 2, "h\nA x 10000000 2\n",
                       "Part total length exceeds limit: \r20000000\rSee part group: 1\r"
                       "See line: 2\rMater/Sect: A x\rA stock/cut bundle (QM_OptSet.txt line "
                       "13) is cut by the layout search"}),
    test_support::NameFromWhat<ExactFatalCase>);

TEST_F(OrderInputTest, MissingFileIsAReadError) {
  run.orderFile = "none.txt";
  EXPECT_FALSE(Pass());
  ExpectEndedWith("Error open/read part input file");
}

TEST_F(OrderInputTest, EachMaterialHasItsOwnPieceLimit) {
  WriteOrders("h\nA x 10 60\nB y 10 99\nA x 10 40\n");
  ASSERT_TRUE(Pass());
  EXPECT_EQ(run.pass.partQuantitySum, 100);
  ASSERT_TRUE(Pass());
  EXPECT_EQ(run.pass.partQuantitySum, 99);
}

TEST_F(OrderInputTest, OtherMaterialsAreCheckedOnlyForTwoFields) {
  WriteOrders("h\nA x 10 1\nB y nonsense -5 whatever\n");
  ASSERT_TRUE(Pass());
  EXPECT_EQ(run.pass.partGroupCount, 1);
}

TEST_F(OrderInputTest, AHundredAndOneMaterialsAreTheLimit) {
  WriteOrders(ManyMaterials(101));
  for (int i = 1; i <= 101; ++i) ASSERT_TRUE(Pass()) << i;
  ASSERT_TRUE(Pass());
  EXPECT_EQ(run.pass.partGroupCount, 0);
  EXPECT_EQ(run.checked, 101);

  WriteOrders(ManyMaterials(102));
  run.checked = 0;
  for (int i = 1; i <= 101; ++i) ASSERT_TRUE(Pass()) << i;
  EXPECT_FALSE(Pass());
  ExpectEndedWith("Materials total number exceeds \rprogram limit:  101\rMater/Sect: M102 x");
}

}  // namespace
}  // namespace tarvolin
