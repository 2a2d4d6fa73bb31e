#include "voice/voice.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <optional>
#include <system_error>
#include <vector>

#include "core/context.h"
#include "voice/wav.h"

namespace talvaro {

namespace fs = std::filesystem;

namespace {

// A clip file larger than this is not a clip: it is refused unread.
constexpr std::uintmax_t largest_clip_bytes = 32U * 1024U * 1024U;

bool same_without_case(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
         });
}

// The entry of folder named like name: the exact name when it exists, else
// the first (in name order) whose name differs only in letter case.
std::optional<fs::path> find_without_case(const fs::path& folder, const std::string& name) {
  std::error_code error;
  const fs::path exact = folder / name;
  if (fs::exists(exact, error)) return exact;
  std::optional<std::string> best;
  fs::directory_iterator it(folder.empty() ? fs::path(".") : folder, error);
  for (const fs::directory_iterator end; !error && it != end; it.increment(error)) {
    std::string candidate = it->path().filename().string();
    if (same_without_case(candidate, name) && (!best || candidate < *best)) best = std::move(candidate);
  }
  if (!best) return std::nullopt;
  return folder / *best;
}

// Reads and decodes a clip file; nullptr when it is not a regular, readable,
// well-formed WAV file.
std::shared_ptr<const Sound> load_clip(const fs::path& path) {
  std::error_code error;
  if (!fs::is_regular_file(path, error)) return nullptr;
  const std::uintmax_t size = fs::file_size(path, error);
  if (error || size > largest_clip_bytes) return nullptr;
  std::ifstream in(path, std::ios::binary);
  if (!in) return nullptr;
  std::vector<std::uint8_t> bytes(static_cast<std::size_t>(size));
  in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  bytes.resize(static_cast<std::size_t>(in.gcount()));  // the file may have shrunk meanwhile
  auto sound = parse_wav(bytes);
  if (!sound) return nullptr;
  sound->path = path.string();
  return std::make_shared<const Sound>(std::move(*sound));
}

// Splits a clip path at its separators: backslash (as the panel writes its
// folder prefix) and slash. Empty and "." parts are dropped.
std::vector<std::string> split_path(std::string_view path) {
  std::vector<std::string> parts;
  std::string part;
  for (const char c : path) {
    if (c == '\\' || c == '/') {
      if (!part.empty() && part != ".") parts.push_back(part);
      part.clear();
    } else {
      part.push_back(c);
    }
  }
  if (!part.empty() && part != ".") parts.push_back(part);
  return parts;
}

bool has_extension(std::string_view name) { return fs::path(name).has_extension(); }

// Looks for the clip under one base folder: the folder parts, each matched
// without regard to case, then the file itself, then the file with ".wav".
std::shared_ptr<const Sound> find_under(const fs::path& base, const std::vector<std::string>& folders,
                                        const std::string& file) {
  fs::path folder = base;
  for (const auto& part : folders) {
    if (part == "..") {
      folder /= part;
      continue;
    }
    auto found = find_without_case(folder, part);
    if (!found) return nullptr;
    folder = *found;
  }
  std::vector<std::string> names{file};
  if (!has_extension(file)) names.push_back(file + ".wav");
  for (const auto& name : names) {
    if (auto path = find_without_case(folder, name)) {
      if (auto sound = load_clip(*path)) return sound;
    }
  }
  return nullptr;
}

// The decoded clip for a joined folder + name, or nullptr when no playable
// file exists. Looks under the working folder first, then the program's own
// folder, then the installed data folder share/talvaro beside the program's
// folder (bin/../share/talvaro, so a relocated install finds its clips too).
std::shared_ptr<const Sound> find_clip(const Context& cx, std::string_view joined) {
  std::vector<std::string> parts = split_path(joined);
  if (parts.empty()) return nullptr;
  const std::string file = parts.back();
  parts.pop_back();
  if (auto sound = find_under(fs::path(), parts, file)) return sound;
  if (cx.io.program_dir.empty()) return nullptr;
  const fs::path program_dir(cx.io.program_dir);
  if (auto sound = find_under(program_dir, parts, file)) return sound;
  return find_under(program_dir / ".." / "share" / "talvaro", parts, file);
}

}  // namespace

void play_clip(Context& cx, std::string_view folder, ClipName name, bool wait) {
  const std::string joined = cat(folder, name.text());
  cx.io.audio.stop();
  // Lookups are remembered, found or not: the clip set does not change while
  // the panel runs, and a clip costs no disk access after its first use.
  auto cached = cx.clips.sounds.find(joined);
  if (cached == cx.clips.sounds.end()) {
    cached = cx.clips.sounds.emplace(joined, find_clip(cx, joined)).first;
  }
  if (cached->second) cx.io.audio.play(cached->second, wait);
}

void say(Context& cx, ClipName name) { play_clip(cx, cx.st.wave_path, name, true); }

void say(Context& cx, std::optional<ClipName> name) {
  if (name) {
    say(cx, *name);
  } else {
    cx.io.audio.stop();
  }
}

void short_pause(Context& cx) { play_clip(cx, cx.st.pause_wave_path, clip::shdel, true); }

void speak_frequency(Context& cx) {
  if (cx.st.search_state == SearchState::searching) say(cx, clip::srching);
  Text& text = cx.st.argument_text;
  for (std::size_t i = 1; i <= text.size(); ++i) {
    std::string normal = text.str();
    if (normal.find('.') != std::string::npos) {
      while (!normal.empty() && normal.back() == '0') normal.pop_back();
    }
    if (!normal.empty() && normal.back() == '.') normal.push_back('0');
    text = normal;
    if (i > text.size()) break;
    const char c = text[i - 1];
    say(cx, c == '.' ? clip::point : clip::named(std::string_view(&c, 1)));
  }
}

namespace {

struct ModeClip {
  std::string_view mode;
  ClipName name;
};

constexpr std::array<ModeClip, 9> mode_clips = {{
    {"WFM", clip::wfm},
    {"FM", clip::fm},
    {"AM", clip::am},
    {"USB", clip::usb},
    {"LSB", clip::lsb},
    {"CW ", clip::cw},
    {"AUT", clip::auto_},
    {"ATT ON", clip::atton},
    {"ATT OFF", clip::attoff},
}};

}  // namespace

void speak_mode(Context& cx) {
  cx.st.argument_text = cx.st.mode_text;
  for (const auto& row : mode_clips) {
    if (cx.st.argument_text == row.mode) say(cx, row.name);
  }
}

void speak_signal_report(Context& cx) {
  say(cx, clip::s);
  const int level = std::clamp(cx.st.signal_level, 0, 9);
  say(cx, clip::digits[static_cast<std::size_t>(level)]);
  if (cx.st.signal_level > 9) say(cx, clip::plus);
}

void speak_count(Context& cx, int count) {
  const int spoken = std::clamp(count, 0, 99);
  if (spoken > 9) say(cx, clip::digits[static_cast<std::size_t>(spoken / 10)]);
  say(cx, clip::digits[static_cast<std::size_t>(spoken % 10)]);
}

}  // namespace talvaro
