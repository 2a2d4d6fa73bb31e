#include "banks/transfer.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <optional>
#include <string>

#include "banks/bank_file.h"
#include "banks/bank_ops.h"
#include "core/bank_view.h"
#include "core/context.h"
#include "core/text.h"
#include "link/protocol.h"
#include "link/receiver.h"
#include "link/serial.h"
#include "voice/voice.h"

namespace talvaro {

namespace {

// The mode field of a channel record for the bank's mode line, compared as an
// exact text ("CW " is what the mode keys store, "CW" is taken too); a line
// that is no mode gets the bare mode tag.
std::string mode_field(std::string_view mode_line) {
  const auto command = receiver::mode_command(mode_line);
  return cat(" ", command ? *command : receiver::mode_prefix);
}

// Ten digits of hertz from a frequency text in MHz: the whole-MHz part
// without leading zeros padded to four digits, the point dropped, zeros
// appended, and anything beyond ten digits cut.
std::string frequency_field(std::string_view frequency) {
  std::string text(frequency);
  const auto first_kept = text.find_first_not_of('0');
  text.erase(0, first_kept == std::string::npos ? text.size() : first_kept);
  const auto whole = truncate_to_int64(numeric_value(text));
  std::string field;
  if (whole < 1000) field += '0';
  if (whole < 100) field += '0';
  if (whole < 10) field += '0';
  if (whole == 0) field += '0';
  field += text;
  if (const auto point = field.find('.'); point != std::string::npos) field.erase(point, 1);
  field.resize(10, '0');
  return field;
}

// A silent receiver is given up after about this long. The only clock the
// operations have is the pause clip, so the limit is counted in pauses.
constexpr double give_up_seconds = 30.0;
// A pause counts as at least this long: a missing or very short pause clip
// then ends the wait after a bounded number of pauses instead of thousands.
constexpr double shortest_pause_seconds = 0.1;

// How many pauses make up the give-up time, from the length of the pause clip
// as the voice has loaded it.
int pause_budget(const Context& cx) {
  double seconds = 0.0;
  const auto found = cx.clips.sounds.find(cat(cx.st.pause_wave_path, clip::shdel.text()));
  if (found != cx.clips.sounds.end() && found->second) seconds = found->second->seconds();
  seconds = std::max(seconds, shortest_pause_seconds);
  return std::max(1, static_cast<int>(std::ceil(give_up_seconds / seconds)));
}

// Reads the reply only when the receiver has sent something; reports whether
// any byte had come. Bytes that arrive later stay in the port.
bool receive_if_waiting(Context& cx) {
  if (bytes_waiting(cx, cx.st.com_port) > 0) {
    receive_reply(cx);
    return true;
  }
  cx.st.reply_text = "";
  return false;
}

void send_text(Context& cx, std::string_view command) {
  cx.st.command_text = command;
  send_command(cx);
}

// The silence one whole bank check puts up with, over all its letters,
// counted in pauses that went by without an answer.
class SilenceBudget {
 public:
  explicit SilenceBudget(const Context& cx) : cx_(cx) {}
  // Counts pauses without an answer; false once the give-up time is used up.
  bool endure(int pauses) {
    // Sized once a pause has been played, so the pause clip's length is known.
    if (!sized_) {
      pauses_left_ = pause_budget(cx_);
      sized_ = true;
    }
    pauses_left_ -= pauses;
    return pauses_left_ > 0;
  }

