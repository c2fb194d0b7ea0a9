#include "discovery.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "logs.h"
#include "remnant_store.h"
#include "utf8.h"

namespace fs = std::filesystem;

namespace tarvolin {

namespace {

char LowerAscii(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

std::string Lower(std::string_view s) {
  std::string r(s);
  std::transform(r.begin(), r.end(), r.begin(), LowerAscii);
  return r;
}

// The text as UTF-8 characters (a lead byte and at most three continuation
// bytes), letters lowered.
std::vector<std::string> Characters(std::string_view text) {
  std::vector<std::string> chars;
  size_t i = 0;
  while (i < text.size()) {
    const size_t end = utf8::CharacterEnd(text, i);
    chars.push_back(Lower(text.substr(i, end - i)));
    i = end;
  }
  return chars;
}

size_t DirectoryPartLength(std::string_view name) {
  const size_t slash = name.rfind('/');
  return slash == std::string_view::npos ? 0 : slash + 1;
}

bool SameFile(const std::string& a, const std::string& b) {
  if (a.empty() || b.empty()) return false;
  std::error_code ec;
  const fs::path pa = fs::absolute(a, ec).lexically_normal();
  if (ec) return false;
  const fs::path pb = fs::absolute(b, ec).lexically_normal();
  if (ec) return false;
  if (pa == pb) return true;
  return fs::equivalent(a, b, ec) && !ec;
}

}  // namespace

bool MaskMatches(std::string_view mask, std::string_view name) {
  const std::vector<std::string> m = Characters(mask);
  const std::vector<std::string> s = Characters(name);
  size_t mi = 0, si = 0;
  size_t starM = std::string::npos, starS = 0;
  while (si < s.size()) {
    if (mi < m.size() && m[mi] == "*") {
      starM = mi++;
      starS = si;
    } else if (mi < m.size() && (m[mi] == "?" || m[mi] == s[si])) {
      ++mi;
      ++si;
    } else if (starM != std::string::npos) {
      mi = starM + 1;
      si = ++starS;
    } else {
      return false;
    }
  }
  while (mi < m.size() && m[mi] == "*") ++mi;
  return mi == m.size();
}

std::vector<std::string> MatchingEntries(const std::string& directory, std::string_view mask) {
  std::vector<std::string> names;
  std::error_code ec;
  fs::directory_iterator it(directory, ec);
  if (ec) return names;
  for (const fs::directory_iterator end; it != end; it.increment(ec)) {
    if (ec) break;
    std::string name = it->path().filename().string();
    if (MaskMatches(mask, name)) names.push_back(std::move(name));
  }
  std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
    const std::string la = Lower(a), lb = Lower(b);
    return la != lb ? la < lb : a < b;
  });
  return names;
}

std::string FindInputFile(RunState& run, Toolkit& toolkit, std::string_view mask,
                          std::string_view label, bool exactlyOne, bool closeOutputs) {
  const std::string directory(mask.substr(0, DirectoryPartLength(mask)));
  const std::string_view pattern = mask.substr(directory.size());
  const std::vector<std::string> found =
      MatchingEntries(directory.empty() ? "." : directory, pattern);
  if (found.empty()) {
    FinishRun(run, toolkit, closeOutputs,
              "Can not find " + std::string(label) + " file: " + std::string(mask));
    return {};
  }
  if (exactlyOne && found.size() > 1) {
    FinishRun(run, toolkit, closeOutputs,
              "More than one " + std::string(label) + " file found: " + std::string(mask));
    return {};
  }
  return directory + found.front();
}

std::string AskInputFile(RunState& run, Toolkit& toolkit, std::string_view titleWord,
                         std::string_view filter) {
  FileDialogRequest request;
  request.title = "QM5R.exe:  Choose input file to process: " + std::string(titleWord);
  request.filter = std::string(titleWord) + std::string(filter);
  std::error_code ec;
  request.initialDirectory = fs::current_path(ec).string();
  request.mustExist = true;
  const std::optional<std::string> chosen = toolkit.OpenFileDialog(request);
  if (!chosen || chosen->empty()) {
    FinishRun(run, toolkit, false, "");
    return {};
  }
  return *chosen;
}

void ShortenToCurrentDirectory(std::string& orderName, std::string& stockName,
                               std::string_view currentDirectory) {
  std::string prefix(currentDirectory);
  if (prefix.empty() || prefix.back() != '/') prefix += '/';
  for (std::string* name : {&orderName, &stockName}) {
    const size_t dir = DirectoryPartLength(*name);
    if (dir > 0 && std::string_view(*name).substr(0, dir) == prefix) name->erase(0, dir);
  }
}

