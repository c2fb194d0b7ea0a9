#include "discovery.h"

#include <unistd.h>

#include <string>
#include <vector>

#include "frontend_fixture.h"

namespace tarvolin {
namespace {

namespace fs = std::filesystem;

using test_support::FrontEndTest;
using test_support::ReadFile;
using test_support::WriteFile;

TEST(MaskMatches, WildcardsIgnoreCase) {
  struct Case {
    const char* mask;
    const char* name;
    bool matches;
  };
  const Case cases[] = {
      {"QM_Orders*.txt", "QM_Orders1.txt", true},
      {"QM_Orders*.txt", "QM_Orders.txt", true},
      {"QM_Orders*.txt", "qm_orders_A.TXT", true},
      {"QM_Orders*.txt", "QM_Orders1.txt.bak", false},
      {"QM_Orders*.txt", "XQM_Orders1.txt", false},
      {"QM_OptSet.txt", "qm_optset.TXT", true},
      {"QM_OptSet.txt", "QM_OptSet.txt2", false},
      {"a?c", "abc", true},
      {"a?c", "ac", false},
      {"a?c",
       "a\xC3\xA9"
       "c",
       true},
      {"*a*b*", "xxaYYbzz", true},
      {"*a*b*", "xxbYYa", false},
      {"*", "", true},
      {"", "x", false},
      {"\xC3\xA9*", "\xC3\xA9t\xC3\xA9", true},
  };
  for (const Case& c : cases)
    EXPECT_EQ(MaskMatches(c.mask, c.name), c.matches) << c.mask << " " << c.name;
}

using DiscoveryTest = FrontEndTest;

TEST_F(DiscoveryTest, FindsTheOnlyMatchWithTheMasksDirectory) {
  WriteFile("QM_Orders1.txt", "x");
  WriteFile("QM_Stocks1.txt", "x");
  fs::create_directory("sub");
  WriteFile("sub/qm_stocks_B.TXT", "x");
  EXPECT_EQ(FindInputFile(run, tk, "QM_Orders*.txt", "Order input", true, false), "QM_Orders1.txt");
  EXPECT_EQ(FindInputFile(run, tk, "sub/QM_Stocks*.txt", "Stock input", true, false),
            "sub/qm_stocks_B.TXT");
  EXPECT_EQ(FindInputFile(run, tk, "qm_orders1.TXT", "Order input", true, false), "QM_Orders1.txt");
  EXPECT_TRUE(tk.boxes.empty());
  EXPECT_FALSE(tk.Terminating());
}

// A spreadsheet export is looked for only when no text file matches.
TEST_F(DiscoveryTest, CsvMaskOnlyWithoutAMatchingTextFile) {
  EXPECT_EQ(InputMask("QM_Orders*", ".txt"), "QM_Orders*.txt");
  WriteFile("QM_Orders_a.csv", "");
  EXPECT_EQ(InputMask("QM_Orders*", ".txt"), "QM_Orders*.csv");
  WriteFile("QM_Orders_b.txt", "");
  EXPECT_EQ(InputMask("QM_Orders*", ".txt"), "QM_Orders*.txt");
}

TEST_F(DiscoveryTest, FirstMatchIsFirstInCaseInsensitiveOrder) {
  WriteFile("QM_Orders_b.txt", "x");
  WriteFile("qm_orders_A.txt", "x");
  WriteFile("QM_Orders_C.txt", "x");
  EXPECT_EQ(FindInputFile(run, tk, "QM_Orders*.txt", "Order input", false, false),
            "qm_orders_A.txt");
  EXPECT_EQ(MatchingEntries(".", "qm_orders*"),
            (std::vector<std::string>{"qm_orders_A.txt", "QM_Orders_b.txt", "QM_Orders_C.txt"}));
}

TEST_F(DiscoveryTest, NoMatchEndsTheRun) {
  EXPECT_EQ(FindInputFile(run, tk, "QM_Stocks*.txt", "Stock input", true, false), "");
  ExpectEndedWith("Can not find Stock input file: QM_Stocks*.txt");
}

TEST_F(DiscoveryTest, MissingDirectoryIsNoMatch) {
  EXPECT_EQ(FindInputFile(run, tk, "nowhere/QM_OptSet.txt", "Optimizer settings", true, false), "");
  ExpectEndedWith("Can not find Optimizer settings file: nowhere/QM_OptSet.txt");
}

TEST_F(DiscoveryTest, TwoMatchesEndTheRunEvenIfOneIsEmpty) {
  WriteFile("QM_Stocks1.txt", "header\nA x 10 1\n");
  WriteFile("QM_Stocks2.txt", "");
  EXPECT_EQ(FindInputFile(run, tk, "QM_Stocks*.txt", "Stock input", true, false), "");
  ExpectEndedWith("More than one Stock input file found: QM_Stocks*.txt");
}

TEST_F(DiscoveryTest, AFolderCountsAsAMatch) {
  fs::create_directory("QM_Orders_old.txt");
  EXPECT_EQ(FindInputFile(run, tk, "QM_Orders*.txt", "Order input", true, false),
            "QM_Orders_old.txt");
  WriteFile("QM_Orders1.txt", "x");
  EXPECT_EQ(FindInputFile(run, tk, "QM_Orders*.txt", "Order input", true, false), "");
  ExpectEndedWith("More than one Order input file found: QM_Orders*.txt");
}

TEST_F(DiscoveryTest, AskInputFileShowsTheDialog) {
  tk.fileAnswers = {std::string("/data/orders.txt")};
  EXPECT_EQ(AskInputFile(run, tk, "Order input files", " *.txt|*.txt"), "/data/orders.txt");
  ASSERT_EQ(tk.fileDialogs.size(), 1u);
  const FileDialogRequest& r = tk.fileDialogs[0];
  EXPECT_EQ(r.title, "QM5R.exe:  Choose input file to process: Order input files");
  EXPECT_EQ(r.filter, "Order input files *.txt|*.txt");
  EXPECT_EQ(fs::path(r.initialDirectory), fs::current_path());
  EXPECT_TRUE(r.mustExist);
  EXPECT_FALSE(tk.Terminating());
}

TEST_F(DiscoveryTest, CancelledDialogEndsTheRunWithoutMessage) {
  EXPECT_EQ(AskInputFile(run, tk, "Stock input files", " *.txt|*.txt"), "");
  EXPECT_TRUE(tk.Terminating());
  EXPECT_TRUE(tk.boxes.empty());
  EXPECT_EQ(ErrorLog(), "END");
}

TEST(ShortenToCurrentDirectory, OnlyTheCurrentDirectoryIsStripped) {
  struct Case {
    const char* name;
    const char* cwd;
    const char* expected;
  };
  const Case cases[] = {
      {"/work/x.txt", "/work", "x.txt"},
      {"/work/x.txt", "/work/", "x.txt"},
      {"/work/x.txt", "/other", "/work/x.txt"},
      {"/work/sub/x.txt", "/work", "/work/sub/x.txt"},
      {"/Work/x.txt", "/work", "/Work/x.txt"},
      {"x.txt", "/work", "x.txt"},
      {"/x.txt", "/", "x.txt"},
  };
  for (const Case& c : cases) {
    std::string order = c.name;
    std::string stock = std::string(c.name);
    ShortenToCurrentDirectory(order, stock, c.cwd);
    EXPECT_EQ(order, c.expected) << c.name << " in " << c.cwd;
    EXPECT_EQ(stock, c.expected);
  }
}

TEST_F(DiscoveryTest, ShortenUsesTheProcessCurrentDirectory) {
  std::string order = (fs::current_path() / "QM_Orders1.txt").string();
  std::string stock = "/elsewhere/QM_Stocks1.txt";
  ShortenToCurrentDirectory(order, stock);
  EXPECT_EQ(order, "QM_Orders1.txt");
  EXPECT_EQ(stock, "/elsewhere/QM_Stocks1.txt");
}

TEST(DeriveOutputName, ReportAndLabelsNames) {
  struct Case {
    const char* order;
    const char* report;
    const char* labels;
  };
  const Case cases[] = {
      {"QM_Orders1.txt", "QM_Report1.txt", "QM_Labels1.txt"},
      {"data/qm_ORDERS_a.txt", "data/qm_Report_a.txt", "data/qm_Labels_a.txt"},
      {"parts.txt", "parts_Report.txt", "parts_Labels.txt"},
      {"parts", "parts_Report.txt", "parts_Labels.txt"},
      {"Orders/parts.txt", "Orders/parts_Report.txt", "Orders/parts_Labels.txt"},
      {"a.b/orders", "a.b/Report.txt", "a.b/Labels.txt"},
      {"Orders_Orders.csv", "Report_Orders.txt", "Labels_Orders.txt"},
      {"x.Orders", "x.txt", "x.txt"},
      {"v1.2/my.parts.list", "v1.2/my.parts_Report.txt", "v1.2/my.parts_Labels.txt"},
      {"v1.2/parts", "v1.2/parts_Report.txt", "v1.2/parts_Labels.txt"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(DeriveOutputName(c.order, "Report", "_Report", ".txt"), c.report) << c.order;
    EXPECT_EQ(DeriveOutputName(c.order, "Labels", "_Labels", ".txt"), c.labels) << c.order;
  }
}

TEST_F(DiscoveryTest, NoLabelsNameWhenNoLabelsFile) {
  run.orderFile = "QM_Orders1.txt";
  DeriveOutputNames(run);
  EXPECT_EQ(run.reportFile, "QM_Report1.txt");
  EXPECT_EQ(run.labelsFile, "");
  run.init.writeLabelsFile = true;
  DeriveOutputNames(run);
  EXPECT_EQ(run.labelsFile, "QM_Labels1.txt");
}

class CollisionTest : public FrontEndTest {
 protected:
  void SetUp() override {
    FrontEndTest::SetUp();
    run.optSetFile = "QM_OptSet.txt";
    run.stockFile = "QM_Stocks1.txt";
    run.orderFile = "QM_Orders1.txt";
    for (const std::string* f : {&run.optSetFile, &run.stockFile, &run.orderFile})
      WriteFile(*f, "input " + *f);
  }
};

TEST_F(CollisionTest, DistinctNamesPass) {
  DeriveOutputNames(run);
  EXPECT_FALSE(OutputsCollideWithInputs(run, tk));
  EXPECT_FALSE(tk.Terminating());
}

TEST_F(CollisionTest, AReportNamedLikeTheStockFileEndsTheRun) {
  run.orderFile = "QM_Orders1.txt";
  run.stockFile = "./QM_Report1.txt";
  WriteFile("QM_Report1.txt", "stock lines");
  DeriveOutputNames(run);
  EXPECT_TRUE(OutputsCollideWithInputs(run, tk));
  ExpectEndedWith(
      "Output file would overwrite a file of this run:\rQM_Report1.txt\rSame file as: "
      "./QM_Report1.txt");
  EXPECT_EQ(ReadFile("QM_Report1.txt"), "stock lines");
}

TEST_F(CollisionTest, ALabelsFileLinkedToTheSettingsEndsTheRun) {
  run.init.writeLabelsFile = true;
  run.orderFile = "sub/parts.txt";
  fs::create_directory("sub");
  WriteFile(run.orderFile, "x");
  ASSERT_EQ(::link("QM_OptSet.txt", "sub/parts_Labels.txt"), 0);
  DeriveOutputNames(run);
  EXPECT_TRUE(OutputsCollideWithInputs(run, tk));
  ExpectEndedWith(
      "Output file would overwrite a file of this run:\rsub/parts_Labels.txt\rSame file as: "
      "QM_OptSet.txt");
  EXPECT_EQ(ReadFile("QM_OptSet.txt"), "input QM_OptSet.txt");
}

TEST_F(CollisionTest, AReportOverAnOrderGivenAsOrdersFileEndsTheRun) {
  run.orderFile = "QM_OptSet.Orders";
  WriteFile(run.orderFile, "x");
  DeriveOutputNames(run);
  EXPECT_EQ(run.reportFile, "QM_OptSet.txt");
  EXPECT_TRUE(OutputsCollideWithInputs(run, tk));
  EXPECT_TRUE(tk.Terminating());
}

TEST_F(CollisionTest, ReportAndLabelsOfTheSameNameEndTheRun) {
  run.init.writeLabelsFile = true;
  run.orderFile = "x.Orders";
  WriteFile(run.orderFile, "x");
  DeriveOutputNames(run);
  EXPECT_TRUE(OutputsCollideWithInputs(run, tk));
  ExpectEndedWith("Output file would overwrite a file of this run:\rx.txt\rSame file as: x.txt");
}

}  // namespace
}  // namespace tarvolin
