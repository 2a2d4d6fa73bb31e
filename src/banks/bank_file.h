#pragma once
// Bank files: one cell of the bank table per line, ending with "9999".

namespace talvaro {

struct Context;

// Reads bank_file_name into bank_table. false (after "bnf") when the file is
// missing; the table is then untouched.
bool load_bank(Context& cx);
// Writes bank_table up to and including the end marker to bank_file_name,
// atomically and durably (a temporary file beside the real target, reached
// through symbolic links, flushed and renamed over it). A target the user may
// not write, or that is not a regular file, is left alone. true once the new
// file is in place; on false the old file is whole.
bool save_bank(Context& cx);
// Removes the temporary files that saves interrupted by a crash have left in
// the working folder.
void remove_leftover_saves();
// Index of the first cell holding exactly "9999" in cells 0..419, or -1.
int find_end_marker(const Context& cx);
// True when the bank has at least one entry: end marker at an even cell >= 6.
bool bank_has_entries(const Context& cx);

}  // namespace talvaro
