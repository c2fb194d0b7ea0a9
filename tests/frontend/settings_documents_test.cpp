// The README's and the manual page's lists of the settings lines, and the
// comments of the example settings files, agree with the readers' tables,
// so that the documents cannot drift from the program again.
#include <gtest/gtest.h>

#include <filesystem>
#include <span>
#include <sstream>
#include <string>
#include <vector>

#include "frontend_fixture.h"
#include "settings.h"

namespace tarvolin {
namespace {

namespace fs = std::filesystem;
using test_support::ReadFile;

struct DocumentedLine {
  int number = 0;
  std::string name;
  std::string values;  // "lo..hi" or "length"
};

std::string Trimmed(const std::string& s) {
  const size_t first = s.find_first_not_of(" \t\r");
  if (first == std::string::npos) return {};
  return s.substr(first, s.find_last_not_of(" \t\r") - first + 1);
}

std::vector<std::string> TextLines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(Trimmed(line));
  return lines;
}

// The rows "| line | name | values | meaning |" of the first table after
// the line that starts with `heading`.
std::vector<DocumentedLine> ReadmeTable(const std::string& readme, const std::string& heading) {
  std::vector<DocumentedLine> rows;
  const std::vector<std::string> lines = TextLines(readme);
  size_t i = 0;
  while (i < lines.size() && !lines[i].starts_with(heading)) ++i;
  while (i < lines.size() && !lines[i].starts_with("| line |")) ++i;
  for (i += 2; i < lines.size() && lines[i].starts_with("|"); ++i) {
    std::vector<std::string> cells;
    std::istringstream row(lines[i].substr(1));
    for (std::string cell; std::getline(row, cell, '|');) cells.push_back(Trimmed(cell));
    if (cells.size() < 3) return {};
    rows.push_back({std::stoi(cells[0]), cells[1], cells[2]});
  }
  return rows;
}

// The entries ".B <number> <name>" followed by "(<values>) ..." of the
// manual page's subsection `section`.
std::vector<DocumentedLine> ManualList(const std::string& manual, const std::string& section) {
  std::vector<DocumentedLine> entries;
  const std::vector<std::string> lines = TextLines(manual);
  size_t i = 0;
  while (i < lines.size() && lines[i] != ".SS " + section) ++i;
  for (++i; i + 1 < lines.size() && !lines[i].starts_with(".S"); ++i) {
    if (!lines[i].starts_with(".B ")) continue;
    DocumentedLine entry;
    std::istringstream head(lines[i].substr(3));
    head >> entry.number;
    std::getline(head, entry.name);
    entry.name = Trimmed(entry.name);
    std::string values = lines[i + 1].substr(1, lines[i + 1].find(')') - 1);
    for (size_t dash; (dash = values.find("\\-")) != std::string::npos;) values.erase(dash, 1);
    entry.values = values;
    entries.push_back(entry);
  }
  return entries;
}

std::string NameOf(const SettingsLine& line) {
  return line.name[0] == '\0' ? "(unused)" : line.name;
}

std::string ValuesOf(const SettingsLine& line) {
  return line.length ? "length" : std::to_string(line.low) + ".." + std::to_string(line.high);
}

void ExpectAgree(const std::vector<DocumentedLine>& documented,
                 std::span<const SettingsLine> table) {
  ASSERT_EQ(documented.size(), table.size());
  for (size_t i = 0; i < table.size(); ++i) {
    SCOPED_TRACE("line " + std::to_string(i + 1));
    EXPECT_EQ(documented[i].number, static_cast<int>(i + 1));
    EXPECT_EQ(documented[i].name, NameOf(table[i]));
    EXPECT_EQ(documented[i].values, ValuesOf(table[i]));
  }
}

struct SettingsFile {
  const char* file;
  std::span<const SettingsLine> (*lines)();
};

const SettingsFile kFiles[] = {{"QM_Config.txt", InitialSettingsLines},
                               {"QM_OptSet.txt", OptimizerSettingsLines}};

TEST(SettingsDocuments, TheReadmeAndTheManualPageListEveryLineAsTheReadersReadIt) {
  const fs::path source = TARVOLIN_SOURCE_DIR;
  const std::string readme = ReadFile(source / "README.md");
  const std::string manual = ReadFile(source / "docs" / "tarvolin.1");
  for (const SettingsFile& f : kFiles) {
    SCOPED_TRACE(f.file);
    const std::span<const SettingsLine> table = f.lines();
    // Appended piece by piece: GCC 12 flags the concatenation as an overlapping copy.
    std::string heading = "`";
    heading.append(f.file).append("`, ").append(std::to_string(table.size())).append(" lines");
    {
      SCOPED_TRACE("README.md");
      ExpectAgree(ReadmeTable(readme, heading), table);
    }
    {
      SCOPED_TRACE("tarvolin.1");
      ExpectAgree(ManualList(manual, f.file), table);
    }
  }
}

// Each line of an example's QM_Config.txt is commented with the name of
// its setting, "(not used)" when it has none.
TEST(SettingsDocuments, TheExampleConfigFilesNameEveryLine) {
  const std::span<const SettingsLine> table = InitialSettingsLines();
  for (const auto& entry : fs::directory_iterator(fs::path(TARVOLIN_SOURCE_DIR) / "examples")) {
    const fs::path config = entry.path() / "QM_Config.txt";
    if (!fs::exists(config)) continue;
    SCOPED_TRACE(config.string());
    const std::vector<std::string> lines = TextLines(ReadFile(config));
    ASSERT_EQ(lines.size(), table.size());
    for (size_t i = 0; i + 1 < table.size(); ++i) {
      SCOPED_TRACE("line " + std::to_string(i + 1));
      const std::string comment = Trimmed(lines[i].substr(lines[i].find_first_of(" \t")));
      if (table[i].name[0] == '\0') {
        EXPECT_EQ(comment, "(not used)");
      } else {
        EXPECT_TRUE(comment.starts_with(table[i].name)) << comment;
      }
    }
    EXPECT_TRUE(lines.back().starts_with("555"));
  }
}

}  // namespace
}  // namespace tarvolin