 private:
  const Context& cx_;
  bool sized_ = false;
  int pauses_left_ = 0;
};

// Asks for bank letter's size until the reply holds "MW". nullopt when the
// receiver's silence has used up the check's time.
std::optional<std::string> query_bank_size(Context& cx, std::string_view letter, SilenceBudget& silence) {
  State& st = cx.st;
  send_text(cx, cat(receiver::command::bank_size, letter));
  short_pause(cx);
  int waited = 1;
  receive_reply(cx);
  while (position(st.reply_text, receiver::command::bank_size) == 0) {
    // The pauses before a receive that brought no answer were silence.
    if (!silence.endure(waited)) return std::nullopt;
    short_pause(cx);
    send_text(cx, cat(receiver::command::bank_size, letter));
    short_pause(cx);
    waited = 2;
    receive_reply(cx);
  }
  const int p = position(st.reply_text, receiver::command::bank_size);
  return mid(st.reply_text, p + 5, 2);
}

// Makes receiver bank letter 90 channels long. false when the receiver's
// silence has used up the check's time.
bool resize_receiver_bank(Context& cx, char letter, SilenceBudget& silence) {
  State& st = cx.st;
  const std::string name(1, letter);
  short_pause(cx);
  say(cx, clip::named(name));
  send_text(cx, cat(receiver::command::bank_size, name, receiver::bank_size_text));
  short_pause(cx);
  if (receive_if_waiting(cx)) return true;
  if (!silence.endure(1)) return false;

  // The receiver takes a while to rearrange its memory; wait until it says
  // anything, with a beep every 25 pauses so the wait can be heard.
  for (;;) {
    for (int k = 1; k <= 100; ++k) {
      short_pause(cx);
      if (k % 25 == 0) play_clip(cx, st.pause_wave_path, clip::beep);
      if (!silence.endure(1)) return false;
    }
    st.reply_text = "";
    if (bytes_waiting(cx, st.com_port) > 0) return true;
  }
}

// A label goes onto the line with its control characters as blanks.
std::string sendable_label(std::string_view label) {
  std::string text(label);
  for (char& c : text) {
    if (c < ' ' || c == '\x7f') c = ' ';
  }
  return text;
}

}  // namespace

std::string channel_record(std::string_view bank_letter, int channel, std::string_view frequency,
                           std::string_view mode_line, std::string_view label) {
  std::string number = decimal(channel);
  if (number.size() == 1) number.insert(0, "0");
  std::string text = left(label, 12);
  text.resize(12, ' ');
  return cat(receiver::command::channel_write, bank_letter, number, receiver::field::frequency,
             frequency_field(frequency), receiver::field::step, mode_field(mode_line), receiver::field::label, text);
}

void write_bank_to_receiver(Context& cx) {
  State& st = cx.st;
  const std::string letter = mid(st.bank_number_text, 3, 1);
  st.bank_file_name = cat("bank", left(st.bank_number_text, 2), ".dat");
  if (!load_bank(cx)) return;
  say(cx, clip::wait);
  for (int k = 0; k < 10; ++k) short_pause(cx);

  // A bank without entries sends nothing; otherwise the entries end at the
  // real end marker.
  const ConstBankView bank(st.bank_table);
  int pauses = 7;
  for (const int i : bank.entries()) {
    for (int k = 0; k < pauses; ++k) short_pause(cx);
    pauses = pauses > 1 ? pauses - 2 : 1;
    const int channel = BankView::entry_number(i);
    if (bank_entry_usable(cx, i)) {
      send_text(cx, channel_record(letter, channel, bank.frequency(i), bank.mode(), sendable_label(bank.label(i))));
    } else {
      say(cx, clip::inv);  // a frequency that cannot be sent: the channel stays as it is
    }
    // The receiver bank holds channels 00 to 90.
    if (channel >= receiver::last_channel) break;
    if (i % 11 == 0) say(cx, clip::beep);
  }
  say(cx, clip::ok);
}

void check_receiver_banks(Context& cx) {
  say(cx, clip::ckconfig);
  // One time limit for all ten letters: a receiver that keeps the check
  // waiting is given up after about the same time, however many letters.
  SilenceBudget silence(cx);
  for (char letter = receiver::first_bank; letter <= receiver::last_bank; ++letter) {
    const auto size = query_bank_size(cx, std::string(1, letter), silence);
    if (!size || (*size != receiver::bank_size_text && !resize_receiver_bank(cx, letter, silence))) {
      say(cx, clip::inv);
      return;
    }
  }
  say(cx, clip::ok);
}

}  // namespace talvaro
