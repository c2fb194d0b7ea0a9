#include "text_file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace tarvolin {
namespace {

int LastError() {
  return errno != 0 ? errno : EIO;
}

// Advisory locks: a file system without them cannot tell, and the file is
// used unlocked.
bool LockUnsupported(int e) {
  return e == ENOLCK || e == EINVAL || e == EOPNOTSUPP;
}

bool SameInode(const struct stat& a, const struct stat& b) {
  return a.st_ino == b.st_ino && a.st_dev == b.st_dev;
}

// Whether `fd` is still the file that `path` names (not a symlink's target).
bool StillNamed(int fd, const std::string& path) {
  struct stat opened {};
  struct stat named {};
  return ::fstat(fd, &opened) == 0 && ::lstat(path.c_str(), &named) == 0 &&
         SameInode(opened, named);
}

// Something stands at the name of a temporary. A plain file that no open
// file locks is a run's left-over and its name is removed; anything else is
// left alone. Returns 0 when the name may be tried again.
int ClearLeftOver(const std::string& temporary) {
  struct stat named {};
  if (::lstat(temporary.c_str(), &named) != 0) return errno == ENOENT ? 0 : LastError();
  if (S_ISLNK(named.st_mode)) return ELOOP;
  if (S_ISDIR(named.st_mode)) return EISDIR;
  if (!S_ISREG(named.st_mode)) return EEXIST;
  const int fd = ::open(temporary.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return errno == ENOENT ? 0 : LastError();
  int result = 0;
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0 && !LockUnsupported(errno)) {
    result = errno == EWOULDBLOCK ? EWOULDBLOCK : LastError();
  } else if (StillNamed(fd, temporary) && ::unlink(temporary.c_str()) != 0 && errno != ENOENT) {
    result = LastError();
  }
  ::close(fd);
  return result;
}

// Empties a file opened for rewriting, unless it has other names (a hard
// link planted there): their data is not ours to destroy.
int TruncateOwnFile(int fd) {
  struct stat opened {};
  if (::fstat(fd, &opened) != 0) return LastError();
  if (S_ISREG(opened.st_mode) && opened.st_nlink > 1) return EMLINK;
  if (S_ISREG(opened.st_mode) && ::ftruncate(fd, 0) != 0) return LastError();
  return 0;
}

int WriteAll(int fd, std::string_view bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return n < 0 ? LastError() : EIO;
    done += static_cast<size_t>(n);
  }
  return 0;
}

}  // namespace

int CreateTemporary(const std::string& temporary, int& fd) {
  fd = -1;
  // Another run may take the same name over between our steps; a few rounds
  // settle who holds it.
  constexpr int kAttempts = 8;
  for (int attempt = 0; attempt < kAttempts; ++attempt) {
    const int created =
        ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (created < 0) {
      if (errno != EEXIST) return LastError();
      if (const int e = ClearLeftOver(temporary); e != 0) return e;
      continue;
    }
    // Between the create and the lock another run may have taken our new
    // file for a left-over and removed its name: then start again.
    const bool locked = ::flock(created, LOCK_EX | LOCK_NB) == 0 || LockUnsupported(errno);
    if (!locked || !StillNamed(created, temporary)) {
      ::close(created);
      continue;
    }
    fd = created;
    return 0;
  }
  return EAGAIN;
}

std::string ReplaceFile(const std::string& path, std::string_view bytes) {
  const std::string temporary = TextOutFile::TemporaryPath(path);
  const auto failure = [](const char* what, const std::string& name, int e) {
    return std::string(what) + " " + name + ": " + IoErrorText(e);
  };
  struct stat target {};
  if (::stat(path.c_str(), &target) == 0 && S_ISDIR(target.st_mode))
    return failure("cannot write", path, EISDIR);
  int fd = -1;
  if (const int e = CreateTemporary(temporary, fd); e != 0)
    return failure("cannot create", temporary, e);
  std::string error;
  if (const int e = WriteAll(fd, bytes); e != 0) error = failure("cannot write", path, e);
  if (error.empty() && ::fsync(fd) != 0) error = failure("cannot write", path, LastError());
  if (error.empty() && ::rename(temporary.c_str(), path.c_str()) != 0)
    error = failure("cannot rename to", path, LastError());
  if (!error.empty()) ::unlink(temporary.c_str());
  // Closed after the rename so that no other run takes the temporary over
  // in between; the data is on the disk already.
  ::close(fd);
  return error;
}

TextOutFile::~TextOutFile() {
  if (file_ != nullptr) Close();
}

