#pragma once
// The few file-system services the core needs beyond the standard library:
// opening only regular files and never waiting in the open, the effective
// user's write permission, a durable replace that keeps owner, group and mode,
// and removing a name. One implementation per platform, chosen by the build.

#include <cstdio>
#include <string>
#include <string_view>

namespace talvaro::files {

enum class OpenFor { read, write, append };
enum class Links { follow, refuse };

// Opens name without waiting (a pipe or a device never holds the open up) and
// hands it over only when it is a regular file; nullptr otherwise, and then
// nothing has been changed. write empties the file (creating it when
// missing), append creates it when missing. With Links::refuse a symbolic
// link at name is never opened.
std::FILE* open_regular(const std::string& name, OpenFor purpose, Links links);

// True when the effective user may write the existing regular file at path:
// the system grants that user write access and the file has at least one
// write bit (a read-only file stays read-only, whoever runs the program).
bool may_write(const std::string& path);

// Makes bytes the whole new content of path: written to temp (a name in the
// same folder), flushed to the disk, renamed over path, then the folder
// flushed. An existing path must be a regular file the effective user may
// write, and the new file gets its owner, group and mode; when any of that
// cannot be had, nothing is replaced. A leftover temp is removed first.
// true once the new file is in place; on false the old file is whole and no
// temp is left behind.
bool replace_file(const std::string& path, const std::string& temp, std::string_view bytes);

// Removes the name (a link, not what it points to). true when it is gone.
bool remove_name(const std::string& path);

}  // namespace talvaro::files
