#include "text_file.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
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
  EXPECT_EQ(f.Errors(), 0);
  EXPECT_EQ(ReadAll(dir_ / "a.txt"), "one\r\n\r\nEND");
}

TEST_F(TextFileTest, FailuresAreCounted) {
  TextOutFile f;
  EXPECT_NE(f.Create((dir_ / "no-such-dir" / "a.txt").string()), 0);
  EXPECT_GT(f.Errors(), 0);
  const long before = f.Errors();
  f.WriteLine("x");
  EXPECT_GT(f.Errors(), before);
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
  EXPECT_EQ(second.Errors(), 0);
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
  EXPECT_EQ(second.Errors(), 0);
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

// Files written beyond a size limit fail as on a full disk (EFBIG instead
// of ENOSPC): the limit is set for the test process while the object lives.
class FileSizeLimit {
 public:
  explicit FileSizeLimit(rlim_t bytes) {
    previousHandler_ = std::signal(SIGXFSZ, SIG_IGN);
    ::getrlimit(RLIMIT_FSIZE, &previous_);
    const rlimit limit{bytes, previous_.rlim_max};
    ::setrlimit(RLIMIT_FSIZE, &limit);
  }
  ~FileSizeLimit() {
    ::setrlimit(RLIMIT_FSIZE, &previous_);
    std::signal(SIGXFSZ, previousHandler_);
  }
  FileSizeLimit(const FileSizeLimit&) = delete;
  FileSizeLimit& operator=(const FileSizeLimit&) = delete;

 private:
  rlimit previous_{};
  void (*previousHandler_)(int) = nullptr;
};

// A replacing file or a whole-file write that fails anywhere leaves the
// previous file whole and no temporary behind.
TEST_F(TextFileTest, AFailedWriteNeverReplacesTheTarget) {
  const std::string path = (dir_ / "report.txt").string();
  const std::string temporary = TextOutFile::TemporaryPath(path);
  const std::string big(8192, 'x');
  struct Case {
    const char* what;
    std::function<void()> write;
  };
  const std::vector<Case> cases = {
      {"report closed after a failed write",
       [&] {
         TextOutFile f;
         ASSERT_EQ(f.CreateReplacing(path), 0);
         f.Write(big);
         f.Flush();
         EXPECT_EQ(f.FirstError(), EFBIG);
         EXPECT_EQ(f.Close(), EFBIG);
         EXPECT_GT(f.Errors(), 0);
       }},
      {"report whose buffer fails only at the close",
       [&] {
         TextOutFile f;
         ASSERT_EQ(f.CreateReplacing(path), 0);
         f.Write(std::string(2048, 'y'));  // still in the buffer
         EXPECT_EQ(f.FirstError(), 0);
         EXPECT_NE(f.Close(), 0);
         EXPECT_GT(f.Errors(), 0);
       }},
      {"whole file", [&] { EXPECT_NE(ReplaceFile(path, big), ""); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    { std::ofstream(path, std::ios::binary) << "previous"; }
    {
      const FileSizeLimit limit(1024);
      c.write();
    }
    EXPECT_EQ(ReadAll(path), "previous");
    EXPECT_FALSE(fs::exists(temporary));
  }
  const std::string error = [&] {
    const FileSizeLimit limit(1024);
    return ReplaceFile(path, big);
  }();
  EXPECT_EQ(error, "cannot write " + path + ": " + IoErrorText(EFBIG));

  // Without a failure both put the new contents in place.
  EXPECT_EQ(ReplaceFile(path, "whole"), "");
  EXPECT_EQ(ReadAll(path), "whole");
  TextOutFile f;
  ASSERT_EQ(f.CreateReplacing(path), 0);
  f.Write("replaced");
  EXPECT_EQ(f.Close(), 0);
  EXPECT_EQ(ReadAll(path), "replaced");
}

// What may stand at a temporary's name before the run: nothing that is
// there is ever written through, and only a plain left-over file is
// removed (its name, not the data of its other names).
TEST_F(TextFileTest, TemporariesNeverOpenWhatStandsAtTheirName) {
  const std::string path = (dir_ / "plan.json").string();
  const std::string temporary = TextOutFile::TemporaryPath(path);
  const fs::path victim = dir_ / "victim.txt";
  struct Case {
    const char* what;
    std::function<void()> plant;
    int result;
    bool victimKept;  // the planted name still stands
  };
  const std::vector<Case> cases = {
      {"nothing", [] {}, 0, false},
      {"symbolic link to a file", [&] { fs::create_symlink(victim, temporary); }, ELOOP, true},
      {"dangling symbolic link", [&] { fs::create_symlink(dir_ / "none", temporary); }, ELOOP,
       true},
      {"directory", [&] { fs::create_directory(temporary); }, EISDIR, true},
      {"named pipe", [&] { ASSERT_EQ(::mkfifo(temporary.c_str(), 0666), 0); }, EEXIST, true},
      {"left-over file", [&] { std::ofstream(temporary, std::ios::binary) << "left over"; }, 0,
       false},
      {"hard link to a file", [&] { fs::create_hard_link(victim, temporary); }, 0, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    { std::ofstream(victim, std::ios::binary) << "precious"; }
    c.plant();
    int fd = -1;
    EXPECT_EQ(CreateTemporary(temporary, fd), c.result);
    if (c.result == 0) {
      ASSERT_GE(fd, 0);
      ASSERT_EQ(::write(fd, "new", 3), 3);
      ::close(fd);
      EXPECT_EQ(ReadAll(temporary), "new");
    } else {
      EXPECT_EQ(fd, -1);
      EXPECT_TRUE(fs::exists(fs::symlink_status(temporary)));
    }
    EXPECT_EQ(ReadAll(victim), "precious");
    // The same through the file classes: the error names the temporary.
    TextOutFile f;
    if (c.result != 0) {
      EXPECT_EQ(f.CreateReplacing(path), c.result);
      EXPECT_EQ(f.FailedPath(), temporary);
      EXPECT_NE(ReplaceFile(path, "x").find("cannot create " + temporary + ": "),
                std::string::npos);
      EXPECT_FALSE(fs::exists(path));
    }
    EXPECT_EQ(ReadAll(victim), "precious");
    fs::remove_all(temporary);
    fs::remove(victim);
  }
  EXPECT_EQ(IoErrorText(ELOOP), "Is a symbolic link, which is not followed");
}

// A temporary that another run holds open and locked is its work in
// progress: it stays, and the caller hears EWOULDBLOCK.
TEST_F(TextFileTest, ALockedTemporaryIsAnotherRunsAndStays) {
  const std::string temporary = (dir_ / "labels.txt.tmp").string();
  const int other = ::open(temporary.c_str(), O_WRONLY | O_CREAT, 0666);
  ASSERT_GE(other, 0);
  ASSERT_EQ(::write(other, "other run", 9), 9);
  ASSERT_EQ(::flock(other, LOCK_EX), 0);
  int fd = -1;
  EXPECT_EQ(CreateTemporary(temporary, fd), EWOULDBLOCK);
  EXPECT_EQ(ReadAll(temporary), "other run");
  ::close(other);
  EXPECT_EQ(CreateTemporary(temporary, fd), 0);
  ::close(fd);
  EXPECT_EQ(ReadAll(temporary), "");
}

// Logs are opened without following a link in their place.
TEST_F(TextFileTest, LogsDoNotFollowLinks) {
  const fs::path victim = dir_ / "victim.txt";
  { std::ofstream(victim, std::ios::binary) << "precious"; }
  fs::create_symlink(victim, dir_ / "err.log");
  fs::create_symlink(victim, dir_ / "wrn.log");
  fs::create_hard_link(victim, dir_ / "hard-err.log");
  fs::create_hard_link(victim, dir_ / "hard-wrn.log");
  TextOutFile err, wrn;
  EXPECT_EQ(err.Create((dir_ / "err.log").string()), ELOOP);
  EXPECT_EQ(wrn.CreateLocked((dir_ / "wrn.log").string()), ELOOP);
  EXPECT_EQ(err.Create((dir_ / "hard-err.log").string()), EMLINK);
  EXPECT_EQ(wrn.CreateLocked((dir_ / "hard-wrn.log").string()), EMLINK);
  EXPECT_EQ(ReadAll(victim), "precious");
  // A log of its own is emptied as before.
  { std::ofstream(dir_ / "own.log", std::ios::binary) << "last run"; }
  EXPECT_EQ(err.Create((dir_ / "own.log").string()), 0);
  err.Close();
  EXPECT_EQ(ReadAll(dir_ / "own.log"), "");
}

}  // namespace
}  // namespace tarvolin
