#include "console_views.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "interrupt.h"
#include "scripted_toolkit.h"

namespace tarvolin {
namespace {

// Columns of UTF-8 text as a terminal counts them: two for the kana, CJK
// ideographs and Hangul syllables that the tests use, one for any other
// character.
int Columns(const std::string& text) {
  int n = 0;
  for (size_t i = 0; i < text.size();) {
    const auto lead = static_cast<unsigned char>(text[i++]);
    char32_t code = lead;
    if (lead >= 0xE0 && lead < 0xF0 && i + 1 < text.size()) {
      code = ((lead & 0x0Fu) << 12) | ((static_cast<unsigned char>(text[i]) & 0x3Fu) << 6) |
             (static_cast<unsigned char>(text[i + 1]) & 0x3Fu);
    }
    while (i < text.size() && (static_cast<unsigned char>(text[i]) & 0xC0) == 0x80) ++i;
    const bool wide = (code >= 0x3040 && code <= 0x30FF) || (code >= 0x4E00 && code <= 0x9FFF) ||
                      (code >= 0xAC00 && code <= 0xD7A3);
    n += wide ? 2 : 1;
  }
  return n;
}

// Every lead byte is followed by as many continuation bytes as it says.
bool WholeCharacters(const std::string& text) {
  for (size_t i = 0; i < text.size();) {
    const auto lead = static_cast<unsigned char>(text[i++]);
    const int more = lead < 0x80 ? 0 : lead >= 0xF0 ? 3 : lead >= 0xE0 ? 2 : lead >= 0xC0 ? 1 : -1;
    if (more < 0) return false;
    for (int k = 0; k < more; ++k, ++i) {
      if (i >= text.size() || (static_cast<unsigned char>(text[i]) & 0xC0) != 0x80) return false;
    }
  }
  return true;
}

ProgressTexts Texts(std::string material, bool esc) {
  return {std::move(material), 50, 40, "12.3 sec", "97.125", "3.4 sec", esc};
}

TEST(ProgressLine, AWideTerminalShowsEverything) {
  EXPECT_EQ(ProgressLine(Texts("A x", true), 200),
            "Optimizer Run...  A x  [##########..........] [####......] 12.3 sec  "
            "Criterion / Time: 97.125 / 3.4 sec  Esc to abort");
  EXPECT_EQ(ProgressLine(Texts("", false), 200),
            "Optimizer Run...  [##########..........] [####......] 12.3 sec  "
            "Criterion / Time: 97.125 / 3.4 sec");
}

// On every width the line stays one column short of the terminal, so that
// it never wraps, and names the material as far as there is room.
TEST(ProgressLine, FitsEveryWidthAndNamesTheMaterial) {
  const std::vector<std::string> materials = {"A x", "Tube 40x40x2 S235 galvanised 6m",
                                              "Stahlrohr Ø40 ÄÖÜ", "鋼管 角形40x40 亜鉛めっき鋼"};
  for (const std::string& material : materials) {
    for (const bool esc : {true, false}) {
      for (const int columns : {300, 132, 100, 80, 72, 60, 40, 20, 8, 1}) {
        SCOPED_TRACE(material + " / " + std::to_string(columns) + (esc ? " / esc" : ""));
        const std::string line = ProgressLine(Texts(material, esc), columns);
        EXPECT_LE(Columns(line), std::max(columns - 1, 1));
        EXPECT_TRUE(WholeCharacters(line));
        const std::string named = line.starts_with("Optimizer Run...  ") ? line.substr(18) : line;
        if (columns >= 40) {
          EXPECT_TRUE(named.starts_with(material.substr(0, 8))) << line;
        }
        if (columns >= 80 && Columns(material) <= 20) {
          EXPECT_TRUE(named.starts_with(material + "  [##########..........]")) << line;
          EXPECT_NE(line.find(" 12.3 sec  Criterion"), std::string::npos);
          EXPECT_NE(line.find(": 97.125"), std::string::npos);
        }
      }
    }
  }
}

// What is left out first: the caption, the run's bar, the time of the best
// plan, the Esc hint; then the material is shortened and the line cut.
TEST(ProgressLine, LeavesOutTheLeastImportantFirst) {
  const ProgressTexts t = Texts("A x", true);
  const std::string full = ProgressLine(t, 1000);
  EXPECT_EQ(ProgressLine(t, Columns(full) + 1), full);
  const std::string noCaption = ProgressLine(t, Columns(full));
  EXPECT_EQ(noCaption.find("Optimizer Run..."), std::string::npos);
  EXPECT_EQ(noCaption.rfind("A x  [", 0), 0u) << noCaption;
  // An 80-column terminal keeps the material, the whole bar, the time, the
  // best criterion and the hint.
  EXPECT_EQ(ProgressLine(t, 80),
            "A x  [##########..........] 12.3 sec  Criterion: 97.125  Esc to abort");
  // Without the hint the time of the best plan fits.
  EXPECT_EQ(ProgressLine(Texts("A x", false), 80),
            "A x  [##########..........] 12.3 sec  Criterion / Time: 97.125 / 3.4 sec");
  const std::string longName = "Tube 40x40x2 S235 galvanised 6m";
  // A long name is shortened to eight characters before the criterion goes,
  // and then takes what the criterion leaves.
  EXPECT_EQ(ProgressLine(Texts(longName, true), 70),
            "Tube 40x40x2 S235  [##########..........] 12.3 sec  Criterion: 97.125");
  EXPECT_EQ(ProgressLine(Texts(longName, true), 61),
            "Tube 40x  [##########..........] 12.3 sec  Criterion: 97.125");
  EXPECT_EQ(ProgressLine(Texts(longName, true), 60),
            "Tube 40x40x2 S235 galvanis  [##########..........] 12.3 sec");
  EXPECT_EQ(ProgressLine(Texts(longName, true), 40), "Tube 40x40x2 S2  [##########..........]");
  EXPECT_EQ(ProgressLine(Texts(longName, true), 20), "T  [##########.....");
}

// A CJK character takes two columns of the terminal: the line is measured
// and cut by columns, never in the middle of a character.
TEST(ProgressLine, WideCharactersTakeTwoColumns) {
  const std::string name = "鋼管 角形";  // 4 wide characters and a blank: 9 columns
  const std::string full = ProgressLine(Texts(name, false), 1000);
  ASSERT_EQ(full.rfind("Optimizer Run...  " + name + "  [", 0), 0u) << full;
  EXPECT_EQ(ProgressLine(Texts(name, false), Columns(full) + 1), full);
  EXPECT_NE(ProgressLine(Texts(name, false), Columns(full)), full);
  // On a narrow terminal the name keeps its first whole character, here
  // two of the 19 columns, and the bar is cut.
  EXPECT_EQ(ProgressLine(Texts("鋼管角形鋼", true), 20), "鋼  [##########....");
  EXPECT_EQ(ProgressLine(Texts("鋼管角形鋼", true), 21), "鋼  [##########.....");
}

TEST(TerminalColumns, WithoutATerminalColumnsThenEighty) {
  int fds[2];
  ASSERT_EQ(::pipe(fds), 0);
  const char* old = std::getenv("COLUMNS");
  const std::optional<std::string> saved = old ? std::optional<std::string>(old) : std::nullopt;
  struct Case {
    const char* columns;
    int expected;
  };
  const Case cases[] = {{"132", 132}, {"40", 40}, {nullptr, 80}, {"", 80},
                        {"0", 80},    {"-5", 80}, {"12x", 80},   {"wide", 80}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.columns != nullptr ? c.columns : "(unset)");
    if (c.columns != nullptr) {
      ::setenv("COLUMNS", c.columns, 1);
    } else {
      ::unsetenv("COLUMNS");
    }
    EXPECT_EQ(TerminalColumns(fds[1]), c.expected);
  }
  if (saved) {
    ::setenv("COLUMNS", saved->c_str(), 1);
  } else {
    ::unsetenv("COLUMNS");
  }
  ::close(fds[0]);
  ::close(fds[1]);
}

// The view redraws one line in place, for the material the batch is on,
// and clears it when the search ends; without a terminal it draws nothing.
TEST(ConsoleProgressView, RedrawsInPlaceForTheCurrentMaterial) {
  ScriptedToolkit toolkit;
  std::string material = "A x";
  for (const bool draw : {true, false}) {
    std::ostringstream err;
    ConsoleProgressView view(toolkit, err, draw, [] { return 80; });
    view.NameMaterial([&] { return material; });
    view.OpenProgress(false);
    view.SetMultiPosition(100);
    view.SetBestTexts("97.125", "3.4 sec");
    view.Repaint();
    material = "B y";
    view.SetTimeText("0.5 sec");
    view.Repaint();
    view.CloseProgress();
    view.Repaint();
    if (!draw) {
      EXPECT_EQ(err.str(), "");
      continue;
    }
    EXPECT_EQ(err.str(),
              "\r\033[KA x  [####################] 0 sec  Criterion / Time: 97.125 / 3.4 sec"
              "\r\033[KB y  [####################] 0.5 sec  Criterion / Time: 97.125 / 3.4 sec"
              "\r\033[K");
    material = "A x";
  }
}

// Names from the input files reach the terminal with their control bytes
// written as text: an escape sequence in a material name is never sent raw.
TEST(ConsoleViews, ControlBytesOfAMaterialAreWrittenAsText) {
  std::ostringstream out;
  {
    ConsoleProcessView view(out);
    view.AddMemoLine("St\x1b[31meel x          3     1");
    view.ReplaceLastMemoLine("St\x1b[31meel x\r\x7f       3     1");
  }
  EXPECT_EQ(out.str(), "St\\x1b[31meel x\\x0d\\x7f       3     1\n");

  ScriptedToolkit toolkit;
  std::ostringstream err;
  ConsoleProgressView progress(toolkit, err, true, [] { return 80; });
  progress.NameMaterial([] { return std::string("St\x1b[31meel"); });
  progress.OpenProgress(false);
  progress.Repaint();
  EXPECT_EQ(err.str().rfind("\r\033[K"), 0u);
  EXPECT_EQ(err.str().find('\x1b', 3), std::string::npos) << err.str();
  EXPECT_NE(err.str().find("St\\x1b[31meel  ["), std::string::npos) << err.str();
}

// A material the exact method plans alone: its time, then its bound and
// best plan once known, without the run's bar; Ctrl-C stops it only while
// Esc is offered (otherwise it is left for the batch's termination check).
TEST(ConsoleProgressView, ShowsThePlanningOfALargeMaterial) {
  ScriptedToolkit toolkit;
  std::ostringstream err;
  ConsoleProgressView view(toolkit, err, true, [] { return 200; });
  view.NameMaterial([] { return std::string("A x"); });
  view.OpenPlanProgress(false);
  view.ShowPlanProgress({25, "2.5 sec", "", ""});
  view.ShowPlanProgress({50, "5.0 sec", "12000.00", "12600.50"});
  InstallInterruptHandler();
  ::raise(SIGINT);
  EXPECT_FALSE(view.PlanStopRequested());
  view.ClosePlanProgress();
  EXPECT_EQ(err.str(),
            "\r\033[KOptimizer Run...  A x  [....................] 0.0 sec"
            "\r\033[KOptimizer Run...  A x  [#####...............] 2.5 sec"
            "\r\033[KOptimizer Run...  A x  [##########..........] 5.0 sec  "
            "Bound / Best: 12000.00 / 12600.50"
            "\r\033[K");

  view.OpenPlanProgress(true);
  EXPECT_TRUE(view.PlanStopRequested());  // the pending Ctrl-C
  EXPECT_TRUE(view.PlanStopRequested());  // and it stays asked
  view.ClosePlanProgress();
  view.OpenPlanProgress(true);
  EXPECT_FALSE(view.PlanStopRequested());
  view.ClosePlanProgress();
}

// Every press counts once and is taken once; the count stops at its bound
// instead of wrapping.
TEST(Interrupts, CountedAndTakenOneByOne) {
  InstallInterruptHandler();
  while (TakeInterrupt()) {
  }
  EXPECT_EQ(PendingInterrupts(), 0);
  EXPECT_FALSE(TakeInterrupt());
  for (int i = 0; i < 3; ++i) ::raise(SIGINT);
  ::raise(SIGTERM);
  EXPECT_EQ(PendingInterrupts(), 4);
  EXPECT_TRUE(TakeInterrupt());
  EXPECT_EQ(PendingInterrupts(), 3);
  for (int i = 0; i < 1200; ++i) ::raise(SIGINT);
  EXPECT_EQ(PendingInterrupts(), 1000);
  int taken = 0;
  while (TakeInterrupt()) ++taken;
  EXPECT_EQ(taken, 1000);
  EXPECT_EQ(PendingInterrupts(), 0);
}

TEST(ProgressLine, APlanShowsItsBoundAndBestAsRoomAllows) {
  ProgressTexts t{"A x", 50, 0, "5.0 sec", "", "", true, true, "12000.00", "12600.50"};
  EXPECT_EQ(ProgressLine(t, 200),
            "Optimizer Run...  A x  [##########..........] 5.0 sec  Bound / Best: 12000.00 / "
            "12600.50  Esc to abort");
  // The best plan stays longer than the bound.
  EXPECT_EQ(ProgressLine(t, 60), "A x  [##########..........] 5.0 sec  Best: 12600.50");
  t.best.clear();
  EXPECT_EQ(ProgressLine(t, 200),
            "Optimizer Run...  A x  [##########..........] 5.0 sec  Bound: 12000.00  Esc to abort");
}

}  // namespace
}  // namespace tarvolin
