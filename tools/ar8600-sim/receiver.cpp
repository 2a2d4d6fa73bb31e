#include "receiver.h"

#include <algorithm>
#include <iterator>

#include "protocol.h"

namespace ar8600sim {
namespace {

// Half the receiving bandwidth of each mode: a signal this close is heard.
constexpr std::array<std::int64_t, kModeCount> kHalfBandwidthHz = {
    100'000,  // WFM
    6'000,    // NFM
    4'500,    // AM
    1'500,    // USB
    1'500,    // LSB
    500,      // CW
    3'000,    // narrow FM
    7'500,    // wide AM
    3'000,    // narrow AM
};

// The mode automatic mode selection picks, by band; NFM elsewhere.
struct AutoModeRow {
  std::int64_t low_hz;
  std::int64_t high_hz;
  int mode;
};
constexpr AutoModeRow kAutoModeTable[] = {
    {100'000, 29'999'950, am},
    {76'000'000, 107'999'950, wfm},
    {108'000'000, 136'999'950, am},
};

// The attenuator takes this much off the raw level.
constexpr int kAttenuatorDrop = 20;
constexpr int kBlockLines = 10;
constexpr int kMaxEventsPerAdvance = 100'000;
constexpr const char* kVersionReply = "VR0101";

int effective_mode(const Tuning& tuning) {
  if (!tuning.auto_mode) return tuning.mode;
  for (const auto& row : kAutoModeTable) {
    if (tuning.hz >= row.low_hz && tuning.hz <= row.high_hz) return row.mode;
  }
  return nfm;
}

std::string_view trimmed(std::string_view text) {
  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
  return text;
}

std::optional<bool> parse_flag(std::string_view text) {
  if (text == "0") return false;
  if (text == "1") return true;
  return std::nullopt;
}

std::optional<int> parse_mode_digit(std::string_view text) {
  if (text.size() != 1 || text[0] < '0' || text[0] >= '0' + kModeCount) return std::nullopt;
  return text[0] - '0';
}

// "A05" (letter and two digits) to a channel of a bank that holds it.
std::optional<ChannelRef> parse_channel(std::string_view text, const std::array<int, kBankCount>& sizes) {
  if (text.size() != 3) return std::nullopt;
  const int bank = bank_index(text[0]);
  if (bank < 0 || text[1] < '0' || text[1] > '9' || text[2] < '0' || text[2] > '9') return std::nullopt;
  const int index = (text[1] - '0') * 10 + (text[2] - '0');
  if (index >= sizes[static_cast<std::size_t>(bank)]) return std::nullopt;
  return ChannelRef{bank, index};
}

std::string fitted_text(std::string_view text) {
  std::string out(text.substr(0, kChannelTextLength));
  out.resize(kChannelTextLength, ' ');
  return out;
}

char digit(bool flag) { return flag ? '1' : '0'; }

}  // namespace

bool Signal::active_at(Millis t) const {
  if (start && t < *start) return false;
  if (stop && t >= *stop) return false;
  if (on > Millis{0} && off > Millis{0}) {
    const Millis origin = start.value_or(Millis{0});
    return (t - origin) % (on + off) < on;
  }
  return true;
}

std::optional<Millis> Signal::next_change_after(Millis t) const {
  std::optional<Millis> next;
  auto consider = [&](Millis when) {
    if (when > t && (!next || when < *next)) next = when;
  };
  if (start) consider(*start);
  if (stop) consider(*stop);
  if (on > Millis{0} && off > Millis{0}) {
    const Millis origin = start.value_or(Millis{0});
    const Millis from = std::max(t, origin);
    const Millis period = on + off;
    const Millis cycle_start = origin + (from - origin) / period * period;
    const Millis edge = cycle_start + on > t ? cycle_start + on : cycle_start + period;
    if (!stop || edge < *stop) consider(edge);
  }
  return next;
}

int bank_index(char letter) {
  if (letter >= 'A' && letter <= 'J') return letter - 'A';
  if (letter >= 'a' && letter <= 'j') return letter - 'a' + 10;
  return -1;
}

char bank_letter(int bank) { return static_cast<char>(bank < 10 ? 'A' + bank : 'a' + (bank - 10)); }

std::string channel_name(ChannelRef ref) {
  std::string name(1, bank_letter(ref.bank));
  name.push_back(static_cast<char>('0' + ref.index / 10));
  name.push_back(static_cast<char>('0' + ref.index % 10));
  return name;
}

// The commands by their two letters; everything else is refused.
const Receiver::Command Receiver::kCommandTable[] = {
    {"EX", &Receiver::cmd_ex}, {"LM", &Receiver::cmd_lm}, {"LC", &Receiver::cmd_lc}, {"RX", &Receiver::cmd_rx},
    {"VA", &Receiver::cmd_va}, {"VB", &Receiver::cmd_vb}, {"RF", &Receiver::cmd_rf}, {"ST", &Receiver::cmd_st},
    {"MD", &Receiver::cmd_md}, {"AU", &Receiver::cmd_au}, {"AT", &Receiver::cmd_at}, {"NL", &Receiver::cmd_nl},
    {"VS", &Receiver::cmd_vs}, {"MA", &Receiver::cmd_ma}, {"MX", &Receiver::cmd_mx}, {"MR", &Receiver::cmd_mr},
    {"MP", &Receiver::cmd_mp}, {"MS", &Receiver::cmd_ms}, {"MW", &Receiver::cmd_mw}, {"MQ", &Receiver::cmd_mq},
    {"VR", &Receiver::cmd_vr},
};

Receiver::Receiver(const Clock& clock) : clock_(clock), time_(clock.now()) {
  bank_sizes_.fill(kPairChannels / 2);
  memory_tuning_ = vfo_;
}

// ---------------------------------------------------------------- entry points

Replies Receiver::handle_command(std::string_view line) {
  Replies out;
  run_due(out);
  remote_ = true;
  const std::string_view code = line.substr(0, 2);
  const auto row = std::find_if(std::begin(kCommandTable), std::end(kCommandTable),
                                [&](const Command& command) { return command.code == code; });
  if (row == std::end(kCommandTable)) {
    out.push_back({"?"});
  } else {
    (this->*(row->handler))(line.substr(2), out);
  }
  check_squelch(out);
  return out;
}

Replies Receiver::handle_overlong() {
  Replies out;
  run_due(out);
  remote_ = true;
  out.push_back({"?"});
  return out;
}

Replies Receiver::handle_key(unsigned char byte) {
  Replies out;
  run_due(out);
  remote_ = true;
  if (byte == kKeyUp || byte == kKeyDown) {
    const int direction = byte == kKeyUp ? 1 : -1;
    switch (activity_) {
      case Activity::search:
      case Activity::memory_scan:
        if (stopped_) {
          resume_activity(direction);
        } else {
          direction_ = direction;
        }
        break;
      case Activity::vfo_a:
      case Activity::vfo_b: {
        auto& hz = vfo_hz_[activity_ == Activity::vfo_a ? 0 : 1];
        const std::int64_t tuned_hz = hz + direction * std::int64_t{vfo_.step_hz};
        if (tuned_hz >= kLowestHz && tuned_hz <= kHighestHz) hz = tuned_hz;
        break;
      }
      case Activity::memory:
        if (const auto next = next_channel(current_channel_.bank, current_channel_.index, direction, false)) {
          current_channel_.index = *next;
          memory_tuning_ = channel(current_channel_).tuning;
        }
        break;
    }
  }
  out.push_back({""});
  check_squelch(out);
  return out;
}

Replies Receiver::advance() {
  Replies out;
  run_due(out);
  check_squelch(out);
  return out;
}

std::optional<Millis> Receiver::next_due() const {
  std::optional<Millis> due;
  auto consider = [&](Millis when) {
    if (!due || when < *due) due = when;
  };
  const bool sweeping = activity_ == Activity::search || activity_ == Activity::memory_scan;
  if (sweeping && !stopped_) consider(next_step_);
  if (sweeping && stopped_) {
    if (resume_at_) {
      consider(*resume_at_);
    } else if (!squelch_open()) {
      consider(time_);  // the signal has gone: start the resume delay
    }
  }
  if ((sweeping && stopped_) || report_mode_ == 1) {
    for (const auto& signal : signals_) {
      if (const auto change = signal.next_change_after(time_)) consider(*change);
    }
  }
  if (report_mode_ == 2) consider(next_report_);
  return due;
}

void Receiver::run_due(Replies& out) {
  const Millis now = clock_.now();
  for (int count = 0;; ++count) {
    const auto due = next_due();
    if (!due || *due > now) break;
    if (count == kMaxEventsPerAdvance) {
      // Far behind (a stalled process): skip to the present.
      next_step_ = now + timing_.search_interval;
      next_report_ = now + timing_.report_interval;
      break;
    }
    run_events_at(std::max(*due, time_), out);
  }
  time_ = std::max(time_, now);
}

void Receiver::run_events_at(Millis t, Replies& out) {
  time_ = t;
  if (activity_ == Activity::search || activity_ == Activity::memory_scan) {
    if (!stopped_) {
      if (t >= next_step_) {
        step_activity();
        next_step_ = t + (activity_ == Activity::search ? timing_.search_interval : timing_.scan_interval);
      }
    } else if (squelch_open()) {
      resume_at_.reset();
    } else {
      if (!resume_at_) resume_at_ = t + timing_.resume_delay;
      if (*resume_at_ <= t) resume_activity(direction_);
    }
  }
  if (report_mode_ == 2 && t >= next_report_) {
    out.push_back({report_line()});
    next_report_ = t + std::max(timing_.report_interval, Millis{1});
  }
  check_squelch(out);
}

void Receiver::check_squelch(Replies& out) {
  const bool open = squelch_open();
  if (report_mode_ == 1 && open != last_open_) out.push_back({report_line()});
  last_open_ = open;
}

std::string Receiver::report_line() const {
  if (squelch_open()) return "LC" + format_level(level()) + " " + where_text() + " RF" + format_frequency(tuned().hz);
  return "LC%" + format_level(level()) + " " + where_text();
}

std::string Receiver::where_text() const {
  switch (activity_) {
    case Activity::vfo_a:
      return "VA";
    case Activity::vfo_b:
      return "VB";
    case Activity::memory:
    case Activity::memory_scan:
      return "MX" + channel_name(current_channel_);
    case Activity::search:
      return "VS";
  }
  return "";
}

// ---------------------------------------------------------------- set-up

void Receiver::add_signal(const Signal& signal) { signals_.push_back(signal); }

void Receiver::remove_signals_at(std::int64_t hz) {
  std::erase_if(signals_, [hz](const Signal& signal) { return signal.hz == hz; });
}

void Receiver::clear_signals() { signals_.clear(); }

bool Receiver::write_channel(ChannelRef ref, const Channel& channel) {
  if (ref.bank < 0 || ref.bank >= kBankCount || ref.index < 0 || ref.index >= bank_size(ref.bank)) return false;
  Channel& stored = channel_at(ref);
  stored = channel;
  stored.used = true;
  stored.text = fitted_text(channel.text);
  if ((activity_ == Activity::memory || activity_ == Activity::memory_scan) && current_channel_ == ref) {
    memory_tuning_ = stored.tuning;
  }
  return true;
}

bool Receiver::resize_bank(int bank, int size) {
  if (bank < 0 || bank >= kBankCount || size < 10 || size > kMaxChannels) return false;
  const int partner = (bank + kBankCount / 2) % kBankCount;
  bank_sizes_[static_cast<std::size_t>(bank)] = size;
  bank_sizes_[static_cast<std::size_t>(partner)] = kPairChannels - size;
  for (const int b : {bank, partner}) {
    for (int i = bank_size(b); i < kMaxChannels; ++i) channel_at({b, i}) = Channel{};
  }
  drop_vanished_channel();
  return true;
}

// ---------------------------------------------------------------- looking in

Tuning Receiver::tuned() const {
  Tuning tuning = vfo_;
  switch (activity_) {
    case Activity::vfo_a:
      tuning.hz = vfo_hz_[0];
      break;
    case Activity::vfo_b:
      tuning.hz = vfo_hz_[1];
      break;
    case Activity::memory:
    case Activity::memory_scan:
      tuning = memory_tuning_;
      break;
    case Activity::search:
      tuning.hz = search_hz_;
      break;
  }
  return tuning;
}

int Receiver::level_at(const Tuning& tuning, Millis t) const {
  const std::int64_t half_bandwidth = kHalfBandwidthHz[static_cast<std::size_t>(effective_mode(tuning))];
  int level = 0;
  for (const auto& signal : signals_) {
    const std::int64_t offset = signal.hz > tuning.hz ? signal.hz - tuning.hz : tuning.hz - signal.hz;
    if (offset <= half_bandwidth && signal.active_at(t)) level = std::max(level, signal.level);
  }
  if (tuning.attenuator) level -= kAttenuatorDrop;
  return std::clamp(level, 0, 255);
}

int Receiver::level() const { return level_at(tuned(), time_); }

bool Receiver::squelch_open() const { return level() > squelch_; }

const Channel& Receiver::channel(ChannelRef ref) const {
  return banks_[static_cast<std::size_t>(ref.bank)][static_cast<std::size_t>(ref.index)];
}

Channel& Receiver::channel_at(ChannelRef ref) {
  return banks_[static_cast<std::size_t>(ref.bank)][static_cast<std::size_t>(ref.index)];
}

// ---------------------------------------------------------------- search and scan

void Receiver::end_activity() {
  if (activity_ == Activity::search) {
    activity_ = Activity::vfo_a;
    last_vfo_ = Activity::vfo_a;
  } else if (activity_ == Activity::memory_scan) {
    activity_ = Activity::memory;
  }
  stopped_ = false;
  resume_at_.reset();
}

void Receiver::start_search() {
  activity_ = Activity::search;
  search_hz_ = std::min(vfo_hz_[0], vfo_hz_[1]);
  direction_ = 1;
  stopped_ = squelch_open();
  resume_at_.reset();
  next_step_ = time_ + timing_.search_interval;
}

void Receiver::start_scan(int bank, int from_index) {
  activity_ = Activity::memory_scan;
  tune_scan_channel({bank, from_index});
  direction_ = 1;
  stopped_ = squelch_open();
  resume_at_.reset();
  next_step_ = time_ + timing_.scan_interval;
}

void Receiver::tune_scan_channel(ChannelRef ref) {
  current_channel_ = ref;
  memory_tuning_ = channel(ref).tuning;
}

void Receiver::step_activity() {
  if (activity_ == Activity::search) {
    const std::int64_t low = std::min(vfo_hz_[0], vfo_hz_[1]);
    const std::int64_t high = std::max(vfo_hz_[0], vfo_hz_[1]);
    std::int64_t hz = search_hz_ + direction_ * std::int64_t{vfo_.step_hz};
    if (hz > high) hz = direction_ > 0 ? low : high;
    if (hz < low) hz = direction_ > 0 ? low : high;
    search_hz_ = hz;
  } else if (activity_ == Activity::memory_scan) {
    if (const auto next = next_channel(current_channel_.bank, current_channel_.index, direction_, true)) {
      tune_scan_channel({current_channel_.bank, *next});
    }
  }
  if (squelch_open()) {
    stopped_ = true;
    resume_at_.reset();
  }
}

void Receiver::resume_activity(int direction) {
  direction_ = direction;
  stopped_ = false;
  resume_at_.reset();
  step_activity();
  next_step_ = time_ + (activity_ == Activity::search ? timing_.search_interval : timing_.scan_interval);
}

std::optional<int> Receiver::next_channel(int bank, int after, int direction, bool skip_passed) const {
  const int size = bank_size(bank);
  for (int k = 1; k <= size; ++k) {
    const int index = ((after + direction * k) % size + size) % size;
    const Channel& candidate = channel({bank, index});
    if (candidate.used && !(skip_passed && candidate.passed)) return index;
  }
  return std::nullopt;
}

void Receiver::drop_vanished_channel() {
  if ((activity_ == Activity::memory || activity_ == Activity::memory_scan) && !channel(current_channel_).used) {
    activity_ = last_vfo_;
    stopped_ = false;
    resume_at_.reset();
  }
}

// ---------------------------------------------------------------- replies

Tuning& Receiver::settings_target() {
  return activity_ == Activity::memory || activity_ == Activity::memory_scan ? memory_tuning_ : vfo_;
}

std::string Receiver::tuning_fields(const Tuning& tuning) const {
  std::string fields = "RF" + format_frequency(tuning.hz);
  fields += " ST" + format_step(tuning.step_hz);
  fields += " AU";
  fields += digit(tuning.auto_mode);
  fields += " MD";
  fields += static_cast<char>('0' + effective_mode(tuning));
  fields += " AT";
  fields += digit(tuning.attenuator);
  return fields;
}

std::string Receiver::channel_line(ChannelRef ref) const {
  const Channel& stored = channel(ref);
  std::string line = "MX" + channel_name(ref);
  if (!stored.used) return line + " ---";
  line += " MP";
  line += digit(stored.passed);
  return line + " " + tuning_fields(stored.tuning) + " TM" + stored.text;
}

std::string Receiver::memory_line() const {
  const Channel& stored = channel(current_channel_);
  std::string line = "MX" + channel_name(current_channel_) + " MP";
  line += digit(stored.passed);
  return line + " " + tuning_fields(memory_tuning_) + " TM" + stored.text;
}

// ---------------------------------------------------------------- commands

void Receiver::cmd_ex(std::string_view, Replies&) { remote_ = false; }

void Receiver::cmd_lm(std::string_view p, Replies& out) {
  if (!trimmed(p).empty()) {
    out.push_back({"?"});
    return;
  }
  out.push_back({std::string("LM") + (squelch_open() ? " " : "%") + format_level(level())});
}

void Receiver::cmd_lc(std::string_view p, Replies& out) {
  const std::string_view value = trimmed(p);
  if (value.size() != 1 || value[0] < '0' || value[0] > '2') {
    out.push_back({"?"});
    return;
  }
  report_mode_ = value[0] - '0';
  last_open_ = squelch_open();
  next_report_ = time_ + timing_.report_interval;
  out.push_back({""});
}

void Receiver::cmd_rx(std::string_view p, Replies& out) {
  if (!trimmed(p).empty()) {
    out.push_back({"?"});
    return;
  }
  switch (activity_) {
    case Activity::vfo_a:
      out.push_back({"VA " + tuning_fields(tuned())});
      break;
    case Activity::vfo_b:
      out.push_back({"VB " + tuning_fields(tuned())});
      break;
    case Activity::memory:
      out.push_back({"MR " + memory_line()});
      break;
    case Activity::memory_scan:
      out.push_back({"MS " + memory_line()});
      break;
    case Activity::search:
      out.push_back({"VS " + tuning_fields(tuned())});
      break;
  }
}

void Receiver::cmd_va(std::string_view p, Replies& out) { select_vfo(0, p, out); }

void Receiver::cmd_vb(std::string_view p, Replies& out) { select_vfo(1, p, out); }

void Receiver::select_vfo(int which, std::string_view p, Replies& out) {
  const std::string_view value = trimmed(p);
  std::optional<std::int64_t> hz;
  if (!value.empty()) {
    hz = parse_frequency(value);
    if (!hz) {
      out.push_back({"?"});
      return;
    }
  }
  end_activity();
  if (hz) vfo_hz_[static_cast<std::size_t>(which)] = *hz;
  activity_ = which == 0 ? Activity::vfo_a : Activity::vfo_b;
  last_vfo_ = activity_;
  out.push_back({""});
}

void Receiver::cmd_rf(std::string_view p, Replies& out) {
  const std::string_view value = trimmed(p);
  if (value.empty()) {
    out.push_back({"RF" + format_frequency(tuned().hz)});
    return;
  }
  const auto hz = parse_frequency(value);
  if (!hz) {
    out.push_back({"?"});
    return;
  }
  end_activity();
  if (activity_ != Activity::vfo_a && activity_ != Activity::vfo_b) activity_ = last_vfo_;
  vfo_hz_[activity_ == Activity::vfo_a ? 0 : 1] = *hz;
  out.push_back({""});
}

void Receiver::cmd_st(std::string_view p, Replies& out) {
  const std::string_view value = trimmed(p);
  if (value.empty()) {
    out.push_back({"ST" + format_step(tuned().step_hz)});
    return;
  }
  const auto step = parse_step(value);
  if (!step) {
    out.push_back({"?"});
    return;
  }
  end_activity();
  settings_target().step_hz = *step;
  out.push_back({""});
}

void Receiver::cmd_md(std::string_view p, Replies& out) {
  const std::string_view value = trimmed(p);
  if (value.empty()) {
    out.push_back({std::string("MD") + static_cast<char>('0' + effective_mode(tuned()))});
    return;
  }
  const auto mode = parse_mode_digit(value);
  if (!mode) {
    out.push_back({"?"});
    return;
  }
  end_activity();
  settings_target().mode = *mode;
  settings_target().auto_mode = false;
  out.push_back({""});
}

void Receiver::flag_command(std::string_view name, std::string_view p, Replies& out, bool current, bool& target) {
  const std::string_view value = trimmed(p);
  if (value.empty()) {
    out.push_back({std::string(name) + digit(current)});
    return;
  }
  const auto flag = parse_flag(value);
  if (!flag) {
    out.push_back({"?"});
    return;
  }
  end_activity();
  target = *flag;
  out.push_back({""});
}

void Receiver::cmd_au(std::string_view p, Replies& out) {
  flag_command("AU", p, out, tuned().auto_mode, settings_target().auto_mode);
}

void Receiver::cmd_at(std::string_view p, Replies& out) {
  flag_command("AT", p, out, tuned().attenuator, settings_target().attenuator);
}

void Receiver::cmd_nl(std::string_view p, Replies& out) { flag_command("NL", p, out, noise_limiter_, noise_limiter_); }

void Receiver::cmd_vs(std::string_view p, Replies& out) {
  if (!trimmed(p).empty()) {
    out.push_back({"?"});
    return;
  }
  end_activity();
  start_search();
  out.push_back({""});
}

void Receiver::cmd_ma(std::string_view p, Replies& out) {
  const std::string_view value = trimmed(p);
  if (!value.empty()) {
    const int bank = value.size() == 1 ? bank_index(value[0]) : -1;
    if (bank < 0) {
      out.push_back({"?"});
      return;
    }
    listing_ = {bank, 0};
    listing_started_ = true;
  } else if (!listing_started_) {
    listing_ = {current_channel_.bank, 0};
    listing_started_ = true;
  }
  const int size = bank_size(listing_.bank);
  if (listing_.index >= size) {
    out.push_back({"?"});
    return;
  }
  const int end = std::min(size, listing_.index + kBlockLines);
  for (int index = listing_.index; index < end; ++index) out.push_back({channel_line({listing_.bank, index})});
  listing_.index = end;
}

void Receiver::cmd_mx(std::string_view p, Replies& out) {
  std::string_view rest = p;
  while (!rest.empty() && rest.front() == ' ') rest.remove_prefix(1);
  const auto ref = parse_channel(rest.substr(0, 3), bank_sizes_);
  if (!ref) {
    out.push_back({"?"});
    return;
  }
  rest.remove_prefix(3);
  Channel written;
  written.tuning = tuned();
  // Fields in any order; the text runs to the end of the line.
  while (true) {
    while (!rest.empty() && rest.front() == ' ') rest.remove_prefix(1);
    if (rest.empty()) break;
    const std::string_view tag = rest.substr(0, 2);
    rest.remove_prefix(tag.size());
    if (tag == "TM") {
      written.text = fitted_text(rest);
      break;
    }
    const std::string_view value = rest.substr(0, rest.find(' '));
    rest.remove_prefix(value.size());
    bool valid = true;
    if (tag == "MP") {
      const auto flag = parse_flag(value);
      valid = flag.has_value();
      written.passed = flag.value_or(false);
    } else if (tag == "RF") {
      const auto hz = parse_frequency(value);
      valid = hz.has_value();
      written.tuning.hz = hz.value_or(0);
    } else if (tag == "ST") {
      const auto step = parse_step(value);
      valid = step.has_value();
      written.tuning.step_hz = step.value_or(0);
    } else if (tag == "AU") {
      const auto flag = parse_flag(value);
      valid = flag.has_value();
      written.tuning.auto_mode = flag.value_or(false);
    } else if (tag == "MD") {
      const auto mode = parse_mode_digit(value);
      valid = mode.has_value();
      written.tuning.mode = mode.value_or(0);
    } else if (tag == "AT") {
      const auto flag = parse_flag(value);
      valid = flag.has_value();
      written.tuning.attenuator = flag.value_or(false);
    } else {
      valid = false;
    }
    if (!valid) {
      out.push_back({"?"});
      return;
    }
  }
  end_activity();
  write_channel(*ref, written);
  out.push_back({""});
}

void Receiver::cmd_mr(std::string_view p, Replies& out) {
  const std::string_view value = trimmed(p);
  if (value.empty()) {
    if (!channel(current_channel_).used) {
      out.push_back({"?"});
      return;
    }
    const bool already_tuned = activity_ == Activity::memory || activity_ == Activity::memory_scan;
    end_activity();
    if (!already_tuned) memory_tuning_ = channel(current_channel_).tuning;
    activity_ = Activity::memory;
    out.push_back({"MR " + memory_line()});
    return;
  }
  const auto ref = parse_channel(value, bank_sizes_);
  if (!ref || !channel(*ref).used) {
    out.push_back({"?"});
    return;
  }
  end_activity();
  current_channel_ = *ref;
  memory_tuning_ = channel(*ref).tuning;
  activity_ = Activity::memory;
  out.push_back({""});
}

void Receiver::cmd_mp(std::string_view p, Replies& out) {
  const auto flag = parse_flag(trimmed(p));
  const bool in_memory = activity_ == Activity::memory || activity_ == Activity::memory_scan;
  if (!flag || !in_memory || !channel(current_channel_).used) {
    out.push_back({"?"});
    return;
  }
  channel_at(current_channel_).passed = *flag;
  out.push_back({""});
}

void Receiver::cmd_ms(std::string_view p, Replies& out) {
  const std::string_view value = trimmed(p);
  int bank = current_channel_.bank;
  int after = current_channel_.index;
  if (!value.empty()) {
    bank = value.size() == 1 ? bank_index(value[0]) : -1;
    after = -1;
    if (bank < 0) {
      out.push_back({"?"});
      return;
    }
  }
  const auto first = next_channel(bank, after, 1, true);
  if (!first) {
    out.push_back({"?"});
    return;
  }
  end_activity();
  start_scan(bank, *first);
  out.push_back({""});
}

void Receiver::cmd_mw(std::string_view p, Replies& out) {
  const std::string_view value = trimmed(p);
  const int bank = value.empty() ? -1 : bank_index(value[0]);
  if (bank < 0 || (value.size() != 1 && value.size() != 3)) {
    out.push_back({"?"});
    return;
  }
  if (value.size() == 1) {
    const int upper = bank % (kBankCount / 2);
    const int lower = upper + kBankCount / 2;
    out.push_back({"MW " + std::string(1, bank_letter(upper)) + ":" + std::to_string(bank_size(upper)) + " " +
                   std::string(1, bank_letter(lower)) + ":" + std::to_string(bank_size(lower))});
    return;
  }
  const char tens = value[1];
  const char units = value[2];
  const int size = (tens - '0') * 10 + (units - '0');
  if (tens < '0' || tens > '9' || units < '0' || units > '9' || size < 10 || size > kMaxChannels) {
    out.push_back({"?"});
    return;
  }
  end_activity();
  resize_bank(bank, size);
  out.push_back({"", timing_.resize_delay});
}

void Receiver::cmd_mq(std::string_view p, Replies& out) {
  const std::string_view value = trimmed(p);
  if (value.empty()) {
    const bool in_memory = activity_ == Activity::memory || activity_ == Activity::memory_scan;
    if (!in_memory) {
      out.push_back({"?"});
      return;
    }
    end_activity();
    channel_at(current_channel_) = Channel{};
    drop_vanished_channel();
    out.push_back({""});
    return;
  }
  const int bank = value.size() == 3 && value.substr(1) == "%%" ? bank_index(value[0]) : -1;
  if (bank < 0) {
    out.push_back({"?"});
    return;
  }
  end_activity();
  for (auto& stored : banks_[static_cast<std::size_t>(bank)]) stored = Channel{};
  drop_vanished_channel();
  out.push_back({""});
}

void Receiver::cmd_vr(std::string_view p, Replies& out) { out.push_back({trimmed(p).empty() ? kVersionReply : "?"}); }

}  // namespace ar8600sim
