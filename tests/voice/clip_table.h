#pragma once
// Reads the clip generator's table (tools/clips/clips.tsv): one row per clip,
// name, kind and value separated by tabs; "#" lines and blank lines skipped.

#include <fstream>
#include <string>
#include <vector>

namespace talvaro::testing {

struct ClipRow {
  std::string name;
  std::string kind;  // "say", "silence" or "tone"
  std::string value;
};

inline std::vector<ClipRow> read_clip_table(const std::string& path) {
  std::vector<ClipRow> rows;
  std::ifstream in(path);
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty() || line[0] == '#') continue;
    std::vector<std::string> fields(1);
    for (const char c : line) {
      if (c == '\t') {
        if (!fields.back().empty()) fields.emplace_back();
      } else {
        fields.back().push_back(c);
      }
    }
    rows.push_back({fields[0], fields.size() > 1 ? fields[1] : "", fields.size() > 2 ? fields[2] : ""});
  }
  return rows;
}

}  // namespace talvaro::testing
