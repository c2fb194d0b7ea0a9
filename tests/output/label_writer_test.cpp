#include "label_writer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include <string>
#include <vector>

#include "output_fixtures.h"
#include "printer.h"

namespace tarvolin {
namespace {

using testing_support::Golden;
using testing_support::Model;
using testing_support::OutputTest;
using testing_support::PlanCase;
using testing_support::ReadBytes;
using testing_support::SevenPieces;
using testing_support::TempPath;
using testing_support::ThirtySevenPieces;

class LabelsTest : public OutputTest {
 protected:
  std::string LabelsFile(PlanCase& run) {
    const std::string path = TempPath("labels.txt");
    EXPECT_EQ(run.labels.Create(path), 0);
    EXPECT_EQ(WriteLabels(Model(run), run.format, run.labels), LabelStatus::kOk);
    EXPECT_EQ(run.labels.Close(), 0);
    return ReadBytes(path);
  }
};

TEST(FitLabelFieldTest, PadsCutsOrKeeps) {
  const struct {
    std::string text;
    int n;
    std::string expected;
  } cases[] = {
      {"B7", 5, "   B7"},
      {"", 3, "   "},
      {"EXACTLY-16-CHARS", 16, "EXACTLY-16-CHARS"},
      {"SEVENTEEN-CHARS-X", 16, "SEVENTEEN-CHARS?"},
      {"ALUMINIUM PROFILE 40x80 RAW", 26, "ALUMINIUM PROFILE 40x80 R?"},
      {"12345678901234567.00", 15, "12345678901234?"},
      {"AB", 1, "?"},
      // Characters, not bytes: "Ø" and "ß" are one character of two bytes each.
      {"Rohr Ø40", 10, "  Rohr Ø40"},
      {"Maßband", 7, "Maßband"},
      {"Maßbänder", 5, "Maßb?"},
  };
  for (const auto& c : cases) EXPECT_EQ(FitLabelField(c.text, c.n), c.expected) << c.text;
}

TEST_F(LabelsTest, SevenPiecesToTheFile) {
  auto run = SevenPieces();
  EXPECT_EQ(LabelsFile(*run), Golden("labels_file_7.txt"));
}

TEST_F(LabelsTest, LabelLengthsKeepAPointOnACommaLocale) {
  auto run = SevenPieces();
  UseCommaLocale(*run);
  EXPECT_EQ(LabelsFile(*run), Golden("labels_file_7.txt"));
}

TEST_F(LabelsTest, FileHasNoPagesWhateverThePieceCount) {
  auto run = ThirtySevenPieces();
  const std::string text = LabelsFile(*run);
  EXPECT_EQ(text.find("Page"), std::string::npos);
  EXPECT_EQ(text.find('\f'), std::string::npos);
  EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 13 * 5);
}

TEST_F(LabelsTest, ThirtySevenPiecesPrintedInMode1) {
  auto run = ThirtySevenPieces();
  RecordingPrinter printer(600);
  EXPECT_EQ(WriteLabels(Model(*run), run->format, printer, 1), LabelStatus::kOk);
  EXPECT_EQ(printer.Transcript(), Golden("labels_printer_mode1_37.txt"));
  ASSERT_EQ(printer.Jobs().size(), 1u);
  const PrinterSetup& setup = printer.Jobs()[0];
  EXPECT_EQ(setup.fontName, "Courier New");
  EXPECT_TRUE(setup.fixedPitch);
  EXPECT_TRUE(setup.bold);
  EXPECT_EQ(setup.cellHeight, 96);
  EXPECT_EQ(setup.orientation, PageOrientation::kPortrait);
  EXPECT_EQ(printer.EndedJobs(), 1);
  EXPECT_FALSE(printer.InJob());
}

TEST_F(LabelsTest, ThirtySevenPiecesPrintedInMode2) {
  auto run = ThirtySevenPieces();
  RecordingPrinter printer(300);
  EXPECT_EQ(WriteLabels(Model(*run), run->format, printer, 2), LabelStatus::kOk);
  EXPECT_EQ(printer.Transcript(), Golden("labels_printer_mode2_37.txt"));
  ASSERT_EQ(printer.Jobs().size(), 1u);
  EXPECT_EQ(printer.Jobs()[0].cellHeight, 49);
  EXPECT_EQ(printer.EndedJobs(), 1);
}

// Piece numbers of six digits widen the number fields of the material's
// labels by one, and the dotted line with them.
TEST_F(LabelsTest, SixDigitPieceNumbersWidenTheLabels) {
  PlanCase run;
  MaterialPlan& plan = run.plan;
  plan.material = "ALU";
  plan.stockGroupCount = 1;
  plan.stockGroups[1] = {600000, 0, 2, "ALU", ""};
  plan.partGroupCount = 1;
  plan.partGroups[1].length = 100000;
  plan.partGroups[1].mark = "M";
  SolverResults& r = plan.results;
  r.SizeTables(2, 100000);
  for (int i = 1; i <= 100000; ++i) r.partItemGroup[i] = 1;
  r.stockItemGroup[1] = r.stockItemGroup[2] = 1;
  r.stockItemLayout[1] = 1;
  r.stockItemLayout[2] = 2;
  r.partItemStock[99999] = r.partItemStock[100000] = 1;
  r.partItemStock[5] = 2;
  r.partsCut = 3;
  const std::string sep = "  .  ";
  const std::string material = std::string(24, ' ') + "ALU";
  const std::string stock = "        6000.00";
  const std::string piece = "        1000.00";
  const std::string mark = std::string(15, ' ') + "M";
  const std::string expected = material + sep + material + sep + material + "\r\n" +  //
                               "Stock     1 " + stock + sep + "Stock     1 " + stock + sep +
                               "Stock     2 " + stock + "\r\n" +  //
                               "Piece 99999 " + piece + sep + "Piece100000 " + piece + sep +
                               "Piece     5 " + piece + "\r\n" +  //
                               "Lay#    1, " + mark + sep + "Lay#    1, " + mark + sep +
                               "Lay#    2, " + mark + "\r\n" +
                               std::string(3 * (15 + 12 + 5) - 5, '.') + "\r\n";
  EXPECT_EQ(LabelsFile(run), expected);
}

TEST(LabelPrinterSetupTest, CellHeightFollowsResolutionAndMode) {
  const struct {
    int mode, ppi, height;
  } cases[] = {{1, 600, 96}, {1, 720, 115}, {1, 300, 48}, {2, 720, 118}, {2, 300, 49}};
  for (const auto& c : cases)
    EXPECT_EQ(LabelPrinterSetup(c.mode, c.ppi).cellHeight, c.height) << c.mode << " " << c.ppi;
}

// With the remnant store each label has a fifth line naming the remnant
// its bar is and the offcut it leaves; a printed page then holds 10 rows in
// mode 1 and 8 in mode 2, so that the page is no longer than without it.
TEST_F(LabelsTest, RemnantStoreAddsALineAndShortensThePage) {
  const struct {
    int mode;
    int labelsOnFirstPage;
  } cases[] = {{1, 30}, {2, 24}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.mode);
    auto run = ThirtySevenPieces();
    plan::MaterialPlan model = Model(*run);
    model.remnantStore = true;
    model.bars[0].remnant = "R00007";
    model.bars[0].offcut = "R00012";
    RecordingPrinter printer;
    EXPECT_EQ(WriteLabels(model, run->format, printer, c.mode), LabelStatus::kOk);
    const std::string text = printer.Transcript();
    const std::string firstPage = text.substr(0, text.find('\f'));
    int labels = 0;
    for (size_t at = firstPage.find("Piece"); at != std::string::npos;
         at = firstPage.find("Piece", at + 1))
      ++labels;
    EXPECT_EQ(labels, c.labelsOnFirstPage);
    EXPECT_NE(text.find("Bar R00007 Offcut R00012"), std::string::npos);
    EXPECT_NE(text.find("Bar new"), std::string::npos);
  }
}

