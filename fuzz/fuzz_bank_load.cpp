// Bank loading, then the walks over the loaded table, on arbitrary bank files.
#include <cstddef>
#include <cstdint>
#include <fstream>

#include "banks/bank_file.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace talvaro;
  auto& bench = fuzzing::bench();
  {
    std::ofstream out("bank42.dat", std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  }
  State& st = bench.st;
  st.bank_file_name = "bank42.dat";
  if (!load_bank(*bench.cx)) __builtin_trap();
  if (st.bank_cell_index < -2 || st.bank_cell_index >= bank_table_size) __builtin_trap();
  const int marker = find_end_marker(*bench.cx);
  if (marker >= bank_table_size) __builtin_trap();
  (void)bank_has_entries(*bench.cx);
  st.bank_file_name = "bank43.dat";
  save_bank(*bench.cx);
  return 0;
}
