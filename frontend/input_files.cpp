#include "input_files.h"

#include <cerrno>

#include "csv_input.h"
#include "input_text.h"
#include "logs.h"

namespace tarvolin {

namespace {

bool Load(RunState& run, Toolkit& toolkit, const std::string& path, CsvKind kind) {
  if (LoadedInputContent(run, path) != nullptr) return true;
  LoadedInput input{path, {}};
  const int result = ReadWholeFile(path, input.content);
  if (result == EFBIG) {
    return FailRun(
        run, toolkit,
        "Input file is larger than " + std::to_string(kMaxInputFileBytes) + " bytes: \r" + path);
  }
  if (result != 0) return true;
  if (const int line = LongLineNumber(input.content); line > 0) {
    return FailRun(run, toolkit,
                   "Input file has a line longer than " + std::to_string(kMaxInputLineBytes) +
                       " bytes: \r" + path + "\rSee line: " + std::to_string(line));
  }
  if (IsCsvFileName(path)) {
    CsvConversion csv = ConvertCsv(input.content, kind);
    if (!csv.error.empty()) {
      const char* what = kind == CsvKind::kOrder ? "part" : "stock";
      return FailRun(run, toolkit,
                     "Error reading " + std::string(what) + " input file.\r" + csv.error + "\r" +
                         path + "\rSee line: " + std::to_string(csv.errorLine));
    }
    input.content = std::move(csv.lines);
    input.exactSeparator = kCsvFieldSeparator;
  }
  run.inputs.push_back(std::move(input));
  return true;
}

}  // namespace

bool LoadInputFiles(RunState& run, Toolkit& toolkit) {
  run.inputs.clear();
  return Load(run, toolkit, run.orderFile, CsvKind::kOrder) &&
         Load(run, toolkit, run.stockFile, CsvKind::kStock);
}

const LoadedInput* LoadedInputOf(const RunState& run, const std::string& path) {
  for (const LoadedInput& input : run.inputs)
    if (input.path == path) return &input;
  return nullptr;
}

const std::string* LoadedInputContent(const RunState& run, const std::string& path) {
  const LoadedInput* input = LoadedInputOf(run, path);
  return input != nullptr ? &input->content : nullptr;
}

}  // namespace tarvolin
