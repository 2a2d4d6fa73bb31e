#include "core/text_file.h"

#include <string>
#include <utility>

namespace talvaro {

TextFile::TextFile(TextFile&& other) noexcept : file_(std::exchange(other.file_, nullptr)) {}

TextFile& TextFile::operator=(TextFile&& other) noexcept {
  if (this != &other) {
    close_text_file(*this);
    file_ = std::exchange(other.file_, nullptr);
  }
  return *this;
}

TextFile::~TextFile() { close_text_file(*this); }

int open_text_file(TextFile& file, std::string_view name, std::string_view mode, files::Links links) {
  files::OpenFor purpose = files::OpenFor::read;
  if (mode == "R" || mode == "r") {
    purpose = files::OpenFor::read;
  } else if (mode == "W" || mode == "w") {
    purpose = files::OpenFor::write;
  } else if (mode == "A" || mode == "a") {
    purpose = files::OpenFor::append;
  } else {
    return 1;
  }
  std::FILE* opened = files::open_regular(std::string(name), purpose, links);
  if (opened == nullptr) return 1;
  close_text_file(file);
  file.file_ = opened;
  return 0;
}

int read_line(TextFile& file, Text& line) {
  if (file.file_ == nullptr) return -1;
  std::string collected;
  bool consumed = false;
  for (;;) {
    const int byte = std::getc(file.file_);
    if (byte == EOF) break;
    consumed = true;
    if (byte == '\n') break;
    if (byte == '\r') {
      const int next = std::getc(file.file_);
      if (next != '\n' && next != EOF) std::ungetc(next, file.file_);
      break;
    }
    // Keep no more than a text holds; the rest of the line is still consumed.
    if (collected.size() < Text::capacity) collected.push_back(static_cast<char>(byte));
  }
  line = collected;
  return consumed ? 0 : -1;
}

int write_line(TextFile& file, std::string_view text, std::size_t length) {
  if (file.file_ == nullptr) return 0;
  const std::string_view part = text.substr(0, std::min(length, text.size()));
  std::size_t written = std::fwrite(part.data(), 1, part.size(), file.file_);
  written += std::fwrite("\r\n", 1, 2, file.file_);
  return static_cast<int>(written);
}

bool printable_ascii(std::string_view text) {
  for (const char c : text) {
    if (c < ' ' || c > '~') return false;
  }
  return true;
}

void flush_text_file(TextFile& file) {
  if (file.file_ != nullptr) std::fflush(file.file_);
}

void close_text_file(TextFile& file) {
  if (file.file_ == nullptr) return;
  std::fclose(file.file_);
  file.file_ = nullptr;
}

}  // namespace talvaro
