#include "remnant_store.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <string>

#include "frontend_fixture.h"

namespace tarvolin {
namespace {

constexpr const char* kHeader = "Material Profile Length Qty Cost Id Date Order\r\n";

TEST(RemnantStore, MalformedLinesNameTheirLineAndReason) {
  struct Case {
    const char* line;
    const char* reason;
  };
  const Case cases[] = {
      {"Steel 40x40 1200 1 0 R00001 2026-01-02", "8 fields expected"},
      {"Steel 40x40 1200 1 0 R00001 2026-01-02 a.txt extra", "8 fields expected"},
      {"Steel 40x40 12x0 1 0 R00001 2026-01-02 a.txt", "the length is not a length above 0"},
      {"Steel 40x40 0 1 0 R00001 2026-01-02 a.txt", "the length is not a length above 0"},
      {"Steel 40x40 1200 2 0 R00001 2026-01-02 a.txt", "the quantity of a remnant must be 1"},
      {"Steel 40x40 1200 1 -1 R00001 2026-01-02 a.txt", "the cost is not a number of 0 or more"},
      {"Steel 40x40 1200 1 x R00001 2026-01-02 a.txt", "the cost is not a number of 0 or more"},
      {"Steel 40x40 1200 1 0 00001 2026-01-02 a.txt", "the identifier is not R and a number"},
      {"Steel 40x40 1200 1 0 R0 2026-01-02 a.txt", "the identifier is not R and a number"},
      {"Steel 40x40 1200 1 0 R00001 2026-1-2 a.txt", "the date is not YYYY-MM-DD or -"},
      {"Steel 40x40 1200 1 0 R00001 - \"\"", "the order file is empty"},
      {"\"Steel 40x40 1200 1 0 R00001 - a.txt", "a quote is not closed"},
      {"Steel 40x40 1200 1 0 R00007 - a.txt", "the identifier R00007 is on line 2 too"},
      {"Steel ABCDEFGHIJKLMNOPQRSTUVWXYZ0 1200 1 0 R00001 - a.txt",
       "material and profile longer than 32 characters"},
  };
  for (const Case& c : cases) {
    const std::string content = std::string(kHeader) +
                                "Steel 40x40 900 1 0 R00007 2026-01-02 a.txt\r\n\r\n" + c.line +
                                "\r\n";
    RemnantStoreText store;
    int line = -1;
    std::string reason;
    EXPECT_FALSE(ParseRemnantStore(content, store, line, reason)) << c.line;
    EXPECT_EQ(line, 4) << c.line;
    EXPECT_EQ(reason.find(c.reason), 0u) << c.line << ": " << reason;
  }
}

TEST(RemnantStore, ReadsRemnantsSkippingHeaderCommentsAndEmptyLines) {
  const std::string content =
      "\xEF\xBB\xBF# kept by hand\n\nMaterial Profile Length Qty Cost Id Date Order\n"
      "Steel 40x40 1250,5 1 3.25 R00042 2026-12-01 QM_Orders1.txt\n"
      "  \"Alu bar\" \"30 x 30\" 5-1/2 1 0 R7 - \"my orders.txt\"\n";
  RemnantStoreText store;
  int line = 0;
  std::string reason;
  ASSERT_TRUE(ParseRemnantStore(content, store, line, reason)) << reason;
  ASSERT_EQ(store.remnants.size(), 2u);
  EXPECT_EQ(store.remnants[0].material, "Steel 40x40");
  EXPECT_EQ(store.remnants[0].length, 125050);
  EXPECT_EQ(store.remnants[0].cost, 325);
  EXPECT_EQ(store.remnants[0].id, "R00042");
  EXPECT_EQ(store.remnants[1].material, "Alu bar 30 x 30");
  EXPECT_EQ(store.remnants[1].length, 550);
  EXPECT_EQ(store.remnants[1].orderFile, "my orders.txt");
  EXPECT_EQ(store.nextNumber, 43);
  // A file with only a header, or nothing, is an empty store.
  EXPECT_TRUE(ParseRemnantStore("", store, line, reason));
  EXPECT_TRUE(store.remnants.empty());
  EXPECT_EQ(store.nextNumber, 1);
}

TEST(RemnantStore, NextIdentifierNeverGoesBackBelowAnyGiven) {
  const struct {
    const char* next;
    const char* highest;
    int64_t expected;
  } cases[] = {{"# next R00050", "R00042", 50}, {"# next R00010", "R00042", 43}, {"", "R9", 10}};
  for (const auto& c : cases) {
    const std::string content =
        std::string(c.next) + "\r\n" + kHeader + "S x 100 1 0 " + c.highest + " - -\r\n";
    RemnantStoreText store;
    int line = 0;
    std::string reason;
    ASSERT_TRUE(ParseRemnantStore(content, store, line, reason)) << reason;
    EXPECT_EQ(store.nextNumber, c.expected) << c.next;
  }
  EXPECT_EQ(RemnantId(42), "R00042");
  EXPECT_EQ(RemnantId(123456), "R123456");
}

TEST(RemnantStore, WrittenLinesReadBackAsTheSameRemnant) {
  const Remnant written[] = {
      {"R00001", "Steel 40x40", 123456, 1250, "2026-12-09", "QM_Orders1.txt"},
      {"R00002", "Alu bar RHS 30", 5, 0, "2026-12-09", "my orders.txt"},
      {"R00003", "Steel \"Q\"", 100, 0, "", ""},
  };
  std::string content = kHeader;
  for (const Remnant& r : written) content += RemnantLine(r) + "\r\n";
  RemnantStoreText store;
  int line = 0;
  std::string reason;
  ASSERT_TRUE(ParseRemnantStore(content, store, line, reason)) << reason << " " << line;
  ASSERT_EQ(store.remnants.size(), 3u);
  for (size_t i = 0; i < 3; ++i) {
    EXPECT_EQ(store.remnants[i].material, written[i].material);
    EXPECT_EQ(store.remnants[i].length, written[i].length);
    EXPECT_EQ(store.remnants[i].cost, written[i].cost);
    EXPECT_EQ(store.remnants[i].orderFile,
              written[i].orderFile.empty() ? "-" : written[i].orderFile);
  }
  EXPECT_EQ(RemnantLine(written[0]),
            "Steel 40x40 1234.56 1 12.50 R00001 2026-12-09 QM_Orders1.txt");
}

TEST(RemnantStore, UpdateDropsUsedLinesKeepsTheRestAndAppendsAdded) {
  const std::string content = std::string("# next R00005\r\n") + kHeader +
                              "# a note\r\n"
                              "Steel   40x40  900  1 0 R00003 - -\r\n"
                              "Steel   40x40  800  1 0 R00004 - -\r\n";
  RemnantStoreText store;
  int line = 0;
  std::string reason;
  ASSERT_TRUE(ParseRemnantStore(content, store, line, reason));
  const Remnant added{"R00005", "Steel 40x40", 150000, 0, "2026-12-09", "o.txt"};
  EXPECT_EQ(UpdatedRemnantStore(store, {"R00003"}, {added}, 6),
            std::string("# next R00006\r\n") + kHeader +
                "# a note\r\n"
                "Steel   40x40  800  1 0 R00004 - -\r\n"
                "Steel 40x40 1500.00 1 0.00 R00005 2026-12-09 o.txt\r\n");
  // A new store gets its header.
  EXPECT_EQ(UpdatedRemnantStore(RemnantStoreText{}, {}, {}, 1),
            std::string("# next R00001\r\n") + kHeader);
}

class RemnantStoreFileTest : public test_support::FrontEndTest {};

TEST_F(RemnantStoreFileTest, SecondOpenWhileLockedIsRefusedAndMissingFileIsEmpty) {
  RemnantStoreFile first, second;
  std::string content = "x";
  EXPECT_EQ(first.Open("QM_Remnants.txt", content), 0);
  EXPECT_EQ(content, "");
  test_support::WriteFile(dir_ / "QM_Remnants.txt", "Header\r\n");
  EXPECT_EQ(first.Open("QM_Remnants.txt", content), 0);
  EXPECT_EQ(content, "Header\r\n");
  EXPECT_EQ(second.Open("QM_Remnants.txt", content), EWOULDBLOCK);
  EXPECT_EQ(first.Replace("new\r\n"), "");
  EXPECT_EQ(test_support::ReadFile(dir_ / "QM_Remnants.txt"), "new\r\n");
  EXPECT_FALSE(std::filesystem::exists(dir_ / "QM_Remnants.txt.tmp"));
  first.Close();
  EXPECT_EQ(second.Open("QM_Remnants.txt", content), 0);
  EXPECT_EQ(content, "new\r\n");
  std::filesystem::create_symlink("QM_Remnants.txt", dir_ / "link.txt");
  EXPECT_EQ(first.Open("link.txt", content), ELOOP);
}

}  // namespace
}  // namespace tarvolin
