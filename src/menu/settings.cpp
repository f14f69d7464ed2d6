#include "menu/settings.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tdx {

int OpenPlainFile(const std::string& path, struct stat& st, int& openError) {
  st = {};
  openError = 0;
  int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    openError = errno;
    return -1;
  }
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    return -1;
  }
  ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  return fd;
}

bool LoadSettings(const std::string& path, SettingsBlock& out, std::string& error) {
  struct stat st {};
  int why = 0;
  int fd = OpenPlainFile(path, st, why);
  if (fd < 0 && why != 0) {
    error = path + ": cannot open the settings file (" + std::strerror(why) + ")";
    // The way back to a working game: the build writes the default set-up when none is
    // there (and leaves a player's own set-up alone).
    if (why == ENOENT) error += "; run \"make build\" to write the default set-up";
    return false;
  }
  if (fd < 0) {
    error = path + ": the settings file is not a plain file";
    return false;
  }
  FILE* f = ::fdopen(fd, "rb");
  if (!f) {
    error = path + ": cannot open the settings file (" + std::strerror(errno) + ")";
    ::close(fd);
    return false;
  }
  SettingsBlock block{};
  size_t got = std::fread(&block, 1, sizeof block, f);
  bool readError = std::ferror(f) != 0;
  std::fclose(f);
  if (readError) {
    error = path + ": cannot read the settings file";
    return false;
  }
  if (got < sizeof block) {
    error = path + ": the settings file is too short (" + std::to_string(got) + " of " +
            std::to_string(sizeof block) + " bytes)";
    return false;
  }
  out = block;
  return true;
}

bool ReplaceFileAtomically(const std::string& path, const void* data, size_t size,
                           const std::string& what, std::string& error) {
  // A link is written through: its target is the file the player keeps.
  std::string target = path;
  struct stat st {};
  if (::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
    char* real = ::realpath(path.c_str(), nullptr);
    if (!real) {
      error = path + ": cannot write " + what + " (it links to " +
              std::string(std::strerror(errno)) + ")";
      return false;
    }
    target = real;
    std::free(real);
  }
  mode_t mode = 0644;
  if (::stat(target.c_str(), &st) == 0) {
    // A file the player made read-only stays as it is, even for a user who could replace it.
    if ((st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) {
      error = path + ": " + what + " is read-only, so changes are not saved";
      return false;
    }
    mode = st.st_mode & 07777;
  }
  // The temporary is this process's own: two games saving at once never share one.
  std::string tmp = target + "." + std::to_string(::getpid()) + ".tmp";
  ::unlink(tmp.c_str());  // one left by a crashed game that had this process's number
  int fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
  if (fd < 0) {
    error = path + ": cannot write " + what + " (" + std::strerror(errno) + ")";
    return false;
  }
  const char* p = static_cast<const char*>(data);
  size_t left = size;
  while (left > 0) {
    ssize_t n = ::write(fd, p, left);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      error = path + ": cannot write " + what + " (" + std::strerror(errno ? errno : ENOSPC) + ")";
      ::close(fd);
      ::unlink(tmp.c_str());
      return false;
    }
    p += n;
    left -= static_cast<size_t>(n);
  }
  bool synced = ::fsync(fd) == 0;
  bool closed = ::close(fd) == 0;
  if (!synced || !closed) {
    error = path + ": cannot write " + what + " (" + std::strerror(errno) + ")";
    ::unlink(tmp.c_str());
    return false;
  }
  if (std::rename(tmp.c_str(), target.c_str()) != 0) {
    error = path + ": cannot replace " + what + " (" + std::strerror(errno) + ")";
    ::unlink(tmp.c_str());
    return false;
  }
  return true;
}

bool SaveSettings(const std::string& path, const SettingsBlock& in, std::string& error) {
  return ReplaceFileAtomically(path, &in, sizeof in, "the settings file", error);
}

}  // namespace tdx
