#pragma once
// What the receiver understands, in one place: its line format, the command
// texts the panel sends, its mode codes, the tags its replies start with and
// how much of each reply is kept, and its banks and channels. Everything that
// talks to the receiver reads these names instead of spelling the texts.

#include <array>
#include <optional>
#include <string_view>

namespace talvaro::receiver {

// ------------------------------------------------------------ line format

struct LineFormat {
  int data_bits;
  int parity;  // 0 = none
  int stop_bits;
};
inline constexpr LineFormat line_format{8, 0, 2};

// ------------------------------------------------------------ commands
// Each is sent followed by CR; the ones that take an argument (a frequency, a
// bank letter, a channel, a switch state) are followed by it.

namespace command {
inline constexpr std::string_view vfo_a = "VA";           // tune VFO A, then ten digits of hertz
inline constexpr std::string_view vfo_b = "VB";           // set VFO B
inline constexpr std::string_view step = "ST";            // tuning step in kHz
inline constexpr std::string_view attenuator = "AT";      // then 0 or 1
inline constexpr std::string_view noise_limiter = "NL";   // then 0 or 1
inline constexpr std::string_view level = "LM";           // ask for the signal level
inline constexpr std::string_view level_report = "LC";    // then 1: report the level while scanning
inline constexpr std::string_view read_frequency = "RX";  // ask for the tuned frequency
inline constexpr std::string_view search = "VS";          // start the VFO search
inline constexpr std::string_view bank_list = "MA";       // then a bank letter: list its channels
inline constexpr std::string_view scan = "MS";            // then a bank letter, or alone to resume
inline constexpr std::string_view channel_read = "MR";    // alone: the channel scanned; with one: recall it
inline constexpr std::string_view channel_pass = "MP";    // then 1 (pass) or 0 (scan again)
inline constexpr std::string_view bank_quick = "MQ";      // then a bank letter and "%%"
inline constexpr std::string_view bank_size = "MW";       // then a bank letter, and a size to set one
inline constexpr std::string_view channel_write = "MX";   // a whole channel record
inline constexpr std::string_view exit_remote = "EX";     // leave remote control
}  // namespace command

// The fields inside a channel record and a listing.
namespace field {
inline constexpr std::string_view frequency = " RF";
inline constexpr std::string_view step = " ST012500";
inline constexpr std::string_view label = " TM";
}  // namespace field

// ------------------------------------------------------------ modes

// The receiver's mode commands with the panel's name of each mode, indexed by
// the digit that follows "MD"; automatic mode has no digit and switches "AU"
// on instead.
struct ModeCode {
  std::string_view name;     // the panel's mode text
  std::string_view command;  // what selects the mode
};
inline constexpr std::string_view mode_prefix = "MD";
inline constexpr std::array<ModeCode, 6> mode_digits{{
    {"WFM", "MD0"},
    {"FM", "MD1"},
    {"AM", "MD2"},
    {"USB", "MD3"},
    {"LSB", "MD4"},
    {"CW", "MD5"},
}};
// The texts the mode keys keep: CW with a trailing blank, automatic as "AUT".
inline constexpr std::string_view cw_key_text = "CW ";
inline constexpr ModeCode automatic{"AUT", "AU1"};

// The command that selects a mode text exactly as given ("CW " is CW), or
// nothing for a text that is no mode.
constexpr std::optional<std::string_view> mode_command(std::string_view name) {
  if (name == cw_key_text) name = "CW";
  if (name == automatic.name) return automatic.command;
  for (const ModeCode& row : mode_digits) {
    if (row.name == name) return row.command;
  }
  return std::nullopt;
}

// ------------------------------------------------------------ replies

// The tags a reply is looked for at, in this order, with the number of
// characters kept from the tag on. Keep 0 marks "MA", which is no tag: after
// an "MA" listing command the whole reply is logged, then the search goes on.
struct ReplyTag {
  std::string_view tag;
  int keep;
};
inline constexpr std::array<ReplyTag, 6> reply_tags{{
    {"LC", 30},
    {"MW", 13},
    {"MA", 0},
    {"MX", 60},
    {"VS", 18},
    {"LM", 6},
}};
// Inside replies: the frequency of a listing and the mode digit.
inline constexpr std::string_view frequency_tag = "RF";
inline constexpr std::string_view mode_tag = "MD";

// ------------------------------------------------------------ banks

// Banks are letters A to J; each holds channels 00 to 90.
inline constexpr char first_bank = 'A';
inline constexpr char last_bank = 'J';
inline constexpr int bank_count = last_bank - first_bank + 1;
inline constexpr int last_channel = 90;
inline constexpr std::string_view bank_size_text = "90";  // what "MW" reports and sets

constexpr bool is_bank_letter(char c) { return c >= first_bank && c <= last_bank; }

}  // namespace talvaro::receiver
