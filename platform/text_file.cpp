#include "text_file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>

namespace tarvolin {

TextOutFile::~TextOutFile() {
  if (file_ != nullptr) std::fclose(file_);
}

int TextOutFile::Create(const std::string& path) {
  if (file_ != nullptr) Close();
  path_ = path;
  errno = 0;
  file_ = std::fopen(path.c_str(), "wb");
  if (file_ == nullptr) return Count(errno != 0 ? errno : EIO);
  return 0;
}

int TextOutFile::CreateLocked(const std::string& path) {
  if (file_ != nullptr) Close();
  path_ = path;
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
  errno = 0;
  const int r = std::fclose(file_);
  file_ = nullptr;
  if (r != 0) return Count(errno != 0 ? errno : EIO);
  return 0;
}

int TextOutFile::fd() const {
  return file_ != nullptr ? fileno(file_) : -1;
}

}  // namespace tarvolin
