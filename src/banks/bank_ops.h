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

}  // namespace talvaro
