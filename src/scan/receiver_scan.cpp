#include "scan/receiver_scan.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstddef>
#include <string>
#include <string_view>

#include "core/context.h"
#include "core/text.h"
#include "link/protocol.h"
#include "link/receiver.h"
#include "panel/display.h"
#include "tuning/frequency.h"
#include "tuning/mode.h"
#include "voice/voice.h"

namespace talvaro {

namespace {

// Replies read while the receiver lists the bank.
constexpr int listing_passes = 7;

bool is_digit(char c) { return c >= '0' && c <= '9'; }
// A listing may name the bank in either case.
bool is_bank_letter(char c) {
  return receiver::is_bank_letter(static_cast<char>(std::toupper(static_cast<unsigned char>(c))));
}

void send_text(Context& cx, std::string_view command) {
  cx.st.command_text = command;
  send_command(cx);
}

// Ten digits of hertz after the first "RF" become the shown frequency in MHz
// (leading zeros dropped); anything shorter is not a frequency.
void show_listed_frequency(Context& cx) {
  State& st = cx.st;
  const int p = position(st.reply_text, receiver::frequency_tag);
  if (p == 0) return;
  const std::string digits = mid(st.reply_text, p + 2, 10);
  if (digits.size() != 10 || !std::all_of(digits.begin(), digits.end(), is_digit)) return;
  std::string frequency = cat(left(digits, 4), ".", mid(digits, 5));
  frequency.erase(0, std::min(frequency.find_first_not_of('0'), frequency.size()));
  st.frequency_text = frequency;
  show_frequency(cx);
}

// The bank letter and two digits after the first "MX" of the reply, or "".
std::string passed_channel(const Text& reply) {
  const int p = position(reply, receiver::command::channel_write);
  if (p == 0) return {};
  const std::string channel = mid(reply, p + 2, 3);
  if (channel.size() != 3 || !is_bank_letter(channel[0]) || !is_digit(channel[1]) || !is_digit(channel[2])) return {};
  return channel;
}

}  // namespace

void start_receiver_scan(Context& cx) {
  State& st = cx.st;
  const Text& bank = st.bank_number_text;
  if (!(bank.empty() || (bank.size() == 1 && receiver::is_bank_letter(bank[0])))) {
    // The pending scan stays: a letter typed next replaces the argument.
    say(cx, clip::inv);
    return;
  }
  st.scan_resume_delay = 0;
  send_text(cx, cat(receiver::command::level_report, "1"));
  short_pause(cx);
  send_text(cx, cat(receiver::command::bank_list, bank));

  // The listing shows the bank's modes; the most frequent becomes mode_text.
  std::array<int, receiver::mode_digits.size()> counts{};
  for (int pass = 1; pass <= listing_passes; ++pass) {
    short_pause(cx);
    receive_reply(cx);
    if (pass == 2) show_listed_frequency(cx);
    const int p = position(st.reply_text, receiver::mode_tag);
    if (p > 0) {
      const std::string digit = mid(st.reply_text, p + 2, 1);
      if (digit.size() == 1 && digit[0] >= '0' && static_cast<std::size_t>(digit[0] - '0') < counts.size()) {
        ++counts[static_cast<std::size_t>(digit[0] - '0')];
      }
    }
  }
  std::size_t best = 0;
  for (std::size_t d = 1; d < counts.size(); ++d) {
    if (counts[d] > counts[best]) best = d;
  }
  // With no mode counted at all the current mode stays.
  if (counts[best] > 0) st.mode_text = receiver::mode_digits[best].name;
  place(cx, layout::mode);
  print_text(cx, {st.mode_text, space_text(6)});
  // The mode keys' texts "CW " and "AUT" are spoken by the clips of their modes.
  const auto mode = mode_row_for_text(st.mode_text);
  say(cx, mode ? mode->clip : clip::named(st.mode_text));

  st.scan_just_started = 1;
  short_pause(cx);
  st.scanned_bank_text = bank;
  const std::string start = cat(receiver::command::scan, bank);
  send_text(cx, start);
  short_pause(cx);
  send_text(cx, start);
  st.entry_mode = EntryMode::none;
  st.receiver_scan_state = ReceiverScanState::started;
  if (st.scan_voice_enabled == 0) say(cx, clip::scan);
}

void pass_channel(Context& cx) {
  State& st = cx.st;
  if (st.pass_list_count >= pass_list_size) {
    // No room for another passed channel: nothing is sent.
    say(cx, clip::inv);
    return;
  }
  say(cx, clip::pass);
  send_text(cx, receiver::command::channel_read);
  short_pause(cx);
  receive_reply(cx);
  const std::string channel = passed_channel(st.reply_text);
  if (channel.empty()) {
    say(cx, clip::inv);
    return;
  }
  st.pass_list_count = std::max(st.pass_list_count, 1);
  st.pass_list[static_cast<std::size_t>(st.pass_list_count)] = channel;
  ++st.pass_list_count;
  short_pause(cx);
  send_text(cx, cat(receiver::command::channel_pass, "1"));
  short_pause(cx);
  send_text(cx, receiver::command::scan);
}

void exit_scan(Context& cx) {
  State& st = cx.st;
  say(cx, clip::exitscan);
  st.receiver_scan_state = ReceiverScanState::off;
  st.bank_scan_state = BankScanState::off;
  // Passed channels go back into the receiver's scan.
  const int passed = std::min(st.pass_list_count, pass_list_size);
  for (int i = 1; i < passed; ++i) {
    send_text(cx, cat(receiver::command::channel_read, st.pass_list[static_cast<std::size_t>(i)]));
    short_pause(cx);
    send_text(cx, cat(receiver::command::channel_pass, "0"));
    short_pause(cx);
  }
  st.pass_list_count = 1;
  st.entry_mode = EntryMode::none;
  commit_frequency(cx);
  short_pause(cx);
  apply_mode(cx);
  if (st.quit_requested == 1) say(cx, clip::quit);
}

}  // namespace talvaro
