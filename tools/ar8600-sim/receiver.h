#pragma once
// The simulated receiver: its VFOs, memory banks, search and memory scan,
// squelch and level reports, driven by command lines and a clock.
//
// Pure logic: nothing here touches a file or a device. Every call first runs
// the timed behaviour (search and scan steps, signals coming and going, level
// reports) up to the clock's present, and returns the lines the receiver
// sends, in order.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "clock.h"

namespace ar8600sim {

// One line the receiver sends (without its CR LF), and how much longer than
// usual the receiver takes before sending it.
struct Reply {
  std::string text;
  Millis delay{0};
  friend bool operator==(const Reply&, const Reply&) = default;
};
using Replies = std::vector<Reply>;

// A carrier on the air. It is there from start to stop (seconds since the
// simulator started; none = always); with on and off both above zero it is
// keyed on for `on`, then off for `off`, again and again from its start.
struct Signal {
  std::int64_t hz = 0;
  int level = 0;  // the raw level the receiver reports (49 is about S9)
  std::optional<Millis> start;
  std::optional<Millis> stop;
  Millis on{0};
  Millis off{0};

  bool active_at(Millis t) const;
  std::optional<Millis> next_change_after(Millis t) const;
};

// The receiving modes by their MD digit.
enum ModeCode : int { wfm = 0, nfm = 1, am = 2, usb = 3, lsb = 4, cw = 5, sfm = 6, wam = 7, nam = 8 };
inline constexpr int kModeCount = 9;

struct Tuning {
  std::int64_t hz = 145'000'000;
  std::int32_t step_hz = 12'500;
  int mode = nfm;
  bool auto_mode = false;
  bool attenuator = false;
};

inline constexpr int kBankCount = 20;    // A-J, then a-j
inline constexpr int kMaxChannels = 90;  // the most one bank of a pair can hold
inline constexpr int kPairChannels = 100;
inline constexpr std::size_t kChannelTextLength = 12;

struct Channel {
  bool used = false;
  bool passed = false;
  Tuning tuning;
  std::string text = std::string(kChannelTextLength, ' ');
};

struct ChannelRef {
  int bank = 0;  // 0-9 = A-J, 10-19 = a-j
  int index = 0;
  friend bool operator==(const ChannelRef&, const ChannelRef&) = default;
};

// Bank letter to index, and back; -1 for a letter that names no bank.
int bank_index(char letter);
char bank_letter(int bank);
std::string channel_name(ChannelRef ref);  // "A05"

struct Timing {
  Millis search_interval{50};   // between two search steps
  Millis scan_interval{50};     // between two memory scan steps
  Millis resume_delay{2000};    // from the end of a signal to the resume (0 = at once)
  Millis resize_delay{1000};    // before the answer to a bank resize
  Millis report_interval{250};  // between two continuous level reports (LC2)
};

class Receiver {
 public:
  enum class Activity { vfo_a, vfo_b, memory, memory_scan, search };

  explicit Receiver(const Clock& clock);

  // A command line as received, without its terminator.
  Replies handle_command(std::string_view line);
  // A command line that was too long to keep: refused.
  Replies handle_overlong();
  // A key byte (0x1C-0x1F).
  Replies handle_key(unsigned char byte);
  // Runs the timed behaviour up to now.
  Replies advance();
  // When something is next due to happen by itself (nothing: only commands
  // change anything).
  std::optional<Millis> next_due() const;

  // Setting up, from the scenario or the control channel.
  void add_signal(const Signal& signal);
  void remove_signals_at(std::int64_t hz);
  void clear_signals();
  void set_squelch(int threshold) { squelch_ = threshold; }
  Timing& timing() { return timing_; }
  void set_vfo(int which, std::int64_t hz) { vfo_hz_[which ? 1 : 0] = hz; }
  Tuning& vfo_settings() { return vfo_; }
  // Writes a channel; false when the bank has no such channel.
  bool write_channel(ChannelRef ref, const Channel& channel);
  // Gives bank `bank` `size` channels (10-90) and its partner the rest.
  bool resize_bank(int bank, int size);

