#include "setup/settings.h"

#include <filesystem>
#include <system_error>

#include "core/files.h"
#include "core/text.h"
#include "core/text_file.h"

namespace talvaro::setup {

namespace {

// The panel's positions (1-based): the port from character 5 of line 1, the
// baud rate from character 7 of line 2, voice and debug at character 7 of
// lines 4 and 5.
constexpr int port_at = 5;
constexpr int baud_at = 7;
constexpr int switch_at = 7;

int switch_value(const Text& line) { return round_to_int(numeric_value(mid(line, switch_at, 1))); }

}  // namespace

std::optional<Settings> read_settings(const std::string& path) {
  TextFile file;
  if (open_text_file(file, path, "R") != 0) return std::nullopt;
  Text line;  // missing lines read as ""
  Settings settings;
  read_line(file, line);
  settings.port_text = mid(line, port_at);
  read_line(file, line);
  settings.baud_text = mid(line, baud_at);
  read_line(file, line);  // the model
  read_line(file, line);
  // As the panel takes them: any voice value but 0 speaks, only 1 logs.
  settings.voice = switch_value(line) != 0;
  read_line(file, line);
  settings.debug = switch_value(line) == 1;
  close_text_file(file);
  return settings;
}

std::string settings_bytes(const Settings& settings) {
  return cat("PRT=", settings.port_text, "\r\nBAUDR=", settings.baud_text,
             "\r\nMODEL=AR8600\r\nVOICE=", settings.voice ? "1" : "0", "\r\nDEBUG=", settings.debug ? "1" : "0",
             "\r\n");
}

std::string port_text(int number) { return cat("COM", decimal(number)); }

SaveResult save_settings(PortFinder& finder, const std::string& path, const Settings& settings,
                         const NumberedPort* link) {
  // A file that cannot be replaced is found out before any link is made.
  std::error_code error;
  const bool exists = std::filesystem::symlink_status(path, error).type() != std::filesystem::file_type::not_found;
  if (exists && !files::may_write(path)) return SaveResult::cannot_write;
  if (link != nullptr && link->needs_link && !finder.link_port(link->port.number, link->port.device)) {
    return SaveResult::cannot_link;
  }
  const std::string temp = cat(path, ".tmp");
  return files::replace_file(path, temp, settings_bytes(settings)) ? SaveResult::saved : SaveResult::cannot_write;
}

}  // namespace talvaro::setup
