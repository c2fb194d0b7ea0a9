#include "order_input.h"

#include <string>
#include <unordered_map>

#include "group_input.h"
#include "input_text.h"
#include "logs.h"
#include "material_names.h"

namespace tarvolin {

namespace {

bool IsChecked(const RunState& run, const std::string& key) {
  for (int i = 1; i <= run.checked; ++i)
    if (run.checkedMaterials[i] == key) return true;
  return false;
}

}  // namespace

void StartMaterialPass(RunState& run) {
  run.pass = MaterialPass{};
}

bool ReadOrderPass(RunState& run, Toolkit& toolkit) {
  // Before the first material is taken, the names are checked once for
  // the whole run.
  if (run.checked == 0 && !CheckMaterialNames(run, toolkit)) return false;
  MaterialPass& pass = run.pass;
  pass.partGroupCount = 0;
  pass.partQuantitySum = 0;
  pass.partLengthSum = 0;
  GroupReading reading(run, toolkit, kOrderFile);

  // The first material not yet taken becomes the material of this pass.
  const auto pickMaterial = [&](const std::string& key) {
    if (pass.hasMaterial || IsChecked(run, key)) return true;
    if (run.checked >= kMaxCheckedMaterials) {
      return reading.Fail("Materials total number exceeds \rprogram limit:  " +
                          std::to_string(kMaxCheckedMaterials) + "\r" + kMaterialHeader + ": " +
                          key);
    }
    run.checkedMaterials[++run.checked] = key;
    pass.material = key;
    pass.hasMaterial = true;
    return true;
  };
  const auto readGroup = [&](const DataLine& line, int n) {
    PartGroup& g = reading.StartGroup(pass.partGroups, pass.partGroupCount, line, n);
    g.quantity = reading.Quantity(line);
    g.lineNumber = line.number;
    if (line.fields.k >= 5) {
      const std::string_view mark = TrimText(FieldText(line.text, line.fields, 5));
      g.mark = CutToChars(mark, kMarkChars);
      if (g.mark.size() < mark.size()) {
        LogWarning(run, toolkit,
                   "Mark cut to " + std::to_string(kMarkChars) + " characters:\r" + g.mark + "\r" +
                       kMaterialHeader + ": " + pass.material + "\r" + run.orderFile +
                       "\rSee line: " + std::to_string(line.number));
      }
    }
    return reading.CheckLength(g.length, n) && reading.CheckQuantity(g.quantity, n) &&
           reading.AddItems(pass.partQuantitySum, g.quantity, n) &&
           reading.AddToTotal(pass.partLengthSum, g.length, g.quantity, "length",
                              run.format.lengthScale, n);
  };
  const bool read = reading.ReadLines(run.orderFile, pickMaterial, readGroup);
  pass.beyondSearch = reading.BeyondSearch();
  if (!read) return false;
  AssignMarkIds(pass);
  return true;
}

void AssignMarkIds(MaterialPass& pass) {
  // Ids in order of first appearance, looked up by mark.
  std::unordered_map<std::string, int32_t> ids;
  for (int i = 1; i <= pass.partGroupCount; ++i) {
    PartGroup& group = pass.partGroups[i];
    group.markId = ids.try_emplace(group.mark, static_cast<int32_t>(ids.size()) + 1).first->second;
  }
}

}  // namespace tarvolin
