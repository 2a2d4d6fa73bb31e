// The line reader on arbitrary file contents.
#include <cstddef>
#include <cstdint>
#include <fstream>

#include "core/text_file.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace talvaro;
  fuzzing::bench();  // works in the bench's temporary folder
  {
    std::ofstream out("fuzz.txt", std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  }
  TextFile file;
  if (open_text_file(file, "fuzz.txt", "R") != 0) return 0;
  Text line;
  std::size_t lines = 0;
  while (read_line(file, line) == 0) {
    if (line.size() > Text::capacity || ++lines > size) __builtin_trap();
  }
  return 0;
}
