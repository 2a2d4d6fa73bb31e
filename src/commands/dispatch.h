#pragma once
// The dispatcher: takes one queue entry and carries it out.

namespace talvaro {

struct Context;

// The pending command that typed characters belong to (entry_mode), completed
// by Enter.
namespace entry {
inline constexpr int none = 0;           // frequency entry
inline constexpr int low_limit = 1;      // S
inline constexpr int high_limit = 2;     // E
inline constexpr int step = 3;           // I
inline constexpr int transfer = 4;       // T
inline constexpr int put = 5;            // P
inline constexpr int sort = 6;           // O
inline constexpr int select = 7;         // B
inline constexpr int receiver_scan = 8;  // G
inline constexpr int write = 9;          // W
inline constexpr int delete_file = 10;   // D
inline constexpr int kill = 11;          // K
inline constexpr int raw_command = 12;   // X, with the debug log on
}  // namespace entry

void dispatch_key(Context& cx);

}  // namespace talvaro