TEST_F(LabelsTest, AFullLastPageEndsWithAFormFeed) {
  auto run = ThirtySevenPieces();
  SolverResults& r = run->plan.results;
  r.partItemStock[25] = 0;
  r.partsCut = 36;
  RecordingPrinter printer;
  EXPECT_EQ(WriteLabels(Model(*run), run->format, printer, 1), LabelStatus::kOk);
  EXPECT_EQ(printer.FormFeeds(), 1);
  EXPECT_EQ(printer.Transcript().back(), '\f');
  EXPECT_EQ(printer.Transcript().find("Page 2"), std::string::npos);
}

TEST_F(LabelsTest, EveryPieceGetsALabelWhenPartsCutDisagrees) {
  auto run = SevenPieces();
  run->plan.results.partsCut = 9;
  EXPECT_EQ(LabelsFile(*run), Golden("labels_file_7.txt"));
}

TEST_F(LabelsTest, FailedFileWriteStopsWithAStatus) {
  auto run = SevenPieces();
  const LabelStatus status = WriteLabels(Model(*run), run->format, run->labels);  // never created
  EXPECT_EQ(status, LabelStatus::kFileWriteFailed);
  EXPECT_EQ(LabelStatusMessage(status), "Error writing Labels file");
  EXPECT_GT(run->labels.Errors(), 0);
}

