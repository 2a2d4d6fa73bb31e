#include "banks/bank_ops.h"
#include "core/context.h"
namespace talvaro {
// PLACEHOLDER: replaced by the bank operations.
void select_bank(Context&) {}
void step_entry(Context&, bool) {}
void delete_entry(Context&) {}
void sort_bank(Context&) {}
void put_memory(Context&) {}
void copy_bank(Context&) {}
void merge_into_bank(Context&) {}
void delete_bank_file(Context&) {}
}  // namespace talvaro
