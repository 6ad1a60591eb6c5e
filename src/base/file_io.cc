#include "base/file_io.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <memory>

namespace {

Result<std::string> read_fd(int fd) {
  std::string text;
  struct stat st;
  if (fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size > 0)
    text.reserve(static_cast<size_t>(st.st_size));
  char buffer[65536];
  for (;;) {
    ssize_t n = read(fd, buffer, sizeof buffer);
    if (n == 0) break;
    if (n < 0) {
      if (errno == EINTR) continue;
      return os_error(errno);
    }
    text.append(buffer, static_cast<size_t>(n));
  }
  if (!is_valid_utf8(text)) return Error(std::string(kNotUtf8));
  return text;
}

Status write_all(int fd, std::string_view contents) {
  while (!contents.empty()) {
    ssize_t n = write(fd, contents.data(), contents.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      return os_error(errno);
    }
    contents.remove_prefix(static_cast<size_t>(n));
  }
  return {};
}

// The file a path finally names, following symbolic links; the path itself
// when it does not exist yet.
std::string resolve_target(const std::string& path) {
  std::unique_ptr<char, decltype(&free)> real(realpath(path.c_str(), nullptr), &free);
  return real ? std::string(real.get()) : path;
}

}  // namespace

bool is_valid_utf8(std::string_view text) {
  const auto* p = reinterpret_cast<const unsigned char*>(text.data());
  const auto* end = p + text.size();
  while (p < end) {
    unsigned char c = *p;
    if (c < 0x80) { ++p; continue; }
    size_t len;
    unsigned char lo = 0x80, hi = 0xBF;
    if (c >= 0xC2 && c <= 0xDF) len = 2;
    else if (c >= 0xE0 && c <= 0xEF) {
      len = 3;
      if (c == 0xE0) lo = 0xA0;
      if (c == 0xED) hi = 0x9F;  // no surrogates
    } else if (c >= 0xF0 && c <= 0xF4) {
      len = 4;
      if (c == 0xF0) lo = 0x90;
      if (c == 0xF4) hi = 0x8F;
    } else {
      return false;
    }
    if (static_cast<size_t>(end - p) < len) return false;
    if (p[1] < lo || p[1] > hi) return false;
    for (size_t i = 2; i < len; ++i)
      if ((p[i] & 0xC0) != 0x80) return false;
    p += len;
  }
  return true;
}

Result<std::string> read_text_file(const std::string& path) {
  int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return os_error(errno);
  Result<std::string> text = read_fd(fd);
  close(fd);
  return text;
}

Result<std::string> read_stdin_text() { return read_fd(STDIN_FILENO); }

Status write_file(const std::string& path, std::string_view contents) {
  // The old contents are overwritten and what remains of them is cut off
  // afterwards, rather than truncated first: ext4 starts writing a file out
  // when it is closed after being truncated to nothing and written again,
  // which made each file that a command rewrites cost a good part of a
  // millisecond. A failed write leaves the file empty.
  int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0666);
  if (fd < 0) return os_error(errno);
  Status written = write_all(fd, contents);
  const off_t length = written.ok() ? static_cast<off_t>(contents.size()) : 0;
  if (ftruncate(fd, length) != 0 && written.ok()) written = os_error(errno);
  if (close(fd) != 0 && written.ok()) return os_error(errno);
  return written;
}

Status replace_file_atomically(const std::string& path, std::string_view contents) {
  const std::string target = resolve_target(path);
  mode_t mode = 0666 & ~[] { mode_t m = umask(0); umask(m); return m; }();
  struct stat st;
  if (stat(target.c_str(), &st) == 0) mode = st.st_mode & 07777;

  std::string temp = target + ".tmp-XXXXXX";
  int fd = mkstemp(temp.data());
  if (fd < 0) return os_error(errno);
  Status written = write_all(fd, contents);
  if (written.ok() && fchmod(fd, mode) != 0) written = os_error(errno);
  if (written.ok() && fsync(fd) != 0) written = os_error(errno);
  if (close(fd) != 0 && written.ok()) written = os_error(errno);
  if (written.ok() && rename(temp.c_str(), target.c_str()) != 0) written = os_error(errno);
  if (!written.ok()) unlink(temp.c_str());
  return written;
}