  // Looking in, for tests and the status line.
  Activity activity() const { return activity_; }
  bool stopped() const { return stopped_; }
  bool remote() const { return remote_; }
  Tuning tuned() const;  // what the receiver is listening to
  int level() const;
  bool squelch_open() const;
  const Channel& channel(ChannelRef ref) const;
  int bank_size(int bank) const { return bank_sizes_[static_cast<std::size_t>(bank)]; }
  ChannelRef current_channel() const { return current_channel_; }

 private:
  using Handler = void (Receiver::*)(std::string_view parameter, Replies& out);
  struct Command {
    std::string_view code;
    Handler handler;
  };
  static const Command kCommandTable[];

  void run_due(Replies& out);
  void run_events_at(Millis t, Replies& out);
  void check_squelch(Replies& out);
  std::string report_line() const;
  std::string where_text() const;
  int level_at(const Tuning& tuning, Millis t) const;

  // Search and scan.
  void end_activity();
  void start_search();
  void start_scan(int bank, int from_index);
  void step_activity();
  void resume_activity(int direction);
  std::optional<int> next_channel(int bank, int after, int direction, bool skip_passed) const;
  void tune_scan_channel(ChannelRef ref);

  Tuning& settings_target();
  std::string tuning_fields(const Tuning& tuning) const;
  std::string channel_line(ChannelRef ref) const;
  std::string memory_line() const;
  void drop_vanished_channel();
  Channel& channel_at(ChannelRef ref);

  void cmd_ex(std::string_view p, Replies& out);
  void cmd_lm(std::string_view p, Replies& out);
  void cmd_lc(std::string_view p, Replies& out);
  void cmd_rx(std::string_view p, Replies& out);
  void cmd_va(std::string_view p, Replies& out);
  void cmd_vb(std::string_view p, Replies& out);
  void select_vfo(int which, std::string_view p, Replies& out);
  void cmd_rf(std::string_view p, Replies& out);
  void cmd_st(std::string_view p, Replies& out);
  void cmd_md(std::string_view p, Replies& out);
  void cmd_au(std::string_view p, Replies& out);
  void cmd_at(std::string_view p, Replies& out);
  void cmd_nl(std::string_view p, Replies& out);
  // An on/off setting: bare, the command reports it; with 0 or 1 it sets it.
  void flag_command(std::string_view name, std::string_view p, Replies& out, bool current, bool& target);
  void cmd_vs(std::string_view p, Replies& out);
  void cmd_ma(std::string_view p, Replies& out);
  void cmd_mx(std::string_view p, Replies& out);
  void cmd_mr(std::string_view p, Replies& out);
  void cmd_mp(std::string_view p, Replies& out);
  void cmd_ms(std::string_view p, Replies& out);
  void cmd_mw(std::string_view p, Replies& out);
  void cmd_mq(std::string_view p, Replies& out);
  void cmd_vr(std::string_view p, Replies& out);

  const Clock& clock_;
  Millis time_{0};
  Timing timing_;
  int squelch_ = 10;
  std::vector<Signal> signals_;

  Activity activity_ = Activity::vfo_a;
  Activity last_vfo_ = Activity::vfo_a;
  std::array<std::int64_t, 2> vfo_hz_{145'000'000, 146'000'000};
  Tuning vfo_;            // step, mode, auto mode and attenuator of both VFOs
  Tuning memory_tuning_;  // the recalled channel as it is being received
  bool noise_limiter_ = false;
  bool remote_ = false;

  std::array<std::array<Channel, kMaxChannels>, kBankCount> banks_{};
  std::array<int, kBankCount> bank_sizes_{};
  ChannelRef current_channel_;
  ChannelRef listing_{0, 0};  // where a bare MA goes on
  bool listing_started_ = false;

  // Search (VS) and memory scan (MS).
  std::int64_t search_hz_ = 0;
  int direction_ = 1;
  bool stopped_ = false;
  Millis next_step_{0};
  std::optional<Millis> resume_at_;

  // Level reports (LC).
  int report_mode_ = 0;
  bool last_open_ = false;
  Millis next_report_{0};
};

}  // namespace ar8600sim
