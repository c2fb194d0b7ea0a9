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

  // Creates (truncates) the file for writing.
  int Create(const std::string& path);
  // Creates (truncates) the file for writing and holds an exclusive advisory
  // lock (flock) on it until it is closed. When another open file holds the
  // lock, returns EWOULDBLOCK without counting it and leaves the file as it
  // was: the lock is tested before anything is truncated.
  int CreateLocked(const std::string& path);
  // Writes into a temporary file beside the target, TemporaryPath(path),
  // locked like CreateLocked, and puts it in place of the target when it is
  // closed: until then the target keeps its previous contents, also when
  // the program is killed. A directory in the target's place fails at once
  // (EISDIR) rather than when the finished file would be put there. A
  // left-over temporary is taken over and truncated. Returns EWOULDBLOCK
  // uncounted when another open file holds the temporary's lock, that is
  // another run writes the same target.
  int CreateReplacing(const std::string& path);
  static std::string TemporaryPath(const std::string& path);
  int Write(std::string_view text);
  int WriteLine(std::string_view text);  // text followed by CR LF
  int Flush();
  // Closes the file; a replacing file is renamed onto its target first.
  int Close();
  // Closes the file and removes what was written: a replacing file's
  // temporary (the target stays as it was), otherwise the file itself.
  void Discard();

  bool IsOpen() const { return file_ != nullptr; }
  const std::string& Path() const { return path_; }
  int fd() const;

  // Sum of the I/O results of all operations so far.
  long errors = 0;
  // The first failing I/O result (an errno value) since the file was
  // created, 0 while none failed.
  int FirstError() const { return firstError_; }

 private:
  int Count(int result) {
    errors += result;
    if (firstError_ == 0) firstError_ = result;
    return result;
  }
  int OpenLocked(const std::string& path);
  std::FILE* file_ = nullptr;
  std::string path_;
  std::string tempPath_;  // set while a replacing file is open
  int firstError_ = 0;
};

// The system's text for an I/O result, e.g. "No space left on device".
std::string IoErrorText(int result);

}  // namespace tarvolin
