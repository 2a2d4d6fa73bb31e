// The frequency and step conversions on arbitrary texts, and tuning by an
// offset from such a text.
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz_support.h"
#include "link/receiver.h"
#include "tuning/frequency.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace talvaro;
  const std::string text(reinterpret_cast<const char*>(data), size);
  (void)vfo_command(receiver::command::vfo_a, text);
  (void)step_command(text);
  (void)frequency_of_hz(hz_of_frequency(text));
  (void)step_offset_hz(text);

  auto& bench = fuzzing::bench();
  State& st = bench.st;
  st.frequency_text = text;
  tune_by_offset(*bench.cx, 1000);
  tune_by_offset(*bench.cx, -12500);
  if (st.frequency_text.size() > Text::capacity) __builtin_trap();
  bench.serial.line->written.clear();
  bench.display.draws.clear();
  bench.audio.plays.clear();
  return 0;
}
