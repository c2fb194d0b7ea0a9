// Text output files that count their errors instead of stopping: every
// operation returns its I/O result (0 = success, otherwise an errno value)
// and adds it to the file's error counter, which callers inspect between
// steps. Lines end with CR LF.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

namespace tarvolin {

class TextOutFile {
 public:
  TextOutFile() = default;
  TextOutFile(const TextOutFile&) = delete;
  TextOutFile& operator=(const TextOutFile&) = delete;
  ~TextOutFile();

  // Creates (truncates) the file for writing. A symbolic link in its place
  // is not followed (ELOOP), and a file with other names (hard links) is
  // not emptied (EMLINK).
  int Create(const std::string& path);
  // Creates (truncates) the file for writing and holds an exclusive advisory
  // lock (flock) on it until it is closed. When another open file holds the
  // lock, returns EWOULDBLOCK without counting it and leaves the file as it
  // was: the lock is tested before anything is truncated. Links are
  // refused as by Create.
  int CreateLocked(const std::string& path);
  // Writes into a new temporary file beside the target, TemporaryPath(path)
  // (see CreateTemporary), and puts it in place of the target when it is
  // closed, and only when every write, the flush to the disk and the close
  // succeeded: until then, and after any failure, the target keeps its
  // previous contents, also when the program is killed. A directory in the
  // target's place fails at once (EISDIR) rather than when the finished
  // file would be put there. Returns EWOULDBLOCK uncounted when another run
  // writes the same target.
  int CreateReplacing(const std::string& path);
  static std::string TemporaryPath(const std::string& path);
  int Write(std::string_view text);
  int WriteLine(std::string_view text);  // text followed by CR LF
  int Flush();
  // Closes the file. A replacing file is flushed to the disk and renamed
  // onto its target; when anything failed since it was created, its
  // temporary is removed instead and the target keeps what it held.
  int Close();
  // Closes the file and removes what was written: a replacing file's
  // temporary (the target stays as it was), otherwise the file itself.
  void Discard();

  bool IsOpen() const { return file_ != nullptr; }
  const std::string& Path() const { return path_; }
  int fd() const;

  // Sum of the I/O results of all operations since the file was created;
  // above 0 once any failed.
  long Errors() const { return errors_; }
  // The first failing I/O result (an errno value) since the file was
  // created, 0 while none failed.
  int FirstError() const { return firstError_; }
  // The name the first failure concerns: the temporary when it could not be
  // created, otherwise Path().
  const std::string& FailedPath() const { return failedPath_.empty() ? path_ : failedPath_; }

 private:
  int Count(int result) {
    errors_ += result;
    if (firstError_ == 0) firstError_ = result;
    return result;
  }
  int OpenLocked(const std::string& path);
  void Reset(const std::string& path);
  std::FILE* file_ = nullptr;
  std::string path_;
  std::string tempPath_;  // set while a replacing file is open
  std::string failedPath_;
  long errors_ = 0;
  int firstError_ = 0;
};

// The system's text for an I/O result, e.g. "No space left on device"; a
// link refused by an open that does not follow links is named as such.
std::string IoErrorText(int result);

// Creates `temporary` as a new, empty file of this run and returns its
// descriptor in `fd`, locked (flock) for as long as it is open. No existing
// file or link is ever opened for writing: a symbolic link at that name is
// refused (ELOOP) and left alone, as is anything else that is not a plain
// file. A plain file left there by a run that was killed is removed (its
// name only: a hard link's other names keep their data) and the file is
// created anew; when another run holds that file's lock it is left alone
// and EWOULDBLOCK is returned. Returns 0 or an errno value.
int CreateTemporary(const std::string& temporary, int& fd);

// Puts `bytes` in place of the file `path`: writes them into a new
// temporary, TemporaryPath(path), flushes it to the disk, and renames it
// over `path` when all of that succeeded. On failure `path` keeps what it
// held, the temporary is removed, and the returned text names the file and
// the system's reason ("cannot write <file>: No space left on device");
// empty on success.
std::string ReplaceFile(const std::string& path, std::string_view bytes);

}  // namespace tarvolin
