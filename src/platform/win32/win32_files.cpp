// The file-system services on the Windows API. Files are handed to the C
// runtime in binary mode, so CR LF stays as it is in the file.

#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <algorithm>
#include <string>

#include "core/files.h"
#include "platform/win32/win32_handles.h"

namespace talvaro::files {

namespace {

constexpr DWORD share_all = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

struct PurposeRow {
  OpenFor purpose;
  DWORD access;
  DWORD disposition;
  int runtime_flags;
  const char* runtime_mode;
};

// Reading opens only an existing file; writing and appending create one.
constexpr PurposeRow purposes[] = {
    {OpenFor::read, GENERIC_READ, OPEN_EXISTING, _O_RDONLY | _O_BINARY, "rb"},
    {OpenFor::write, GENERIC_WRITE, OPEN_ALWAYS, _O_WRONLY | _O_BINARY, "wb"},
    {OpenFor::append, GENERIC_WRITE, OPEN_ALWAYS, _O_WRONLY | _O_APPEND | _O_BINARY, "ab"},
};

bool is_plain_file(DWORD attributes) {
  return attributes != INVALID_FILE_ATTRIBUTES &&
         (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE | FILE_ATTRIBUTE_REPARSE_POINT)) == 0;
}

// A regular file on a disk, not a device (NUL, COM1, CON) nor a pipe.
bool is_disk_file(HANDLE file) {
  BY_HANDLE_FILE_INFORMATION information{};
  return GetFileType(file) == FILE_TYPE_DISK && GetFileInformationByHandle(file, &information) &&
         (information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

bool write_all(HANDLE file, std::string_view bytes) {
  while (!bytes.empty()) {
    const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), 1U << 20));
    DWORD written = 0;
    if (!WriteFile(file, bytes.data(), chunk, &written, nullptr) || written == 0) return false;
    bytes.remove_prefix(written);
  }
  return true;
}

bool missing(DWORD error) { return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND; }

}  // namespace

std::FILE* open_regular(const std::string& name, OpenFor purpose, Links links) {
  if (name.empty()) return nullptr;
  const PurposeRow* row = nullptr;
  for (const PurposeRow& candidate : purposes) {
    if (candidate.purpose == purpose) row = &candidate;
  }
  if (row == nullptr) return nullptr;
  // With links refused, a link (a reparse point) is opened as itself and
  // then turned down.
  const DWORD flags = FILE_ATTRIBUTE_NORMAL | (links == Links::refuse ? FILE_FLAG_OPEN_REPARSE_POINT : 0);
  win32::File file(CreateFileA(name.c_str(), row->access, share_all, nullptr, row->disposition, flags, nullptr));
  if (!file || !is_disk_file(file.get())) return nullptr;
  if (links == Links::refuse) {
    BY_HANDLE_FILE_INFORMATION information{};
    if (!GetFileInformationByHandle(file.get(), &information) ||
        (information.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
      return nullptr;
    }
  }
  // Emptied only once it is known to be a regular file.
  if (purpose == OpenFor::write && !SetEndOfFile(file.get())) return nullptr;
  const int descriptor = _open_osfhandle(reinterpret_cast<intptr_t>(file.get()), row->runtime_flags);
  if (descriptor < 0) return nullptr;
  // The descriptor owns the handle now.
  file.release();
  std::FILE* stream = _fdopen(descriptor, row->runtime_mode);
  if (stream == nullptr) _close(descriptor);
  return stream;
}

bool may_write(const std::string& path) {
  const DWORD attributes = GetFileAttributesA(path.c_str());
  if (!is_plain_file(attributes) || (attributes & FILE_ATTRIBUTE_READONLY) != 0) return false;
  // The system's own answer for this user: an open for writing that changes
  // nothing.
  const win32::File probe(
      CreateFileA(path.c_str(), FILE_WRITE_DATA, share_all, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  return probe && is_disk_file(probe.get());
}

bool replace_file(const std::string& path, const std::string& temp, std::string_view bytes) {
  const DWORD old_attributes = GetFileAttributesA(path.c_str());
  const bool exists = old_attributes != INVALID_FILE_ATTRIBUTES;
  if (!exists && !missing(GetLastError())) return false;
  if (exists && !may_write(path)) return false;

  // A leftover temporary file is never written through.
  if (!DeleteFileA(temp.c_str()) && !missing(GetLastError())) return false;
  win32::File file(CreateFileA(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return false;
  const bool written = write_all(file.get(), bytes) && FlushFileBuffers(file.get());
  file.reset();
  if (written && exists) {
    // The new file keeps the old one's attributes (hidden, archive...).
    SetFileAttributesA(temp.c_str(), old_attributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                                                       FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED));
  }
  if (!written || !MoveFileExA(temp.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    DeleteFileA(temp.c_str());
    return false;
  }
  return true;
}

bool remove_name(const std::string& path) { return DeleteFileA(path.c_str()) || missing(GetLastError()); }

}  // namespace talvaro::files
