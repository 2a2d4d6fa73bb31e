#pragma once
// Line-oriented text files: open with a one-letter mode, read one line into a
// text, write one text as one line (ended by CR LF), close.
//
// Reading accepts CR LF, a lone LF and a lone CR as line ends; LF followed by
// CR counts as two. A line longer than a text's capacity keeps its first 254
// characters and the rest of the line is consumed.

#include <cstdio>
#include <string>
#include <string_view>

#include "core/files.h"
#include "core/text.h"

namespace talvaro {

// A file variable: closed, or holding one open file. Move-only; closes on
// destruction.
class TextFile {
 public:
  TextFile() = default;
  TextFile(const TextFile&) = delete;
  TextFile& operator=(const TextFile&) = delete;
  TextFile(TextFile&& other) noexcept;
  TextFile& operator=(TextFile&& other) noexcept;
  ~TextFile();

  bool is_open() const { return file_ != nullptr; }

 private:
  friend int open_text_file(TextFile& file, std::string_view name, std::string_view mode, files::Links links);
  friend int read_line(TextFile& file, Text& line);
  friend int write_line(TextFile& file, std::string_view text, std::size_t length);
  friend void close_text_file(TextFile& file);
  friend void flush_text_file(TextFile& file);

  std::FILE* file_ = nullptr;
};

// Mode "R" (existing file, read), "W" (create or empty, write), "A" (create if
// missing, append); upper or lower case. Only a regular file is opened, and
// the open never waits (a pipe or a folder fails at once, untouched); with
// files::Links::refuse a symbolic link is not followed. Returns 0 = opened,
// 1 = failed. An open variable is closed only when the new open succeeds; on
// failure it keeps what it held.
int open_text_file(TextFile& file, std::string_view name, std::string_view mode,
                   files::Links links = files::Links::follow);
// Reads the next line. 0 = a line (possibly empty), -1 = end of file (line
// set to ""). On a closed variable nothing happens: line keeps its value, -1.
int read_line(TextFile& file, Text& line);
// Writes the first length characters of text, then CR LF. Returns the bytes
// written (length + 2), or 0 on a closed variable.
int write_line(TextFile& file, std::string_view text, std::size_t length);
inline int write_line(TextFile& file, std::string_view text) { return write_line(file, text, text.size()); }
// Closes the file; closing a closed variable does nothing.
void close_text_file(TextFile& file);
// True when every byte is printable ASCII (32 to 126). Frequencies, steps and
// limits read from a file reach the serial line only when this holds.
bool printable_ascii(std::string_view text);
// Hands what has been written so far to the system, so that other programs
// (and a later look after a crash) see every line.
void flush_text_file(TextFile& file);

}  // namespace talvaro
