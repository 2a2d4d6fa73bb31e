// The configuration reader on arbitrary TALVARO.CFG contents.
#include <cstddef>
#include <cstdint>
#include <fstream>

#include "core/config.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace talvaro;
  auto& bench = fuzzing::bench();
  {
    std::ofstream out("TALVARO.CFG", std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  }
  if (!read_configuration(*bench.cx)) __builtin_trap();
  return 0;
}
