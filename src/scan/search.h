#pragma once
// The receiver's frequency search and its search bank.

namespace talvaro {

struct Context;

void start_search(Context& cx);
void record_found(Context& cx);
void toggle_stop_mode(Context& cx);
void show_search_settings(Context& cx);
// True while bank_table holds the search bank of the running search.
bool table_holds_search_bank(const Context& cx);

}  // namespace talvaro