TEST_F(LabelsTest, PrinterFailuresEndTheJobInOrder) {
  auto run = ThirtySevenPieces();

  RecordingPrinter cannotOpen;
  cannotOpen.failBegin = true;
  EXPECT_EQ(WriteLabels(Model(*run), run->format, cannotOpen, 1), LabelStatus::kPrinterOpenFailed);
  EXPECT_EQ(cannotOpen.Transcript(), "");

  RecordingPrinter failsMidway;
  failsMidway.failWriteNumber = 5;
  EXPECT_EQ(WriteLabels(Model(*run), run->format, failsMidway, 2),
            LabelStatus::kPrinterWriteFailed);
  EXPECT_EQ(std::count(failsMidway.Transcript().begin(), failsMidway.Transcript().end(), '\n'), 4);
  EXPECT_EQ(failsMidway.EndedJobs(), 1);
  EXPECT_FALSE(failsMidway.InJob());

  RecordingPrinter cannotClose;
  cannotClose.failEnd = true;
  EXPECT_EQ(WriteLabels(Model(*run), run->format, cannotClose, 1),
            LabelStatus::kPrinterCloseFailed);

  RecordingPrinter unused;
  EXPECT_EQ(WriteLabels(Model(*run), run->format, unused, 3), LabelStatus::kBadMode);
  EXPECT_TRUE(unused.Jobs().empty());

  for (LabelStatus s : {LabelStatus::kPrinterOpenFailed, LabelStatus::kPrinterWriteFailed,
                        LabelStatus::kPrinterCloseFailed, LabelStatus::kBadMode})
    EXPECT_FALSE(LabelStatusMessage(s).empty());
  EXPECT_TRUE(LabelStatusMessage(LabelStatus::kOk).empty());
}

}  // namespace
}  // namespace tarvolin

namespace tarvolin {
namespace {

// With barcodes each row of printed labels is followed by one row of
// barcodes, a cell under each label holding its order line, piece number
// and mark; a page then holds 6 rows of labels. Checked against the labels'
// own text: the "Piece" line above names the pieces the cells must carry.
TEST_F(LabelsTest, BarcodesFollowEachRowOfPrintedLabels) {
  for (const int mode : {1, 2}) {
    SCOPED_TRACE(mode);
    auto run = ThirtySevenPieces();
    RecordingPrinter printer;
    ASSERT_EQ(WriteLabels(Model(*run), run->format, printer, mode, BarcodeKind::kQr),
              LabelStatus::kOk);
    std::vector<std::string> lines;
    std::istringstream in(printer.Transcript());
    for (std::string line; std::getline(in, line, '\n');) lines.push_back(line);
    int codeRows = 0;
    for (size_t i = 0; i < lines.size(); ++i) {
      if (!lines[i].starts_with("[qr ")) continue;
      ++codeRows;
      // Two lines up: "Piece n ..." of each label in the row.
      ASSERT_GE(i, 2u);
      const std::string& pieces = lines[i - 2];
      size_t cellAt = 0;
      for (size_t at = pieces.find("Piece"); at != std::string::npos;
           at = pieces.find("Piece", at + 1)) {
        const int piece = std::stoi(pieces.substr(at + 5));
        const size_t cell = lines[i].find('/', cellAt);
        ASSERT_NE(cell, std::string::npos) << lines[i];
        const size_t end = lines[i].find_first_of("/ ", cell + 1);
        EXPECT_EQ(std::stoi(lines[i].substr(cell + 1, end - cell - 1)), piece) << lines[i];
        // The cell starts where its label's text does.
        const size_t column = lines[i].find('@', cell);
        EXPECT_EQ(std::stoul(lines[i].substr(column + 1)), at) << lines[i];
        cellAt = column;
      }
    }
    EXPECT_EQ(codeRows, 13);  // 37 labels, three to a row
    EXPECT_EQ(printer.FormFeeds(), 2);
    EXPECT_NE(printer.Transcript().find("Page 3"), std::string::npos);
    EXPECT_EQ(printer.Transcript().find("Page 4"), std::string::npos);
  }
}

TEST(PieceBarcodeTextTest, LineSlashPieceAndTheMarkWhenThereIsOne) {
  EXPECT_EQ(PieceBarcodeText(12, 3, "A17"), "12/3/A17");
  EXPECT_EQ(PieceBarcodeText(12, 4, ""), "12/4");
}

}  // namespace
}  // namespace tarvolin
