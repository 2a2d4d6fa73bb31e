#pragma once
// Bank files: one cell of the bank table per line, ending with "9999".

#include <string_view>

namespace talvaro {

struct Context;

// Reads bank_file_name into bank_table. false (after "bnf") when the file is
// missing; the table is then untouched.
bool load_bank(Context& cx);
// Writes bank_table up to and including the end marker to bank_file_name,
// atomically (temporary file, then rename). A read-only target is left alone.
void save_bank(Context& cx);
// Index of the first cell holding exactly "9999" in cells 0..419, or -1.
int find_end_marker(const Context& cx);
// True when the bank has at least one entry: end marker at an even cell >= 6.
bool bank_has_entries(const Context& cx);

}  // namespace talvaro
