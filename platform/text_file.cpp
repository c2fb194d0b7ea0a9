#include "text_file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace tarvolin {

TextOutFile::~TextOutFile() {
  if (file_ != nullptr) Close();
}

int TextOutFile::Create(const std::string& path) {
  if (file_ != nullptr) Close();
  firstError_ = 0;
  path_ = path;
  tempPath_.clear();
  errno = 0;
  file_ = std::fopen(path.c_str(), "wb");
  if (file_ == nullptr) return Count(errno != 0 ? errno : EIO);
  return 0;
}

int TextOutFile::CreateLocked(const std::string& path) {
  if (file_ != nullptr) Close();
  firstError_ = 0;
  path_ = path;
  tempPath_.clear();
  return OpenLocked(path);
}

int TextOutFile::CreateReplacing(const std::string& path) {
  if (file_ != nullptr) Close();
  firstError_ = 0;
  path_ = path;
  tempPath_.clear();
  struct stat target {};
  if (::stat(path.c_str(), &target) == 0 && S_ISDIR(target.st_mode)) return Count(EISDIR);
  const std::string temporary = TemporaryPath(path);
  const int result = OpenLocked(temporary);
  if (file_ != nullptr) tempPath_ = temporary;
  return result;
}

std::string TextOutFile::TemporaryPath(const std::string& path) {
  return path + ".tmp";
}

int TextOutFile::OpenLocked(const std::string& path) {
  // A holder may rename or remove the file between our open and our lock;
  // the lock then sits on a file that the name no longer shows: open again.
  constexpr int kAttempts = 8;
  for (int attempt = 0; attempt < kAttempts; ++attempt) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0) return Count(errno != 0 ? errno : EIO);
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
      const int e = errno;
      // A file system without advisory locks cannot tell; go on unlocked.
      if (e != ENOLCK && e != EINVAL && e != EOPNOTSUPP) {
        ::close(fd);
        return e == EWOULDBLOCK ? EWOULDBLOCK : Count(e != 0 ? e : EIO);
      }
    }
    struct stat opened {};
    struct stat named {};
    if (::fstat(fd, &opened) == 0 &&
        (::stat(path.c_str(), &named) != 0 || opened.st_ino != named.st_ino ||
         opened.st_dev != named.st_dev)) {
      ::close(fd);
      continue;
    }
    if (::ftruncate(fd, 0) != 0) {
      const int e = errno;
      ::close(fd);
      return Count(e != 0 ? e : EIO);
    }
    file_ = ::fdopen(fd, "wb");
    if (file_ == nullptr) {
      const int e = errno;
      ::close(fd);
      return Count(e != 0 ? e : EIO);
    }
    return 0;
  }
  return Count(EAGAIN);
}

int TextOutFile::Write(std::string_view text) {
  if (file_ == nullptr) return Count(EBADF);
  if (text.empty()) return 0;
  errno = 0;
  if (std::fwrite(text.data(), 1, text.size(), file_) != text.size())
    return Count(errno != 0 ? errno : EIO);
  return 0;
}

int TextOutFile::WriteLine(std::string_view text) {
  const int r = Write(text);
  return r != 0 ? r : Write("\r\n");
}

int TextOutFile::Flush() {
  if (file_ == nullptr) return Count(EBADF);
  errno = 0;
  if (std::fflush(file_) != 0) return Count(errno != 0 ? errno : EIO);
  return 0;
}

int TextOutFile::Close() {
  if (file_ == nullptr) return Count(EBADF);
  int result = 0;
  if (!tempPath_.empty()) {
    // Renamed while the lock is still held, so no other run takes the
    // temporary over between the rename and the close.
    errno = 0;
    if (std::fflush(file_) != 0) result = errno != 0 ? errno : EIO;
    if (::rename(tempPath_.c_str(), path_.c_str()) != 0 && result == 0)
      result = errno != 0 ? errno : EIO;
    tempPath_.clear();
  }
  errno = 0;
  const int r = std::fclose(file_);
  file_ = nullptr;
  if (r != 0 && result == 0) result = errno != 0 ? errno : EIO;
  return result != 0 ? Count(result) : 0;
}

void TextOutFile::Discard() {
  if (file_ == nullptr) return;
  ::unlink(tempPath_.empty() ? path_.c_str() : tempPath_.c_str());
  std::fclose(file_);
  file_ = nullptr;
  tempPath_.clear();
}

std::string IoErrorText(int result) {
  return std::strerror(result);
}

int TextOutFile::fd() const {
  return file_ != nullptr ? fileno(file_) : -1;
}

}  // namespace tarvolin
