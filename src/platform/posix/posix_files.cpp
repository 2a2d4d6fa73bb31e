// The file-system services on POSIX calls.

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "core/files.h"

namespace talvaro::files {

namespace {

// Owns one descriptor until it is handed on or closed.
class Descriptor {
 public:
  explicit Descriptor(int fd) : fd_(fd) {}
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  ~Descriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  int get() const { return fd_; }
  bool valid() const { return fd_ >= 0; }
  int release() {
    const int fd = fd_;
    fd_ = -1;
    return fd;
  }
  // Closes now and reports whether the close (the last write-back) worked.
  bool close() {
    if (fd_ < 0) return false;
    return ::close(release()) == 0;
  }

 private:
  int fd_;
};

bool write_all(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t written = ::write(fd, bytes.data(), bytes.size());
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return false;
    bytes.remove_prefix(static_cast<std::size_t>(written));
  }
  return true;
}

// The folder holding path, for flushing the rename to the disk.
std::string folder_of(const std::string& path) {
  const auto slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

bool write_access(const std::string& path, const struct stat& status) {
  constexpr mode_t any_write = S_IWUSR | S_IWGRP | S_IWOTH;
  return (status.st_mode & any_write) != 0 && ::faccessat(AT_FDCWD, path.c_str(), W_OK, AT_EACCESS) == 0;
}

// Gives the new file the owner, group and mode of the one it replaces.
bool take_over_identity(int fd, const struct stat& old) {
  struct stat now {};
  if (::fstat(fd, &now) != 0) return false;
  if ((now.st_uid != old.st_uid || now.st_gid != old.st_gid) && ::fchown(fd, old.st_uid, old.st_gid) != 0) {
    return false;
  }
  return ::fchmod(fd, old.st_mode & 07777) == 0;
}

}  // namespace

std::FILE* open_regular(const std::string& name, OpenFor purpose, Links links) {
  if (name.empty()) return nullptr;
  int flags = O_NONBLOCK | O_NOCTTY | O_CLOEXEC;
  const char* stdio_mode = "rb";
  switch (purpose) {
    case OpenFor::read:
      flags |= O_RDONLY;
      break;
    case OpenFor::write:
      // Emptied only once it is known to be a regular file.
      flags |= O_WRONLY | O_CREAT;
      stdio_mode = "wb";
      break;
    case OpenFor::append:
      flags |= O_WRONLY | O_CREAT | O_APPEND;
      stdio_mode = "ab";
      break;
  }
  if (links == Links::refuse) flags |= O_NOFOLLOW;
  Descriptor fd(::open(name.c_str(), flags, 0666));
  if (!fd.valid()) return nullptr;
  struct stat status {};
  if (::fstat(fd.get(), &status) != 0 || !S_ISREG(status.st_mode)) return nullptr;
  if (purpose == OpenFor::write && ::ftruncate(fd.get(), 0) != 0) return nullptr;
  // Reads and writes of a regular file wait as usual.
  const int status_flags = ::fcntl(fd.get(), F_GETFL);
  if (status_flags < 0 || ::fcntl(fd.get(), F_SETFL, status_flags & ~O_NONBLOCK) != 0) return nullptr;
  std::FILE* file = ::fdopen(fd.get(), stdio_mode);
  if (file != nullptr) fd.release();
  return file;
}

bool may_write(const std::string& path) {
  struct stat status {};
  return ::stat(path.c_str(), &status) == 0 && S_ISREG(status.st_mode) && write_access(path, status);
}

bool replace_file(const std::string& path, const std::string& temp, std::string_view bytes) {
  struct stat old {};
  const bool exists = ::stat(path.c_str(), &old) == 0;
  if (!exists && errno != ENOENT) return false;
  if (exists && (!S_ISREG(old.st_mode) || !write_access(path, old))) return false;

  // A leftover temporary file (or a link by that name) is never written through.
  if (::unlink(temp.c_str()) != 0 && errno != ENOENT) return false;
  Descriptor fd(::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY, 0666));
  if (!fd.valid()) return false;
  const bool written = (!exists || take_over_identity(fd.get(), old)) && write_all(fd.get(), bytes) &&
                       ::fsync(fd.get()) == 0 && fd.close();
  if (!written || ::rename(temp.c_str(), path.c_str()) != 0) {
    ::unlink(temp.c_str());
    return false;
  }
  // The rename itself reaches the disk with the folder. The new file is in
  // place whatever this flush says.
  Descriptor folder(::open(folder_of(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (folder.valid()) ::fsync(folder.get());
  return true;
}

bool remove_name(const std::string& path) { return ::unlink(path.c_str()) == 0 || errno == ENOENT; }

}  // namespace talvaro::files