void TextOutFile::Reset(const std::string& path) {
  if (file_ != nullptr) Close();
  errors_ = 0;
  firstError_ = 0;
  path_ = path;
  tempPath_.clear();
  failedPath_.clear();
}

int TextOutFile::Create(const std::string& path) {
  Reset(path);
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0666);
  if (fd < 0) return Count(LastError());
  if (const int e = TruncateOwnFile(fd); e != 0) {
    ::close(fd);
    return Count(e);
  }
  file_ = ::fdopen(fd, "wb");
  if (file_ == nullptr) {
    const int e = LastError();
    ::close(fd);
    return Count(e);
  }
  return 0;
}

int TextOutFile::CreateLocked(const std::string& path) {
  Reset(path);
  return OpenLocked(path);
}

int TextOutFile::CreateReplacing(const std::string& path) {
  Reset(path);
  struct stat target {};
  if (::stat(path.c_str(), &target) == 0 && S_ISDIR(target.st_mode)) return Count(EISDIR);
  const std::string temporary = TemporaryPath(path);
  int fd = -1;
  if (const int e = CreateTemporary(temporary, fd); e != 0) {
    if (e == EWOULDBLOCK) return EWOULDBLOCK;
    failedPath_ = temporary;
    return Count(e);
  }
  file_ = ::fdopen(fd, "wb");
  if (file_ == nullptr) {
    const int e = LastError();
    ::unlink(temporary.c_str());
    ::close(fd);
    return Count(e);
  }
  tempPath_ = temporary;
  return 0;
}

std::string TextOutFile::TemporaryPath(const std::string& path) {
  return path + ".tmp";
}

int TextOutFile::OpenLocked(const std::string& path) {
  // A holder may rename or remove the file between our open and our lock;
  // the lock then sits on a file that the name no longer shows: open again.
  constexpr int kAttempts = 8;
  for (int attempt = 0; attempt < kAttempts; ++attempt) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd < 0) return Count(LastError());
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0 && !LockUnsupported(errno)) {
      const int e = errno;
      ::close(fd);
      return e == EWOULDBLOCK ? EWOULDBLOCK : Count(e != 0 ? e : EIO);
    }
    if (!StillNamed(fd, path)) {
      ::close(fd);
      continue;
    }
    if (const int e = TruncateOwnFile(fd); e != 0) {
      ::close(fd);
      return Count(e);
    }
    file_ = ::fdopen(fd, "wb");
    if (file_ == nullptr) {
      const int e = LastError();
      ::close(fd);
      return Count(e);
    }
    return 0;
  }
  return Count(EAGAIN);
}

int TextOutFile::Write(std::string_view text) {
  if (file_ == nullptr) return Count(EBADF);
  if (text.empty()) return 0;
  errno = 0;
  if (std::fwrite(text.data(), 1, text.size(), file_) != text.size()) return Count(LastError());
  return 0;
}

int TextOutFile::WriteLine(std::string_view text) {
  const int r = Write(text);
  return r != 0 ? r : Write("\r\n");
}

int TextOutFile::Flush() {
  if (file_ == nullptr) return Count(EBADF);
  errno = 0;
  if (std::fflush(file_) != 0) return Count(LastError());
  return 0;
}

int TextOutFile::Close() {
  if (file_ == nullptr) return Count(EBADF);
  int result = 0;
  if (!tempPath_.empty()) {
    // Only a file whose every write reached the disk takes the target's
    // place; renamed while the lock is still held, so no other run takes
    // the temporary over between the rename and the close.
    errno = 0;
    if (std::fflush(file_) != 0) result = LastError();
    if (result == 0 && ::fsync(fileno(file_)) != 0) result = LastError();
    if (result == 0 && firstError_ == 0 && ::rename(tempPath_.c_str(), path_.c_str()) != 0)
      result = LastError();
    if (result != 0 || firstError_ != 0) ::unlink(tempPath_.c_str());
    tempPath_.clear();
  }
  errno = 0;
  const int r = std::fclose(file_);
  file_ = nullptr;
  if (r != 0 && result == 0) result = LastError();
  return result != 0 ? Count(result) : (firstError_ != 0 ? firstError_ : 0);
}

void TextOutFile::Discard() {
  if (file_ == nullptr) return;
  ::unlink(tempPath_.empty() ? path_.c_str() : tempPath_.c_str());
  std::fclose(file_);
  file_ = nullptr;
  tempPath_.clear();
}

std::string IoErrorText(int result) {
  if (result == ELOOP) return "Is a symbolic link, which is not followed";
  return std::strerror(result);
}

int TextOutFile::fd() const {
  return file_ != nullptr ? fileno(file_) : -1;
}

}  // namespace tarvolin
