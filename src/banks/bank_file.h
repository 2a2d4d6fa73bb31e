#pragma once
// Bank files: one cell of the bank table per line, ending with "9999".

#include <optional>
#include <string>
#include <string_view>

namespace talvaro {

struct Context;

// Reads bank_file_name into bank_table. false (after "bnf") when the file is
// missing; the table is then untouched.
bool load_bank(Context& cx);
// Writes bank_table up to and including the end marker to bank_file_name,
// atomically (temporary file, then rename). A read-only target is left alone.
void save_bank(Context& cx);
// The two halves of save_bank. write_bank_temp writes the bank's lines to a
// temporary file beside the real target (through a symbolic link) and returns
// the pair to rename, or nothing when the save is skipped (read-only or
// unwritable target, failed write). commit_bank_save renames the temporary
// file over the target; until it runs the old file is whole.
struct PendingBankSave {
  std::string target;  // the real file, symbolic links resolved
  std::string temp;
};
std::optional<PendingBankSave> write_bank_temp(Context& cx);
void commit_bank_save(const PendingBankSave& pending);
// Index of the first cell holding exactly "9999" in cells 0..419, or -1.
int find_end_marker(const Context& cx);
// True when the bank has at least one entry: end marker at an even cell >= 6.
bool bank_has_entries(const Context& cx);

}  // namespace talvaro
