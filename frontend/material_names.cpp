#include "material_names.h"

#include <map>
#include <set>
#include <string>

#include "input_files.h"
#include "input_text.h"
#include "logs.h"

namespace tarvolin {

namespace {

// Where a name was read.
struct NameLine {
  std::string name;
  std::string file;
  int number = 0;
};

std::string Describe(const NameLine& at) {
  return at.file + ", line " + std::to_string(at.number) + ": " + at.name;
}

// Walks the data lines of a file, kept or read now; a file that cannot be
// read has nothing to check (its reader reports it).
template <typename Visit>
bool ForEachLine(const RunState& run, const std::string& fileName, Visit visit) {
  std::string content;
  const LoadedInput* loaded = LoadedInputOf(run, fileName);
  const std::string* text = loaded != nullptr ? &loaded->content : nullptr;
  if (text == nullptr) {
    if (ReadWholeFile(fileName, content) != 0) return true;
    text = &content;
  }
  DataLineReader reader(*text, loaded != nullptr ? loaded->exactSeparator : 0);
  DataLine line;
  while (reader.Next(line))
    if (!visit(line)) return false;
  return true;
}

class NameCheck {
 public:
  NameCheck(RunState& run, Toolkit& toolkit) : run_(run), toolkit_(toolkit) {}

  bool Orders() {
    return ForEachLine(run_, run_.orderFile, [&](const DataLine& line) {
      WarnIfCut(line, run_.orderFile);
      const auto [first, added] =
          ordered_.try_emplace(line.key.key, NameLine{line.key.name, run_.orderFile, line.number});
      return added || SameName(first->second, line, run_.orderFile);
    });
  }

  bool Stocks() {
    return ForEachLine(run_, run_.stockFile, [&](const DataLine& line) {
      const auto order = ordered_.find(line.key.key);
      if (order == ordered_.end()) return true;
      WarnIfCut(line, run_.stockFile);
      return SameName(order->second, line, run_.stockFile);
    });
  }

 private:
  void WarnIfCut(const DataLine& line, const std::string& file) {
    if (line.key.name == line.key.key || !warned_.insert({file, line.key.name}).second) return;
    LogWarning(run_, toolkit_,
               "Material name cut to " + std::to_string(kMaterialKeyChars) + " characters:\r" +
                   line.key.name + "\r" + kMaterialHeader + ": " + line.key.key + "\r" + file +
                   "\rSee line: " + std::to_string(line.number));
  }

  bool SameName(const NameLine& first, const DataLine& line, const std::string& file) {
    if (first.name == line.key.name) return true;
    return FailRun(run_, toolkit_,
                   "Different materials share one material key:\r" + Describe(first) + "\r" +
                       Describe(NameLine{line.key.name, file, line.number}) + "\r" +
                       kMaterialHeader + ": " + line.key.key);
  }

  RunState& run_;
  Toolkit& toolkit_;
  std::map<std::string, NameLine> ordered_;               // by key: the first order line's name
  std::set<std::pair<std::string, std::string>> warned_;  // file and name
};

}  // namespace

bool CheckMaterialNames(RunState& run, Toolkit& toolkit) {
  NameCheck check(run, toolkit);
  return check.Orders() && check.Stocks();
}

}  // namespace tarvolin
