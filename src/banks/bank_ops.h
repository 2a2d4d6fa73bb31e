#pragma once
// Operations on bank files from the keyboard.

namespace talvaro {

struct Context;

void select_bank(Context& cx);
// Up (forward = true) or Down in bank mode.
void step_entry(Context& cx, bool forward);
void delete_entry(Context& cx);
void sort_bank(Context& cx);
void put_memory(Context& cx);
void copy_bank(Context& cx);
void merge_into_bank(Context& cx);
void delete_bank_file(Context& cx);

// Entries read from a file whose frequency holds a byte outside printable
// ASCII are never tuned: they are skipped with "inv".
bool bank_entry_usable(const Context& cx, int index);
// The first usable entry of the loaded bank met from cell index on, stepping
// forward or back and wrapping within the entries; -1 when there is none.
int usable_entry_from(const Context& cx, int index, bool forward);
// Sends the step of the bank header (cell 2), or says "inv" when it cannot be
// sent; step_text then keeps its value.
void send_bank_step(Context& cx);

}  // namespace talvaro
