#include "order_input.h"

#include <cmath>
#include <string>

#include "fract.h"
#include "input_text.h"
#include "logs.h"

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
  run.pass.material = kUndefinedMaterial;
}

bool ReadOrderPass(RunState& run, Toolkit& toolkit) {
  MaterialPass& pass = run.pass;
  pass.partQuantitySum = 0;
  pass.partLengthSum = 0;
  int errors = 0;
  int n = 0;
  const int64_t lengthLimitText = LimitInUserUnits(run.format.lengthScale);

  std::string content;
  if (ReadWholeFile(run.orderFile, content) != 0) ++errors;
  DataLineReader reader(content);
  DataLine d;
  while (errors == 0 && reader.Next(d)) {
    const std::string_view line = d.text;
    const FieldBounds& f = d.fields;
    if (f.tooMany) return FailRun(run, toolkit, TooManyFieldsMessage("part", d.number));
    const MaterialKeyResult& key = d.key;
    if (!key.hasSecondField) ++errors;
    if (run.pass.material == kUndefinedMaterial && !IsChecked(run, key.key)) {
      if (run.checked >= kMaxCheckedMaterials)
        return FailRun(run, toolkit,
                       "Materials total number exceeds \rprogram limit:  " +
                           std::to_string(kMaxCheckedMaterials) + "\r" + kMaterialHeader + ": " +
                           key.key);
      run.checkedMaterials[++run.checked] = key.key;
      run.pass.material = key.key;
    }
    if (key.key != run.pass.material) continue;
    if (n >= kMaxPartGroups)
      return FailRun(
          run, toolkit,
          "Too many part input lines/groups\r" + GroupTail("part", n + 1, run.pass.material));

    PartGroup& g = pass.partGroups[++n];
    pass.partGroupCount = n;
    g = PartGroup{};
    g.sourceLine = CutToChars(line, kSourceLineChars);
    g.materialKey = key.key;
    g.length = LengthField(line, f, 3, run.format, errors);
    if (f.k < 4 || !ParseWholeNumber16(FieldText(line, f, 4), g.quantity)) {
      g.quantity = 0;
      ++errors;
    }
    if (f.k >= 5) g.mark = CutToChars(TrimText(FieldText(line, f, 5)), kMarkChars);

    if (g.length <= 0)
      return FailRun(run, toolkit,
                     "Error reading part input file.\rAll part lengths must be positive\rand have "
                     "proper format.\r" +
                         GroupTail("part", n, run.pass.material));
    if (g.quantity <= 0)
      return FailRun(run, toolkit,
                     "Error reading part input file.\rAll part quantities must be positive "
                     "integers.\r" +
                         GroupTail("part", n, run.pass.material));
    if (pass.partQuantitySum + g.quantity > kMaxItems)
      return FailRun(run, toolkit,
                     "Parts total number exceeds \rprogram limit:  " + std::to_string(kMaxItems) +
                         "\r" + GroupTail("part", n, run.pass.material));
    pass.partQuantitySum += g.quantity;
    if (ExceedsTotalLimit(g.length, g.quantity, pass.partLengthSum))
      return FailRun(run, toolkit,
                     "Part total length exceeds limit: \r" + std::to_string(lengthLimitText) +
                         "\r" + GroupTail("part", n, run.pass.material));
    pass.partLengthSum += int64_t{g.length} * g.quantity;
  }
  pass.partGroupCount = n;
  if (errors > 0) return FailRun(run, toolkit, "Error open/read part input file");
  AssignMarkIds(pass);
  return true;
}

void AssignMarkIds(MaterialPass& pass) {
  const int n = pass.partGroupCount;
  for (int i = 1; i <= n; ++i) pass.partGroups[i].markId = 0;
  int32_t next = 0;
  for (int i = 1; i <= n; ++i) {
    if (pass.partGroups[i].markId != 0) continue;
    ++next;
    for (int j = i; j <= n; ++j)
      if (pass.partGroups[j].mark == pass.partGroups[i].mark) pass.partGroups[j].markId = next;
  }
}

}  // namespace tarvolin
