#include "text_file.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

namespace tarvolin {
namespace {

namespace fs = std::filesystem;

std::string ReadAll(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

class TextFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "tarvolin-textfile-XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    dir_ = pattern;
  }
  void TearDown() override { fs::remove_all(dir_); }
  fs::path dir_;
};

TEST_F(TextFileTest, LinesEndWithCrLf) {
  TextOutFile f;
  ASSERT_EQ(f.Create((dir_ / "a.txt").string()), 0);
  f.WriteLine("one");
  f.WriteLine("");
  f.Write("END");
  EXPECT_EQ(f.Close(), 0);
  EXPECT_EQ(f.errors, 0);
  EXPECT_EQ(ReadAll(dir_ / "a.txt"), "one\r\n\r\nEND");
}

TEST_F(TextFileTest, FailuresAreCounted) {
  TextOutFile f;
  EXPECT_NE(f.Create((dir_ / "no-such-dir" / "a.txt").string()), 0);
  EXPECT_GT(f.errors, 0);
  const long before = f.errors;
  f.WriteLine("x");
  EXPECT_GT(f.errors, before);
}

// The reason given for a failed output is the first failure, not what
// followed from it (a write to a file that never opened).
TEST_F(TextFileTest, TheFirstFailureIsKeptForItsReason) {
  struct Case {
    const char* what;
    std::function<int(TextOutFile&)> fail;
    int first;
    const char* text;
  };
  const std::string missingDir = (dir_ / "no-such-dir" / "a.txt").string();
  const std::vector<Case> cases = {
      {"missing directory", [&](TextOutFile& f) { return f.Create(missingDir); }, ENOENT,
       "No such file or directory"},
      {"full device",
       [](TextOutFile& f) {
         f.Create("/dev/full");
         f.WriteLine("x");
         return f.Flush();
       },
       ENOSPC, "No space left on device"},
      {"directory in the target's place",
       [&](TextOutFile& f) {
         fs::create_directory(dir_ / "report.txt");
         return f.CreateReplacing((dir_ / "report.txt").string());
       },
       EISDIR, "Is a directory"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TextOutFile f;
    EXPECT_EQ(f.FirstError(), 0);
    EXPECT_EQ(c.fail(f), c.first);
    f.WriteLine("after the failure");
    f.Close();
    EXPECT_EQ(f.FirstError(), c.first);
    EXPECT_EQ(IoErrorText(f.FirstError()), c.text);
  }
  // The directory was left as it was, with no temporary beside it.
  EXPECT_TRUE(fs::is_directory(dir_ / "report.txt"));
  EXPECT_FALSE(fs::exists(TextOutFile::TemporaryPath((dir_ / "report.txt").string())));

  // A new file starts without a failure.
  TextOutFile f;
  f.Create(missingDir);
  ASSERT_EQ(f.Create((dir_ / "b.txt").string()), 0);
  EXPECT_EQ(f.FirstError(), 0);
}

TEST_F(TextFileTest, LockedFileIsTestedBeforeItIsTruncated) {
  const std::string path = (dir_ / "log.txt").string();
  { std::ofstream(path, std::ios::binary) << "old"; }
  TextOutFile first;
  ASSERT_EQ(first.CreateLocked(path), 0);
  EXPECT_EQ(ReadAll(path), "");
  first.Write("running");
  first.Flush();

  TextOutFile second;
  EXPECT_EQ(second.CreateLocked(path), EWOULDBLOCK);
  EXPECT_EQ(second.errors, 0);
  EXPECT_FALSE(second.IsOpen());
  EXPECT_EQ(ReadAll(path), "running");

  first.Close();
  ASSERT_EQ(second.CreateLocked(path), 0);
  EXPECT_EQ(ReadAll(path), "");
}

TEST_F(TextFileTest, ReplacingFileTakesTheTargetsPlaceOnlyWhenClosed) {
  const std::string path = (dir_ / "report.txt").string();
  const std::string temporary = TextOutFile::TemporaryPath(path);
  { std::ofstream(path, std::ios::binary) << "previous"; }
  { std::ofstream(temporary, std::ios::binary) << "left over"; }

  TextOutFile first;
  ASSERT_EQ(first.CreateReplacing(path), 0);
  first.Write("new");
  first.Flush();
  EXPECT_EQ(ReadAll(path), "previous");
  EXPECT_EQ(ReadAll(temporary), "new");

  // Another writer of the same target is refused and changes nothing.
  TextOutFile second;
  EXPECT_EQ(second.CreateReplacing(path), EWOULDBLOCK);
  EXPECT_EQ(second.errors, 0);
  EXPECT_EQ(ReadAll(temporary), "new");

  EXPECT_EQ(first.Close(), 0);
  EXPECT_EQ(ReadAll(path), "new");
  EXPECT_FALSE(fs::exists(temporary));

  // Discarding leaves the target as it was.
  ASSERT_EQ(second.CreateReplacing(path), 0);
  second.Write("dropped");
  second.Discard();
  EXPECT_EQ(ReadAll(path), "new");
  EXPECT_FALSE(fs::exists(temporary));
}

}  // namespace
}  // namespace tarvolin
