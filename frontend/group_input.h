// The reading that the order file and the stock file share: the walk over
// the data lines of the current material, the group limit, the reading-error
// count, the checks of the fields every group has (length and quantity), the
// pass totals, and the messages with the file's own words.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "input_files.h"
#include "input_text.h"
#include "run_state.h"
#include "toolkit.h"

namespace tarvolin {

// What tells the two files apart in the shared reading.
struct GroupFile {
  std::string_view kind;   // "part" or "stock", as in "Error reading part input file."
  std::string_view title;  // "Part" or "Stock", as in "Part total length exceeds limit: "
  std::string_view items;  // "pieces" or "bars"
  int maxGroups;           // the layout search's limit
  int exactMaxGroups;      // the exact method's
};

inline constexpr GroupFile kOrderFile{"part", "Part", "pieces", kMaxPartGroups,
                                      kExactMaxPartGroups};
inline constexpr GroupFile kStockFile{"stock", "Stock", "bars", kMaxStockGroups,
                                      kExactMaxStockGroups};

// Whether a material may take the exact method's limits: the exact method is
// set and no stock/cut bundle, which only the layout search cuts.
bool UsesExactLimits(const OptimizerSettings& settings);

class GroupReading {
 public:
  GroupReading(RunState& run, Toolkit& toolkit, const GroupFile& file)
      : run_(run), toolkit_(toolkit), file_(file), exact_(UsesExactLimits(run.opt)) {}

  // Reads the file's data lines. A line with too many fields ends the run;
  // a line without a second field counts as a reading error, which stops
  // the reading at the end of that line. `pickMaterial(key)` sees every
  // line's material key first and returns false when it ended the run (the
  // order reader chooses its material there). Lines of other materials are
  // skipped; a group beyond the file's limit (the search's, or with the
  // exact method the exact method's) ends the run; `readGroup(line, n)` then
  // reads group n and returns false when it ended the run. Reading errors
  // end the run at the end. False when the run was ended.
  template <typename PickMaterial, typename ReadGroup>
  bool ReadLines(const std::string& fileName, PickMaterial pickMaterial, ReadGroup readGroup);

  // Makes groups[n] a fresh group of the data line: its source line, its
  // material key and its length (field 3); count becomes n. The group's
  // line number goes into the messages about it.
  template <typename Group>
  Group& StartGroup(std::vector<Group>& groups, int& count, const DataLine& line, int n);

  // Field 3 as a length and field 4 as a 16-bit quantity; a missing or
  // unreadable field is a reading error and reads as 0.
  int32_t Length(const DataLine& line);
  int16_t Quantity(const DataLine& line);
  // A text to be read as a number: its first "." and "," become the
  // locale's separator.
  int32_t Cost(std::string_view text);

  // The checks of a group's fields, each ending the run with "Error reading
  // <kind> input file.\rAll <kind> ..." when the value is out of range:
  // lengths and quantities must be above 0, costs 0 or more.
  bool CheckLength(int32_t length, int group);
  bool CheckCost(int32_t cost, int group);
  bool CheckQuantity(int16_t quantity, int group);

  // Adds the quantity to the pass's item count, which must not pass the
  // item limit, and value x quantity to a total of lengths or costs, which
  // must stay below the total limit. `what` names the total in the message
  // ("length" or "cost"); `scale` turns the limit into user units for it.
  // With the exact method's limits, passing one of the search's limits only
  // marks the material as beyond the search; the exact method has no total
  // limit (its totals are 64-bit).
  bool AddItems(int& count, int quantity, int group);
  bool AddToTotal(int64_t& total, int32_t value, int quantity, std::string_view what, int scale,
                  int group);

  // Whether the groups read so far pass one of the search's limits, which
  // only the exact method's limits allow.
  bool BeyondSearch() const { return beyondSearch_; }

  // The file line of group n, 0 when there is no such group.
  int LineOf(int group) const {
    return group >= 1 && group < static_cast<int>(lineNumbers_.size()) ? lineNumbers_[group] : 0;
  }

  // Ends the run with the message, or, when the batch goes on after a
  // material's error, logs it as the pass's failure; false, for `return
  // Fail(...)`.
  bool Fail(const std::string& message);

 private:
  // "See <kind> group: N", "See line: L" (when the group's line is known)
  // and the material, each on a line of its own.
  std::string Tail(int group) const;
  bool CheckField(bool ok, std::string_view what, int group);

  // The line that ends a limit message and names the way past the limit:
  // what the exact method plans (e.g. "up to 10000 lines") and, for a
  // stock/cut bundle, which only the search cuts, the search's limit (e.g.
  // "20 lines"; empty for none to name).
  std::string WayOut(const std::string& exactLimit, const std::string& searchLimit) const;

  RunState& run_;
  Toolkit& toolkit_;
  const GroupFile file_;
  const bool exact_;  // the exact method's limits apply
  bool beyondSearch_ = false;
  // The file line of each group, 1..n, and of the one beyond the limit.
  std::vector<int> lineNumbers_ = std::vector<int>(std::max(kMaxPartGroups, kMaxStockGroups) + 2);
  int errors_ = 0;
  bool quantityTooLarge_ = false;  // the last quantity read was a number above 16 bits
};

template <typename PickMaterial, typename ReadGroup>
bool GroupReading::ReadLines(const std::string& fileName, PickMaterial pickMaterial,
                             ReadGroup readGroup) {
  std::string content;
  const LoadedInput* loaded = LoadedInputOf(run_, fileName);
  const std::string* text = loaded != nullptr ? &loaded->content : nullptr;
  if (text == nullptr) {
    if (ReadWholeFile(fileName, content) != 0) ++errors_;
    text = &content;
  }
  DataLineReader reader(*text, loaded != nullptr ? loaded->exactSeparator : 0);
  DataLine line;
  int n = 0;
  while (errors_ == 0 && reader.Next(line)) {
    if (line.fields.tooMany) {
      return Fail("Error reading " + std::string(file_.kind) + " input file.\rMore than " +
                  std::to_string(kMaxFields) +
                  " fields in one line.\rSee line: " + std::to_string(line.number));
    }
    if (!line.key.hasSecondField) ++errors_;
    if (!pickMaterial(line.key.key)) return false;
    if (line.key.key != run_.pass.material) continue;
    if (n + 2 > static_cast<int>(lineNumbers_.size())) lineNumbers_.resize(2 * (n + 2));
    if (n >= (exact_ ? file_.exactMaxGroups : file_.maxGroups)) {
      lineNumbers_[n + 1] = line.number;
      const int limit = exact_ ? file_.exactMaxGroups : file_.maxGroups;
      return Fail("Too many " + std::string(file_.kind) + " input lines/groups\r" + Tail(n + 1) +
                  WayOut("up to " + std::to_string(file_.exactMaxGroups) + " lines",
                         std::to_string(limit) + " lines"));
    }
    if (n >= file_.maxGroups) beyondSearch_ = true;
    if (!readGroup(line, ++n)) return false;
  }
  if (errors_ > 0) return Fail("Error open/read " + std::string(file_.kind) + " input file");
  return true;
}

template <typename Group>
Group& GroupReading::StartGroup(std::vector<Group>& groups, int& count, const DataLine& line,
                                int n) {
  if (n + 2 > static_cast<int>(groups.size())) groups.resize(2 * (n + 2));
  count = n;
  lineNumbers_[n] = line.number;
  Group& group = groups[n];
  group = Group{};
  group.sourceLine = CutToChars(line.text, kSourceLineChars);
  group.materialKey = line.key.key;
  group.length = Length(line);
  return group;
}

}  // namespace tarvolin
