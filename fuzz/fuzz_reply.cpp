// Reply trimming and the level of a reply on arbitrary bytes from the
// receiver, with and without a listing command before them.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "link/protocol.h"
#include "link/receiver.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace talvaro;
  const std::string_view received(reinterpret_cast<const char*>(data), size);
  for (const bool after_listing : {false, true}) {
    const TrimmedReply trimmed = trim_reply(received, after_listing);
    // What is kept starts at a known tag and is no longer than that tag keeps.
    if (trimmed.kept.empty()) continue;
    bool tagged = false;
    for (const receiver::ReplyTag& row : receiver::reply_tags) {
      if (row.keep > 0 && trimmed.kept.starts_with(row.tag) &&
          trimmed.kept.size() <= static_cast<std::size_t>(row.keep)) {
        tagged = true;
      }
    }
    if (!tagged) __builtin_trap();
  }
  (void)level_from_reply(received);
  return 0;
}
