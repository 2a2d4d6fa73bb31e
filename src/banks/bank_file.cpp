#include "banks/bank_file.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <system_error>

#include "core/context.h"
#include "voice/voice.h"

namespace talvaro {

namespace fs = std::filesystem;

namespace {

// More links in a row than this are taken as a loop, as the system does.
constexpr int max_link_hops = 40;

// The file a write through this name would reach: symbolic links followed one
// by one (a relative link is relative to the folder of the link). Nothing for
// a loop of links or an unreadable link.
std::optional<fs::path> real_target(const fs::path& name) {
  fs::path path = name;
  for (int hop = 0; hop < max_link_hops; ++hop) {
    std::error_code error;
    if (!fs::is_symlink(fs::symlink_status(path, error))) return path;
    const fs::path link = fs::read_symlink(path, error);
    if (error) return std::nullopt;
    path = link.is_absolute() ? link : path.parent_path() / link;
  }
  return std::nullopt;
}

constexpr fs::perms any_write = fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write;

// The file's lines: cells 0 up to and including the end marker, at most 400.
std::string bank_file_bytes(const BankTable& table) {
  std::string bytes;
  for (int k = 0; k < bank_file_lines; ++k) {
    const Text& cell = table[static_cast<std::size_t>(k)];
    bytes += cell.str();
    bytes += "\r\n";
    if (cell == end_marker) break;
  }
  return bytes;
}

}  // namespace

bool load_bank(Context& cx) {
  State& st = cx.st;
  // Bank mode belongs to the bank select_bank loaded; any other load ends that.
  st.selected_bank_loaded = 0;

  // Only a regular file is a bank; anything else (a folder, a pipe that would
  // block the open) counts as missing.
  std::error_code error;
  const fs::file_status status = fs::status(fs::path(st.bank_file_name.str()), error);
  const bool usable = fs::exists(status) ? fs::is_regular_file(status) : true;
  if (!usable || open_text_file(st.bank_file, st.bank_file_name, "R") != 0) {
    say(cx, "bnf");
    return false;
  }

  for (int k = 0; k < bank_file_lines; ++k) st.bank_table[static_cast<std::size_t>(k)] = "";
  for (int k = 0; k < bank_file_lines; ++k) {
    Text& cell = st.bank_table[static_cast<std::size_t>(k)];
    read_line(st.bank_file, cell);
    if (cell == end_marker) {
      // A marker in cell 0 or 1 is a bank without entries; the indexes stay
      // inside the table so that no later step can reach before cell 0.
      st.bank_last_cell = std::max(k - 2, 0);
      st.bank_cell_index = std::max(k - 2, 0);
      break;
    }
  }
  close_text_file(st.bank_file);
  return true;
}

std::optional<PendingBankSave> write_bank_temp(Context& cx) {
  const State& st = cx.st;
  if (st.bank_file_name.empty()) return std::nullopt;
  const std::optional<fs::path> target = real_target(fs::path(st.bank_file_name.str()));
  if (!target) return std::nullopt;

  std::error_code error;
  const fs::file_status status = fs::status(*target, error);
  const bool exists = fs::exists(status);
  // A file that may not be written is left exactly as it is; so is anything
  // that is not a plain file.
  if (exists && (!fs::is_regular_file(status) || (status.permissions() & any_write) == fs::perms::none)) {
    return std::nullopt;
  }

  PendingBankSave pending{target->string(), target->string() + ".tmp"};
  // A leftover temporary file (or a link by that name) must not be written
  // through.
  fs::remove(pending.temp, error);
  {
    std::ofstream out(pending.temp, std::ios::binary | std::ios::trunc);
    const std::string bytes = bank_file_bytes(st.bank_table);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out) {
      fs::remove(pending.temp, error);
      return std::nullopt;
    }
  }
  // The new file keeps the permissions of the one it replaces.
  if (exists) fs::permissions(pending.temp, status.permissions(), error);
  return pending;
}

void commit_bank_save(const PendingBankSave& pending) {
  std::error_code error;
  fs::rename(pending.temp, pending.target, error);
  if (error) fs::remove(pending.temp, error);
}

void save_bank(Context& cx) {
  if (const auto pending = write_bank_temp(cx)) commit_bank_save(*pending);
}

int find_end_marker(const Context& cx) {
  for (int k = 0; k < bank_table_size; ++k) {
    if (cx.st.bank_table[static_cast<std::size_t>(k)] == end_marker) return k;
  }
  return -1;
}

bool bank_has_entries(const Context& cx) {
  const int marker = find_end_marker(cx);
  return marker >= 6 && marker % 2 == 0;
}

}  // namespace talvaro
