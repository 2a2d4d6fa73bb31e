#pragma once
// The bank table read as a bank. A bank file holds one cell per line: a
// header (name, mode, step and a spare line), then one entry per two cells
// (frequency, label) from cell 4, ended by the first "9999" of either parity.
// The view only names those cells; the table and the file stay cells.

#include <cstddef>
#include <string_view>

#include "core/state.h"

namespace talvaro {

namespace bank_cells {
inline constexpr int name = 0;
inline constexpr int mode = 1;
inline constexpr int step = 2;
inline constexpr int spare = 3;  // the header's last line
inline constexpr int first_entry = 4;
inline constexpr int entry_size = 2;  // frequency, then label
inline constexpr int last = bank_table_size - 1;
// The entries a merge or a copy is built for: end marker at cell 186 at the latest.
inline constexpr int max_merge_entries = 91;
inline constexpr int last_merge_end = first_entry + max_merge_entries * entry_size;
}  // namespace bank_cells

// The cells of the entries first .. end (exclusive), one entry apart.
class EntryCells {
 public:
  class Iterator {
   public:
    explicit Iterator(int cell) : cell_(cell) {}
    int operator*() const { return cell_; }
    Iterator& operator++() {
      cell_ += bank_cells::entry_size;
      return *this;
    }
    bool operator!=(const Iterator& other) const { return cell_ < other.cell_; }

   private:
    int cell_;
  };
  EntryCells(int first, int end) : first_(first), end_(end) {}
  Iterator begin() const { return Iterator(first_); }
  Iterator end() const { return Iterator(end_); }

 private:
  int first_;
  int end_;
};

// Table is BankTable, or const BankTable for a view that only reads.
template <typename Table>
class BasicBankView {
 public:
  explicit BasicBankView(Table& table) : table_(table) {}

  auto& cell(int index) const { return table_[static_cast<std::size_t>(index)]; }
  auto& name() const { return cell(bank_cells::name); }
  auto& mode() const { return cell(bank_cells::mode); }
  auto& step() const { return cell(bank_cells::step); }
  // The frequency and label of the entry at entry_cell.
  auto& frequency(int entry_cell) const { return cell(entry_cell); }
  auto& label(int entry_cell) const { return cell(entry_cell + 1); }

  static constexpr int entry_cell(int entry) { return bank_cells::first_entry + entry * bank_cells::entry_size; }
  static constexpr int entry_number(int entry_cell) {
    return (entry_cell - bank_cells::first_entry) / bank_cells::entry_size;
  }
  static constexpr int next_entry(int entry_cell) { return entry_cell + bank_cells::entry_size; }
  static constexpr int previous_entry(int entry_cell) { return entry_cell - bank_cells::entry_size; }
  // Whether a cell is where an entry's frequency stands (ignoring the end).
  static constexpr bool at_entry(int cell) {
    return cell >= bank_cells::first_entry && cell % bank_cells::entry_size == 0;
  }
  // Room for one more entry after an end marker at end: the entry, the marker
  // and the blank after it, all within the table.
  static constexpr bool room_after(int end) { return end + 3 <= bank_cells::last; }

  // The first cell holding exactly "9999", or -1.
  int end_marker() const {
    for (int k = 0; k < bank_table_size; ++k) {
      if (cell(k) == end_marker_text) return k;
    }
    return -1;
  }
  // A bank has entries only when its end marker stands at an even cell after
  // the first entry; any other bank is a bank without entries.
  bool has_entries() const {
    const int marker = end_marker();
    return marker > bank_cells::first_entry && at_entry(marker);
  }
  // The end marker of a bank with entries, or -1.
  int entries_end() const { return has_entries() ? end_marker() : -1; }
  // Whether cell is the frequency of one of the bank's entries.
  bool holds_entry(int cell) const { return at_entry(cell) && cell < entries_end(); }
  // The end marker stands where a merge may add to the bank: an even cell from
  // the first entry up to the merge limit.
  bool within_merge_limit() const {
    const int marker = end_marker();
    return at_entry(marker) && marker <= bank_cells::last_merge_end;
  }
  // The cells of the bank's entries (none for a bank without entries).
  EntryCells entries() const { return EntryCells(bank_cells::first_entry, entries_end()); }

  // A new bank: its header and the end marker in place of the first entry.
  void start_new(std::string_view bank_name, const Text& bank_mode, const Text& bank_step,
                 const Text& spare_line = Text(" ")) const {
    name() = bank_name;
    mode() = bank_mode;
    step() = bank_step;
    cell(bank_cells::spare) = spare_line;
    cell(bank_cells::first_entry) = end_marker_text;
  }
  // Puts an entry where the end marker stands (end) and the marker (with a
  // blank after it) behind it; returns the marker's new cell.
  int append(int end, const Text& frequency_text, const Text& label_text) const {
    cell(end) = frequency_text;
    cell(end + 1) = label_text;
    cell(end + 2) = end_marker_text;
    cell(end + 3) = " ";
    return next_entry(end);
  }

 private:
  static constexpr std::string_view end_marker_text = talvaro::end_marker;
  Table& table_;
};

using BankView = BasicBankView<BankTable>;
using ConstBankView = BasicBankView<const BankTable>;

}  // namespace talvaro
