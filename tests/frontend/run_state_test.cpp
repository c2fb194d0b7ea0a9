#include "run_state.h"

#include <gtest/gtest.h>

#include <functional>
#include <set>
#include <string>
#include <vector>

namespace tarvolin {
namespace {

std::string Text(int64_t value) {
  return std::to_string(value);
}

// Every field of the writers' record, read as text.
struct RecordField {
  std::string name;
  std::function<std::string(const RunRecord&)> read;
};

const std::vector<RecordField>& RecordFields() {
  static const std::vector<RecordField> fields = {
      {"banner", [](const RunRecord& r) { return r.banner; }},
      {"orderFile", [](const RunRecord& r) { return r.orderFile; }},
      {"stockFile", [](const RunRecord& r) { return r.stockFile; }},
      {"style.totals", [](const RunRecord& r) { return Text(r.style.totals); }},
      {"style.materialColumn", [](const RunRecord& r) { return Text(r.style.materialColumn); }},
      {"style.partsMode", [](const RunRecord& r) { return Text(r.style.partsMode); }},
      {"style.costs", [](const RunRecord& r) { return Text(r.style.costs); }},
      {"style.materialColumnWidth",
       [](const RunRecord& r) { return Text(r.style.materialColumnWidth); }},
      {"style.numberColumnWidth",
       [](const RunRecord& r) { return Text(r.style.numberColumnWidth); }},
      {"settings.optimizeCost", [](const RunRecord& r) { return Text(r.settings.optimizeCost); }},
      {"settings.ignoreLastStock",
       [](const RunRecord& r) { return Text(r.settings.ignoreLastStock); }},
      {"settings.stockLengthPreference",
       [](const RunRecord& r) { return Text(r.settings.stockLengthPreference); }},
      {"settings.reduceLayouts", [](const RunRecord& r) { return Text(r.settings.reduceLayouts); }},
      {"settings.effortLevel", [](const RunRecord& r) { return Text(r.settings.effortLevel); }},
      {"settings.maxDifferentStocks",
       [](const RunRecord& r) { return Text(r.settings.maxDifferentStocks); }},
      {"settings.maxDifferentPieces",
       [](const RunRecord& r) { return Text(r.settings.maxDifferentPieces); }},
      {"settings.bundleSize", [](const RunRecord& r) { return Text(r.settings.bundleSize); }},
      {"settings.maxPiecesPerLayout",
       [](const RunRecord& r) { return Text(r.settings.maxPiecesPerLayout); }},
      {"settings.minReusableLength",
       [](const RunRecord& r) { return Text(r.settings.minReusableLength); }},
      {"settings.kerf", [](const RunRecord& r) { return Text(r.settings.kerf); }},
      {"settings.endZone", [](const RunRecord& r) { return Text(r.settings.endZone); }},
      {"settings.gripLength", [](const RunRecord& r) { return Text(r.settings.gripLength); }},
      {"settings.exactMethod", [](const RunRecord& r) { return Text(r.settings.exactMethod); }},
      {"format.lengthPrecision", [](const RunRecord& r) { return Text(r.format.lengthPrecision); }},
      {"format.costPrecision", [](const RunRecord& r) { return Text(r.format.costPrecision); }},
      {"format.lengthScale", [](const RunRecord& r) { return Text(r.format.lengthScale); }},
      {"format.costScale", [](const RunRecord& r) { return Text(r.format.costScale); }},
      {"format.decimalSeparator",
       [](const RunRecord& r) { return std::string(1, r.format.decimalSeparator); }},
  };
  return fields;
}

// One setting of the run state turned away from its default, and the field
// of the writers' record that must show it.
struct MappingCase {
  std::string field;
  std::function<void(RunState&)> change;
  std::string expected;
};

const std::vector<MappingCase>& MappingCases() {
  static const std::vector<MappingCase> cases = {
      {"banner", [](RunState& s) { s.banner = "Workshop 3"; }, "Workshop 3"},
      {"orderFile", [](RunState& s) { s.orderFile = "QM_Orders7.txt"; }, "QM_Orders7.txt"},
      {"stockFile", [](RunState& s) { s.stockFile = "QM_Stocks2.txt"; }, "QM_Stocks2.txt"},
      {"style.totals", [](RunState& s) { s.init.reportTotals = false; }, "0"},
      {"style.materialColumn", [](RunState& s) { s.init.reportMaterialColumn = false; }, "0"},
      {"style.partsMode", [](RunState& s) { s.init.reportPartsMode = 1; }, "1"},
      {"style.costs", [](RunState& s) { s.init.reportCosts = true; }, "1"},
      {"style.materialColumnWidth", [](RunState& s) { s.init.materialColumnWidth = 23; }, "23"},
      {"style.numberColumnWidth", [](RunState& s) { s.init.numberColumnWidth = 11; }, "11"},
      {"settings.optimizeCost", [](RunState& s) { s.opt.optimizeCost = 1; }, "1"},
      {"settings.ignoreLastStock", [](RunState& s) { s.opt.ignoreLastStock = 0; }, "0"},
      {"settings.stockLengthPreference", [](RunState& s) { s.opt.stockLengthPreference = -4; },
       "-4"},
      {"settings.reduceLayouts", [](RunState& s) { s.opt.reduceLayouts = 3; }, "3"},
      {"settings.effortLevel", [](RunState& s) { s.opt.effortLevel = 9; }, "9"},
      {"settings.maxDifferentStocks", [](RunState& s) { s.opt.maxDifferentStocks = 6; }, "6"},
      {"settings.maxDifferentPieces", [](RunState& s) { s.opt.maxDifferentPieces = 7; }, "7"},
      {"settings.bundleSize", [](RunState& s) { s.opt.bundleSize = 4; }, "4"},
      {"settings.maxPiecesPerLayout", [](RunState& s) { s.opt.maxPiecesPerLayout = 12; }, "12"},
      {"settings.minReusableLength", [](RunState& s) { s.opt.minReusableLength = 45000; }, "45000"},
      {"settings.kerf", [](RunState& s) { s.opt.kerf = 350; }, "350"},
      {"settings.endZone", [](RunState& s) { s.opt.endZone = 500; }, "500"},
      {"settings.gripLength", [](RunState& s) { s.opt.gripLength = 300; }, "300"},
      {"settings.exactMethod", [](RunState& s) { s.opt.method = kMethodExact; }, "1"},
      {"format.lengthPrecision", [](RunState& s) { s.format.lengthPrecision = 3; }, "3"},
      {"format.costPrecision", [](RunState& s) { s.format.costPrecision = 1; }, "1"},
      {"format.lengthScale", [](RunState& s) { s.format.lengthScale = 1000; }, "1000"},
      {"format.costScale", [](RunState& s) { s.format.costScale = 10; }, "10"},
      {"format.decimalSeparator", [](RunState& s) { s.format.decimalSeparator = ','; }, ","},
  };
  return cases;
}

// Each setting changed alone shows in its own field of the record and in no
// other: a field left out keeps the default, two fields swapped show the
// change in the wrong place.
TEST(RunRecordOfTest, EverySettingReachesItsOwnFieldOnly) {
  const RunState unchanged;
  const RunRecord base = RunRecordOf(unchanged);
  for (const MappingCase& c : MappingCases()) {
    SCOPED_TRACE(c.field);
    RunState run;
    c.change(run);
    const RunRecord record = RunRecordOf(run);
    bool found = false;
    for (const RecordField& f : RecordFields()) {
      if (f.name == c.field) {
        found = true;
        ASSERT_NE(f.read(base), c.expected) << "the case must change the field";
        EXPECT_EQ(f.read(record), c.expected);
      } else {
        EXPECT_EQ(f.read(record), f.read(base)) << f.name;
      }
    }
    EXPECT_TRUE(found) << "no such field of the record";
  }
}

// Every field of the record is checked by a case of its own.
TEST(RunRecordOfTest, EveryFieldOfTheRecordHasACase) {
  std::set<std::string> covered;
  for (const MappingCase& c : MappingCases()) covered.insert(c.field);
  for (const RecordField& f : RecordFields()) EXPECT_EQ(covered.count(f.name), 1u) << f.name;
  EXPECT_EQ(covered.size(), RecordFields().size());
}

// Only the exact method is named in the heading; the search, the default,
// is not.
TEST(RunRecordOfTest, TheSearchIsNoExactMethod) {
  RunState run;
  run.opt.method = kMethodSearch;
  EXPECT_FALSE(RunRecordOf(run).settings.exactMethod);
}

}  // namespace
}  // namespace tarvolin
