#include "directives.h"

#include <algorithm>
#include <iterator>

#include "protocol.h"

namespace ar8600sim {
namespace {

struct Target {
  Receiver& receiver;
  LineSettings& settings;
  Millis now;
};

using Words = std::vector<Word>;

// Mode names as a scenario may write them.
struct ModeName {
  std::string_view name;
  int mode;
  bool auto_mode;
};
constexpr ModeName kModeNames[] = {
    {"WFM", wfm, false}, {"NFM", nfm, false}, {"FM", nfm, false},  {"AM", am, false},
    {"USB", usb, false}, {"LSB", lsb, false}, {"CW", cw, false},   {"SFM", sfm, false},
    {"WAM", wam, false}, {"NAM", nam, false}, {"AUTO", nfm, true}, {"AUT", nfm, true},
};

std::optional<ModeName> find_mode(std::string_view word) {
  if (word.size() == 1 && word[0] >= '0' && word[0] < '0' + kModeCount) return ModeName{word, word[0] - '0', false};
  std::string upper(word);
  std::transform(upper.begin(), upper.end(), upper.begin(),
                 [](char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; });
  for (const auto& row : kModeNames) {
    if (row.name == upper) return row;
  }
  return std::nullopt;
}

std::optional<std::int64_t> parse_mhz(std::string_view word) {
  const auto hz = parse_scaled(word, 6, 50);
  if (!hz || *hz < kLowestHz || *hz > kHighestHz) return std::nullopt;
  return hz;
}

std::optional<std::int64_t> parse_whole(std::string_view word, std::int64_t low, std::int64_t high) {
  if (word.find('.') != std::string_view::npos) return std::nullopt;
  const auto value = parse_scaled(word, 0, 1);
  if (!value || *value < low || *value > high) return std::nullopt;
  return value;
}

constexpr std::int64_t kLongestMillis = 24 * 3600 * 1000;

std::optional<Millis> parse_seconds(std::string_view word) {
  const auto ms = parse_scaled(word, 3, 1);
  if (!ms || *ms > kLongestMillis) return std::nullopt;
  return Millis{*ms};
}

std::optional<Millis> parse_millis(std::string_view word) {
  const auto ms = parse_whole(word, 0, kLongestMillis);
  if (!ms) return std::nullopt;
  return Millis{*ms};
}

// A rate in steps a second (decimals allowed) as the time between steps.
std::optional<Millis> parse_rate(std::string_view word) {
  const auto millirate = parse_scaled(word, 3, 1);  // thousandths of a step a second
  if (!millirate || *millirate <= 0 || *millirate > 1'000'000) return std::nullopt;
  return Millis{std::max<std::int64_t>(1, (1'000'000 + *millirate / 2) / *millirate)};
}

// "key=value" to its value, when the word has that key.
std::optional<std::string_view> option_value(const Word& word, std::string_view key) {
  const std::string_view text = word.text;
  if (word.quoted || text.size() <= key.size() || text.substr(0, key.size()) != key || text[key.size()] != '=') {
    return std::nullopt;
  }
  return text.substr(key.size() + 1);
}

std::string do_signal(const Words& words, Target& target) {
  Words args(words.begin() + 1, words.end());
  if (!args.empty() && args[0].text == "clear" && args.size() == 1) {
    target.receiver.clear_signals();
    return "";
  }
  if (!args.empty() && args[0].text == "remove") {
    const auto hz = args.size() == 2 ? parse_mhz(args[1].text) : std::nullopt;
    if (!hz) return "signal remove takes one frequency in MHz";
    target.receiver.remove_signals_at(*hz);
    return "";
  }
  if (!args.empty() && args[0].text == "add") args.erase(args.begin());
  if (args.size() < 2) return "signal needs a frequency in MHz and a level";
  Signal signal;
  const auto hz = parse_mhz(args[0].text);
  const auto level = parse_whole(args[1].text, 0, 255);
  if (!hz) return "bad frequency '" + args[0].text + "' (MHz, 0.1 to 2040)";
  if (!level) return "bad level '" + args[1].text + "' (0 to 255)";
  signal.hz = *hz;
  signal.level = static_cast<int>(*level);
  for (auto word = args.begin() + 2; word != args.end(); ++word) {
    std::optional<Millis>* slot = nullptr;
    Millis* period = nullptr;
    std::optional<std::string_view> value;
    if ((value = option_value(*word, "start"))) {
      slot = &signal.start;
    } else if ((value = option_value(*word, "stop"))) {
      slot = &signal.stop;
    } else if ((value = option_value(*word, "on"))) {
      period = &signal.on;
    } else if ((value = option_value(*word, "off"))) {
      period = &signal.off;
    } else {
      return "unknown signal option '" + word->text + "' (start=, stop=, on=, off=)";
    }
    const auto seconds = parse_seconds(*value);
    if (!seconds) return "bad time '" + word->text + "' (seconds)";
    if (slot) *slot = *seconds;
    if (period) *period = *seconds;
  }
  if ((signal.on > Millis{0}) != (signal.off > Millis{0})) return "on= and off= go together";
  target.receiver.add_signal(signal);
  return "";
}

std::string do_memory(const Words& words, Target& target) {
  if (words.size() < 3) return "memory needs a channel (like A05) and a frequency in MHz";
  const std::string& name = words[1].text;
  const int bank = name.size() == 3 ? bank_index(name[0]) : -1;
  const auto index = name.size() == 3 ? parse_whole(name.substr(1), 0, kMaxChannels - 1) : std::nullopt;
  if (bank < 0 || !index) return "bad channel '" + name + "' (bank A-J or a-j and two digits)";
  const auto hz = parse_mhz(words[2].text);
  if (!hz) return "bad frequency '" + words[2].text + "' (MHz, 0.1 to 2040)";
  Channel channel;
  channel.tuning.hz = *hz;
  bool have_text = false;
  for (auto word = words.begin() + 3; word != words.end(); ++word) {
    const auto mode = word->quoted ? std::nullopt : find_mode(word->text);
    if (mode) {
      channel.tuning.mode = mode->mode;
      channel.tuning.auto_mode = mode->auto_mode;
    } else if (const auto step = option_value(*word, "step")) {
      const auto hz_step = parse_scaled(*step, 3, 1);
      if (!hz_step || *hz_step < 1 || *hz_step > 999'999) return "bad step '" + word->text + "' (kHz)";
      channel.tuning.step_hz = static_cast<std::int32_t>(*hz_step);
    } else if (!word->quoted && word->text == "att") {
      channel.tuning.attenuator = true;
    } else if (!word->quoted && word->text == "pass") {
      channel.passed = true;
    } else if (!have_text) {
      channel.text = word->text;
      have_text = true;
    } else {
      return "unexpected '" + word->text + "' (put the text in double quotes)";
    }
  }
  if (!target.receiver.write_channel({bank, static_cast<int>(*index)}, channel)) {
    return "bank " + std::string(1, name[0]) + " has no channel " + name.substr(1);
  }
  return "";
}

std::string do_bank_size(const Words& words, Target& target) {
  const int bank = words.size() == 3 && words[1].text.size() == 1 ? bank_index(words[1].text[0]) : -1;
  const auto size = words.size() == 3 ? parse_whole(words[2].text, 10, kMaxChannels) : std::nullopt;
  if (bank < 0 || !size) return "bank-size takes a bank letter and 10 to 90 channels";
  target.receiver.resize_bank(bank, static_cast<int>(*size));
  return "";
}

std::string do_vfo(const Words& words, Target& target) {
  const auto hz = words.size() == 2 ? parse_mhz(words[1].text) : std::nullopt;
  if (!hz) return words[0].text + " takes one frequency in MHz";
  target.receiver.set_vfo(words[0].text == "vfo-a" ? 0 : 1, *hz);
  return "";
}

std::string do_step(const Words& words, Target& target) {
  const auto hz = words.size() == 2 ? parse_scaled(words[1].text, 3, 1) : std::nullopt;
  if (!hz || *hz < 1 || *hz > 999'999) return "step takes one step in kHz";
  target.receiver.vfo_settings().step_hz = static_cast<std::int32_t>(*hz);
  return "";
}

std::string do_mode(const Words& words, Target& target) {
  const auto mode = words.size() == 2 ? find_mode(words[1].text) : std::nullopt;
  if (!mode) return "mode takes one of WFM NFM AM USB LSB CW SFM WAM NAM AUTO (or 0-8)";
  target.receiver.vfo_settings().mode = mode->mode;
  target.receiver.vfo_settings().auto_mode = mode->auto_mode;
  return "";
}

std::string do_squelch(const Words& words, Target& target) {
  const auto level = words.size() == 2 ? parse_whole(words[1].text, 0, 255) : std::nullopt;
  if (!level) return "squelch takes one level, 0 to 255";
  target.receiver.set_squelch(static_cast<int>(*level));
  return "";
}

std::string do_rate(const Words& words, Target& target) {
  const auto interval = words.size() == 2 ? parse_rate(words[1].text) : std::nullopt;
  if (!interval) return words[0].text + " takes the steps per second (above 0, at most 1000)";
  (words[0].text == "search-rate" ? target.receiver.timing().search_interval : target.receiver.timing().scan_interval) =
      *interval;
  return "";
}

std::string do_delay(const Words& words, Target& target) {
  const auto delay = words.size() == 2 ? parse_seconds(words[1].text) : std::nullopt;
  if (!delay) return words[0].text + " takes one time in seconds";
  Timing& timing = target.receiver.timing();
  if (words[0].text == "resume-delay") {
    timing.resume_delay = *delay;
  } else if (words[0].text == "resize-delay") {
    timing.resize_delay = *delay;
  } else {
    timing.report_interval = std::max(*delay, Millis{1});
  }
  return "";
}

std::string do_baud(const Words& words, Target& target) {
  const auto baud = words.size() == 2 ? parse_whole(words[1].text, 0, 4'000'000) : std::nullopt;
  if (!baud || (*baud > 0 && *baud < 50)) return "baud takes a rate from 50 up, or 0 for no pacing";
  target.settings.baud = static_cast<long>(*baud);
  return "";
}

std::string do_latency(const Words& words, Target& target) {
  const auto latency = words.size() == 2 ? parse_millis(words[1].text) : std::nullopt;
  if (!latency) return "latency takes milliseconds";
  target.settings.latency = *latency;
  return "";
}

std::string do_seed(const Words& words, Target& target) {
  const auto seed = words.size() == 2 ? parse_whole(words[1].text, 0, 0xFFFF'FFFF) : std::nullopt;
  if (!seed) return "seed takes a whole number";
  target.settings.seed = static_cast<std::uint32_t>(*seed);
  return "";
}

std::string do_fault(const Words& words, Target& target) {
  Faults& faults = target.settings.faults;
  const std::string kind = words.size() >= 2 ? words[1].text : "";
  const std::optional<std::string> argument =
      words.size() >= 3 ? std::optional<std::string>(words[2].text) : std::nullopt;
  if (words.size() > 3) return "fault takes a kind and at most one number";
  std::optional<Millis> ms;
  if (argument) {
    ms = parse_millis(*argument);
    if (!ms) return "bad milliseconds '" + *argument + "'";
  }
  if (kind == "none" && !argument) {
    faults = Faults{};
  } else if (kind == "silence" && !argument) {
    faults.silence = true;
  } else if (kind == "late" && ms) {
    faults.late = *ms;
  } else if (kind == "bytewise") {
    faults.bytewise = true;
    if (ms) faults.byte_gap = *ms;
  } else if (kind == "garbage" && !argument) {
    faults.garbage = true;
  } else if (kind == "hangup") {
    faults.hangup_at = target.now + ms.value_or(Millis{0});
  } else {
    return "fault takes none, silence, late MS, bytewise [MS], garbage or hangup [MS]";
  }
  return "";
}

struct Directive {
  std::string_view name;
  std::string (*carry_out)(const Words& words, Target& target);
};

// The directives by their first word.
constexpr Directive kDirectiveTable[] = {
    {"signal", do_signal},
    {"memory", do_memory},
    {"bank-size", do_bank_size},
    {"vfo-a", do_vfo},
    {"vfo-b", do_vfo},
    {"step", do_step},
    {"mode", do_mode},
    {"squelch", do_squelch},
    {"search-rate", do_rate},
    {"scan-rate", do_rate},
    {"resume-delay", do_delay},
    {"resize-delay", do_delay},
    {"report-interval", do_delay},
    {"baud", do_baud},
    {"latency", do_latency},
    {"seed", do_seed},
    {"fault", do_fault},
};

}  // namespace

const char* const kDirectiveHelp = R"(  signal MHZ LEVEL [start=S] [stop=S] [on=S off=S]
                        a carrier heard within the mode's bandwidth of MHZ
                        (NFM +-6 kHz, AM +-4.5, WFM +-100, USB/LSB +-1.5, CW
                        +-0.5); LEVEL is the raw level (49 is about S9). It is
                        there from start to stop (seconds since the simulator
                        started); with on= and off= it is keyed on and off.
  signal add ...        the same
  signal remove MHZ     removes the signals on MHZ
  signal clear          removes every signal
  memory BNN MHZ [MODE] ["TEXT"] [step=KHZ] [att] [pass]
                        writes channel NN of bank B (A-J, a-j); MODE is one of
                        WFM NFM AM USB LSB CW SFM WAM NAM AUTO (default NFM),
                        the step defaults to 12.5 kHz, TEXT is cut to 12
  bank-size B N         bank B gets N channels (10-90), its partner the rest
  vfo-a MHZ, vfo-b MHZ  the VFO frequencies (default 145 and 146)
  step KHZ, mode MODE   the VFO step and mode (default 12.5, NFM)
  squelch N             the squelch threshold: heard when level > N (default 10)
  search-rate N         search steps per second (default 20)
  scan-rate N           memory scan channels per second (default 20)
  resume-delay S        seconds from the end of a signal to the resume of a
                        stopped search or scan, 0 = at once (default 2)
  resize-delay S        seconds before a bank resize is answered (default 1)
  report-interval S     seconds between continuous level reports (default 0.25)
  baud N                pace the output at N baud, 11 bit times a byte, and
                        answer only a line set to N baud (0 = off)
  latency MS            milliseconds before each reply (default 10)
  seed N                seed of the garbage fault's random bytes
  fault KIND            none (clears all), silence, late MS, bytewise [MS gap,
                        default 2], garbage, hangup [after MS]
)";

std::optional<std::vector<Word>> split_words(std::string_view line) {
  std::vector<Word> words;
  std::size_t i = 0;
  while (i < line.size()) {
    const char c = line[i];
    if (c == ' ' || c == '\t' || c == '\r' || c == '\n') {
      ++i;
    } else if (c == '#') {
      break;
    } else if (c == '"') {
      const std::size_t close = line.find('"', i + 1);
      if (close == std::string_view::npos) return std::nullopt;
      words.push_back({std::string(line.substr(i + 1, close - i - 1)), true});
      i = close + 1;
    } else {
      const std::size_t end = line.find_first_of(" \t\r\n#\"", i);
      const std::size_t stop = end == std::string_view::npos ? line.size() : end;
      words.push_back({std::string(line.substr(i, stop - i)), false});
      i = stop;
    }
  }
  return words;
}

std::string apply_directive(std::string_view line, Receiver& receiver, LineSettings& settings, Millis now) {
  const auto words = split_words(line);
  if (!words) return "unclosed quote";
  if (words->empty()) return "";
  const auto row = std::find_if(std::begin(kDirectiveTable), std::end(kDirectiveTable),
                                [&](const Directive& directive) { return directive.name == (*words)[0].text; });
  if (row == std::end(kDirectiveTable) || (*words)[0].quoted) return "unknown directive '" + (*words)[0].text + "'";
  Target target{receiver, settings, now};
  return row->carry_out(*words, target);
}

std::vector<std::string> apply_scenario(std::string_view text, Receiver& receiver, LineSettings& settings) {
  std::vector<std::string> problems;
  if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
  int number = 0;
  while (!text.empty()) {
    ++number;
    const std::size_t end = text.find('\n');
    const std::string_view line = text.substr(0, end);
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    const std::string problem = apply_directive(line, receiver, settings, Millis{0});
    if (!problem.empty()) problems.push_back("line " + std::to_string(number) + ": " + problem);
  }
  return problems;
}

}  // namespace ar8600sim