void ShortenToCurrentDirectory(std::string& orderName, std::string& stockName) {
  std::error_code ec;
  const fs::path cwd = fs::current_path(ec);
  if (!ec) ShortenToCurrentDirectory(orderName, stockName, cwd.string());
}

std::string DeriveOutputName(std::string_view orderName, std::string_view word,
                             std::string_view suffix, std::string_view extension) {
  const size_t dirLength = DirectoryPartLength(orderName);
  const std::string_view directory = orderName.substr(0, dirLength);
  std::string bare(orderName.substr(dirLength));
  constexpr std::string_view kOrdersWord = "orders";
  if (const size_t at = Lower(bare).find(kOrdersWord); at != std::string::npos)
    bare.replace(at, kOrdersWord.size(), word);
  std::string result = std::string(directory) + bare;
  if (result == orderName) {
    // The suffix goes after the stem, so a dot inside the stem must not
    // take it away again.
    const size_t dot = bare.rfind('.');
    return std::string(directory) + bare.substr(0, dot) + std::string(suffix) +
           std::string(extension);
  }
  const size_t resultDir = DirectoryPartLength(result);
  const size_t dot = result.rfind('.');
  if (dot != std::string::npos && dot >= resultDir) result.erase(dot);
  return result + std::string(extension);
}

std::string InputMask(std::string_view stem, std::string_view extension) {
  const std::string text = std::string(stem) + std::string(extension);
  const std::string csv = std::string(stem) + ".csv";
  if (MatchingEntries(".", text).empty() && !MatchingEntries(".", csv).empty()) return csv;
  return text;
}

void DeriveOutputNames(RunState& run) {
  run.reportFile = DeriveOutputName(run.orderFile, "Report", "_Report", run.inputExtension);
  run.labelsFile = run.init.writeLabelsFile
                       ? DeriveOutputName(run.orderFile, "Labels", "_Labels", run.inputExtension)
                       : "";
  run.layoutsFile = run.init.writeLayoutsFile
                        ? DeriveOutputName(run.orderFile, "Layouts", "_Layouts", ".pdf")
                        : "";
  run.planFile =
      run.init.writePlanFile ? DeriveOutputName(run.orderFile, "Plan", "_Plan", ".json") : "";
  run.cutListFile =
      run.init.writeCutList ? DeriveOutputName(run.orderFile, "CutList", "_CutList", ".csv") : "";
  run.remnantsFile = run.init.keepRemnants ? kRemnantsFileName : "";
}

bool OutputsCollideWithInputs(RunState& run, Toolkit& toolkit) {
  // Each written file and each temporary it is written through; the print
  // file is written in place.
  std::vector<std::string> outputs;
  const auto add = [&](const std::string& name, bool temporary) {
    if (name.empty()) return;
    outputs.push_back(name);
    if (temporary) outputs.push_back(TextOutFile::TemporaryPath(name));
  };
  add(run.reportFile, true);
  if (run.init.writeLabelsFile) add(run.labelsFile, true);
  add(run.layoutsFile, true);
  add(run.planFile, true);
  add(run.cutListFile, true);
  add(run.remnantsFile, true);
  add(run.printFile, false);
  std::vector<const std::string*> others = {&run.orderFile,    &run.stockFile,
                                            &run.optSetFile,   &run.configFile,
                                            &run.errorLogFile, &run.warningLogFile};
  for (const std::string& out : outputs) {
    for (const std::string* other : others) {
      if (!SameFile(out, *other)) continue;
      FinishRun(run, toolkit, false, OverwriteMessage(out, *other));
      return true;
    }
    others.push_back(&out);  // the labels must not overwrite the report either
  }
  return false;
}

std::vector<std::string> FilesOfTheRun(const RunState& run) {
  std::vector<std::string> files = {run.orderFile,  run.stockFile,    run.optSetFile,
                                    run.configFile, run.errorLogFile, run.warningLogFile};
  const auto add = [&](const std::string& name, bool temporary) {
    if (name.empty()) return;
    files.push_back(name);
    if (temporary) files.push_back(TextOutFile::TemporaryPath(name));
  };
  add(run.reportFile, true);
  if (run.init.writeLabelsFile) add(run.labelsFile, true);
  add(run.layoutsFile, true);
  add(run.planFile, true);
  add(run.cutListFile, true);
  add(run.printFile, false);
  return files;
}

const std::string* SameFileAs(const std::string& path, const std::vector<std::string>& files) {
  for (const std::string& file : files)
    if (SameFile(path, file)) return &file;
  return nullptr;
}

std::string OverwriteMessage(const std::string& output, const std::string& other) {
  return "Output file would overwrite a file of this run:\r" + output + "\rSame file as: " + other;
}

}  // namespace tarvolin
