#include "cut_list.h"

#include <gtest/gtest.h>

#include "plan_fixtures.h"

namespace tarvolin::plan {
namespace {

using testing_support::SteelInput;

// The steel fixture: bars 1 and 2 (stock items 1 and 2, 6000) carry two
// pieces of 2500 "A1" (order line 2) and one of 800 (line 5); bar 3 (stock
// item 4, 4000, the last stock, pattern 2) two of 1200.50 (line 3). Kerf 5:
// a piece starts 5 after the end of the one before it; the remainder is the
// bar less its pieces and a kerf after each.
TEST(CutList, OneRowPerPieceFromTheBarsStart) {
  MaterialPlanInput in = SteelInput();
  in.partGroups[1].mark = "B \"22\", left";
  const MaterialPlan plan = BuildMaterialPlan(in);
  const std::string bar1 =
      "STEEL 40x40,1,6000.00,,1,0.00,2500.00,A1,2,185.00\r\n"
      "STEEL 40x40,1,6000.00,,1,2505.00,2500.00,A1,2,185.00\r\n"
      "STEEL 40x40,1,6000.00,,1,5010.00,800.00,,5,185.00\r\n";
  std::string bar2 = bar1;
  for (size_t at = bar2.find(",1,6000"); at != std::string::npos; at = bar2.find(",1,6000"))
    bar2.replace(at, 7, ",2,6000");
  const std::string bar3 =
      "STEEL 40x40,3,4000.00,,L2,0.00,1200.50,\"B \"\"22\"\", left\",3,1589.00\r\n"
      "STEEL 40x40,3,4000.00,,L2,1205.50,1200.50,\"B \"\"22\"\", left\",3,1589.00\r\n";
  const NumberForm point;
  EXPECT_EQ(CutListHeader(point),
            "material,bar,stock_length,remnant,layout,position,length,mark,order_line,"
            "bar_remainder\r\n");
  EXPECT_EQ(CutListRows(point, plan), bar1 + bar2 + bar3);
}

// With a gripping length of 900.00 the 185.00 left behind the pieces of
// bars 1 and 2 cannot be gripped: the last 2500 "A1" (the shortest piece at
// least 900.00 long) is cut last, after the 800. Bar 3 keeps 1589.00, enough
// to grip, and its order.
TEST(CutList, ThePieceInTheGripIsCutLast) {
  MaterialPlanInput in = SteelInput();
  in.endZone = 0;
  in.gripLength = 90000;
  const std::string rows = CutListRows(NumberForm{}, BuildMaterialPlan(in));
  const std::string bar1 =
      "STEEL 40x40,1,6000.00,,1,0.00,2500.00,A1,2,185.00\r\n"
      "STEEL 40x40,1,6000.00,,1,2505.00,800.00,,5,185.00\r\n"
      "STEEL 40x40,1,6000.00,,1,3310.00,2500.00,A1,2,185.00\r\n";
  const std::string bar3 =
      "STEEL 40x40,3,4000.00,,L2,0.00,1200.50,B-22,3,1589.00\r\n"
      "STEEL 40x40,3,4000.00,,L2,1205.50,1200.50,B-22,3,1589.00\r\n";
  EXPECT_EQ(rows.substr(0, bar1.size()), bar1);
  EXPECT_EQ(rows.substr(rows.size() - bar3.size()), bar3);
}

// Where numbers are written with a decimal comma, fields are separated by
// semicolons.
TEST(CutList, DecimalCommaTakesSemicolons) {
  NumberForm comma;
  comma.decimalSeparator = ',';
  EXPECT_EQ(CutListHeader(comma),
            "material;bar;stock_length;remnant;layout;position;length;mark;order_line;"
            "bar_remainder\r\n");
  const std::string rows = CutListRows(comma, BuildMaterialPlan(SteelInput()));
  EXPECT_EQ(rows.substr(0, rows.find("\r\n")), "STEEL 40x40;1;6000,00;;1;0,00;2500,00;A1;2;185,00");
}

TEST(CutList, AMaterialWithoutAPlanHasNoRows) {
  const MaterialPlan failed = FailedMaterialPlan("A x", "heuristic", {{100000, "", 2, 2}},
                                                 {PlanError::Kind::kNoStock, {}, "none"});
  EXPECT_EQ(CutListRows(NumberForm{}, failed), "");
}

}  // namespace
}  // namespace tarvolin::plan
