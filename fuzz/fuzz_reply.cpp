// Reply trimming on arbitrary bytes from the receiver, including after an
// "MA" listing command.
#include <cstddef>
#include <cstdint>

#include "fuzz_support.h"
#include "link/protocol.h"
#include "link/serial.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace talvaro;
  auto& bench = fuzzing::bench();
  State& st = bench.st;
  if (st.com_port != 1) {
    st.com_port = 1;
    open_port(*bench.cx, 1, 9600);
  }
  bench.serial.line->incoming.assign(reinterpret_cast<const char*>(data), size);
  st.command_text = (size > 0 && data[0] % 2 == 0) ? "MAA\r" : "LM\r";
  st.status_text = ">";
  for (int i = 0; i < 64 && !bench.serial.line->incoming.empty(); ++i) {
    receive_reply(*bench.cx);
    if (st.reply_text.size() > Text::capacity) __builtin_trap();
  }
  bench.serial.line->written.clear();
  return 0;
}
