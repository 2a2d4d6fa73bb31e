#include "banks/bank_file.h"

#include <algorithm>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>

#include "core/bank_view.h"
#include "core/context.h"
#include "core/files.h"
#include "voice/voice.h"

namespace talvaro {

namespace fs = std::filesystem;

namespace {

// A save writes its new file under the target's name plus this, then renames.
constexpr std::string_view temp_suffix = ".tmp";

// "bank" + two or four digits + ".dat" + the suffix: a temporary bank file.
bool is_leftover_save(std::string_view name) {
  const std::string ending = cat(".dat", temp_suffix);
  if (!name.starts_with("bank") || !name.ends_with(ending)) return false;
  const std::string_view digits = name.substr(4, name.size() - 4 - std::min(name.size() - 4, ending.size()));
  return (digits.size() == 2 || digits.size() == 4) &&
         std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; });
}

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

  // Only a regular file is a bank; anything else (a folder, a pipe) counts as
  // missing.
  if (open_text_file(st.bank_file, st.bank_file_name, "R") != 0) {
    say(cx, clip::bnf);
    return false;
  }

  for (int k = 0; k < bank_file_lines; ++k) st.bank_table[static_cast<std::size_t>(k)] = "";
  for (int k = 0; k < bank_file_lines; ++k) {
    Text& cell = st.bank_table[static_cast<std::size_t>(k)];
    read_line(st.bank_file, cell);
    if (cell == end_marker) {
      // A marker in cell 0 or 1 is a bank without entries; the indexes stay
      // inside the table so that no later step can reach before cell 0.
      st.bank_last_cell = std::max(BankView::previous_entry(k), 0);
      st.bank_cell_index = std::max(BankView::previous_entry(k), 0);
      break;
    }
  }
  close_text_file(st.bank_file);
  return true;
}

bool save_bank(Context& cx) {
  const State& st = cx.st;
  if (st.bank_file_name.empty()) return false;
  const std::optional<fs::path> target = real_target(fs::path(st.bank_file_name.str()));
  if (!target) return false;
  return files::replace_file(target->string(), cat(target->string(), temp_suffix), bank_file_bytes(st.bank_table));
}

void remove_leftover_saves() {
  std::error_code error;
  fs::directory_iterator it(fs::path("."), error);
  for (const fs::directory_iterator end; !error && it != end; it.increment(error)) {
    const std::string name = it->path().filename().string();
    if (is_leftover_save(name) && !it->is_directory(error)) files::remove_name(name);
  }
}

int find_end_marker(const Context& cx) { return ConstBankView(cx.st.bank_table).end_marker(); }

bool bank_has_entries(const Context& cx) { return ConstBankView(cx.st.bank_table).has_entries(); }

}  // namespace talvaro
