// The frequency and step conversions on arbitrary texts.
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz_support.h"
#include "tuning/frequency.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace talvaro;
  auto& bench = fuzzing::bench();
  State& st = bench.st;
  const std::string text(reinterpret_cast<const char*>(data), size);
  (void)vfo_command("VA", text);
  (void)step_command(text);
  st.argument_text = text;
  frequency_to_hz(*bench.cx);
  hz_to_frequency(*bench.cx);
  st.step_text = text;
  (void)step_offset_hz(*bench.cx);
  st.frequency_text = text;
  tune_by_offset(*bench.cx, 1000);
  tune_by_offset(*bench.cx, -12500);
  if (st.frequency_text.size() > Text::capacity) __builtin_trap();
  bench.serial.line->written.clear();
  bench.display.draws.clear();
  bench.audio.plays.clear();
  return 0;
}
