#include "material_names.h"

#include <ostream>
#include <string>
#include <vector>

#include "frontend_fixture.h"
#include "order_input.h"

namespace tarvolin {
namespace {

using test_support::FrontEndTest;
using test_support::WriteFile;

const std::string kSilver = "Aluminium-6060-T66 40x40x2-anodised-silver";
const std::string kBlack = "Aluminium-6060-T66 40x40x2-anodised-black";
const std::string kKey = "Aluminium-6060-T66 40x40x2-anodi";  // the first 32 characters of both

std::string Cut(const std::string& file, int line, const std::string& name,
                const std::string& key = kKey) {
  return "Material name cut to 32 characters:\r" + name + "\rMater/Sect: " + key + "\r" + file +
         "\rSee line: " + std::to_string(line);
}

std::string Shared(const std::string& first, const std::string& second) {
  return "Different materials share one material key:\r" + first + "\r" + second +
         "\rMater/Sect: " + kKey;
}

class MaterialNamesTest : public FrontEndTest {
 protected:
  void SetUp() override {
    FrontEndTest::SetUp();
    run.orderFile = "QM_Orders1.txt";
    run.stockFile = "QM_Stocks1.txt";
  }
  std::vector<std::string> Boxes(BoxKind kind) const {
    std::vector<std::string> texts;
    for (const auto& box : tk.boxes)
      if (box.kind == kind) texts.push_back(box.text);
    return texts;
  }
};

struct NamesCase {
  const char* what;
  std::string orders, stocks;
  std::vector<std::string> warnings;
  std::string error;  // empty: the run goes on
};

void PrintTo(const NamesCase& c, std::ostream* os) {
  *os << c.what;
}

class MaterialNamesCaseTest : public MaterialNamesTest,
                              public ::testing::WithParamInterface<NamesCase> {};

TEST_P(MaterialNamesCaseTest, CutNamesAreWarnedAndSharedKeysEndTheRun) {
  const NamesCase& c = GetParam();
  WriteFile(run.orderFile, c.orders);
  WriteFile(run.stockFile, c.stocks);
  EXPECT_EQ(CheckMaterialNames(run, tk), c.error.empty());
  EXPECT_EQ(Boxes(BoxKind::Warning), c.warnings);
  EXPECT_EQ(Boxes(BoxKind::Error),
            c.error.empty() ? std::vector<std::string>{} : std::vector<std::string>{c.error});
  EXPECT_EQ(tk.Terminating(), !c.error.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Names, MaterialNamesCaseTest,
    ::testing::Values(
        NamesCase{"short names", "h\nA x 1 1\nB y 2 1\n", "h\nA x 10 1\nC z 10 1\n", {}, ""},
        NamesCase{"one long name, warned once per file",
                  "h\n" + kSilver + " 1 1\n" + kSilver + " 2 1\n",
                  "h\n" + kSilver + " 10 1\n\n" + kSilver + " 12 1\n",
                  {Cut("QM_Orders1.txt", 2, kSilver), Cut("QM_Stocks1.txt", 2, kSilver)},
                  ""},
        NamesCase{
            "two long names in the order file",
            "h\nA x 5 1\n" + kSilver + " 1 3 S\n" + kBlack + " 2 2 B\n",
            "h\n" + kSilver + " 10 5\n",
            {Cut("QM_Orders1.txt", 3, kSilver), Cut("QM_Orders1.txt", 4, kBlack)},
            Shared("QM_Orders1.txt, line 3: " + kSilver, "QM_Orders1.txt, line 4: " + kBlack)},
        NamesCase{
            "an order name against another stock name",
            "h\n" + kSilver + " 1 3\n",
            "h\nA x 10 1\n" + kSilver + " 10 5\n" + kBlack + " 10 5\n",
            {Cut("QM_Orders1.txt", 2, kSilver), Cut("QM_Stocks1.txt", 3, kSilver),
             Cut("QM_Stocks1.txt", 4, kBlack)},
            Shared("QM_Orders1.txt, line 2: " + kSilver, "QM_Stocks1.txt, line 4: " + kBlack)},
        NamesCase{"stock names of materials not ordered",
                  "h\nA x 1 1\n",
                  "h\n" + kSilver + " 10 5\n" + kBlack + " 10 5\n",
                  {},
                  ""},
        NamesCase{"a name of exactly 32 characters against a longer one",
                  "h\n" + kKey + " 1 1\n" + kSilver + " 1 1\n",
                  "h\n",
                  {Cut("QM_Orders1.txt", 3, kSilver)},
                  Shared("QM_Orders1.txt, line 2: " + kKey, "QM_Orders1.txt, line 3: " + kSilver)},
        NamesCase{"long names that differ within the key",
                  "h\n" + kSilver + " 1 1\nAluminium-6060-T66 40x40x3-anodised-silver 1 1\n",
                  "h\n",
                  {Cut("QM_Orders1.txt", 2, kSilver),
                   Cut("QM_Orders1.txt", 3, "Aluminium-6060-T66 40x40x3-anodised-silver",
                       "Aluminium-6060-T66 40x40x3-anodi")},
                  ""}),
    test_support::NameFromWhat<NamesCase>);

TEST_F(MaterialNamesTest, TheFirstPassChecksOnceAndASharedKeyEndsTheRun) {
  WriteFile(run.orderFile, "h\n" + kSilver + " 1 1\nB y 2 1\n");
  WriteFile(run.stockFile, "h\n");
  StartMaterialPass(run);
  ASSERT_TRUE(ReadOrderPass(run, tk));
  EXPECT_EQ(run.pass.material, kKey);
  StartMaterialPass(run);
  ASSERT_TRUE(ReadOrderPass(run, tk));
  EXPECT_EQ(run.pass.material, "B y");
  EXPECT_EQ(Boxes(BoxKind::Warning), std::vector<std::string>{Cut("QM_Orders1.txt", 2, kSilver)});

  tk.boxes.clear();
  run.checked = 0;
  WriteFile(run.orderFile, "h\n" + kSilver + " 1 1\n" + kBlack + " 2 1\n");
  StartMaterialPass(run);
  EXPECT_FALSE(ReadOrderPass(run, tk));
  EXPECT_EQ(run.pass.partGroupCount, 0);
  EXPECT_TRUE(tk.Terminating());
}

}  // namespace
}  // namespace tarvolin
