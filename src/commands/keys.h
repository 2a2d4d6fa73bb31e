#pragma once
// The virtual-key codes of the keys the panel uses.

namespace talvaro {

namespace key {
inline constexpr int enter = 13;
inline constexpr int space = 32;
inline constexpr int page_up = 33;
inline constexpr int page_down = 34;
inline constexpr int left = 37;
inline constexpr int up = 38;
inline constexpr int right = 39;
inline constexpr int down = 40;
inline constexpr int point = 46;  // also the Delete key
inline constexpr int f1 = 112;
inline constexpr int f7 = 118;
inline constexpr int full_stop = 190;
inline constexpr int none = 999;  // last_key after a key-up
}  // namespace key

}  // namespace talvaro
