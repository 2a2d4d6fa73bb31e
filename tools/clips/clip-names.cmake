cmake_minimum_required(VERSION 3.20)
# Writes the C++ header of clip names from the clip table:
#   cmake -DTABLE=clips.tsv -DOUT=clip_names.h -P clip-names.cmake
# One constant per clip (clip::inv; a name that is not an identifier gets a
# prefix, clip::digit_0, or a keyword a trailing underscore, clip::auto_), the
# digits by value, and a lookup by name for the names the panel computes.
file(STRINGS ${TABLE} rows)
set(keywords auto bool break case char class const default delete do double else enum extern float for goto
             if int long new not or private public return short signed static switch this true false try union
             unsigned using void while and xor)
set(made "")
set(constants "")
set(names "")
set(count 0)
foreach(row IN LISTS rows)
  if(row MATCHES "^#" OR row STREQUAL "")
    continue()
  endif()
  string(REGEX MATCH "^[^\t]*" name "${row}")
  if(NOT name MATCHES "^[a-z0-9]+$")
    message(FATAL_ERROR "${TABLE}: clip name \"${name}\" is not lower-case letters and digits")
  endif()
  if(name IN_LIST names)
    message(FATAL_ERROR "${TABLE}: clip \"${name}\" appears twice")
  endif()
  set(id ${name})
  if(id MATCHES "^[0-9]")
    set(id digit_${id})
  elseif(id IN_LIST keywords)
    set(id ${id}_)
  endif()
  list(APPEND names ${name})
  string(APPEND made "      ClipName(\"${name}\"),\n")
  string(APPEND constants "inline constexpr ClipName ${id} = ClipTable::all[${count}];\n")
  math(EXPR count "${count} + 1")
endforeach()

set(text "#pragma once
// Generated from the clip table (tools/clips/clips.tsv); do not edit.

#include <array>
#include <optional>
#include <string_view>

namespace talvaro {

// The name of a clip of the clip table (its file name without \".wav\"). Only
// the table below makes one, so a clip the table lacks cannot be named.
class ClipName {
 public:
  constexpr std::string_view text() const { return text_; }
  constexpr bool operator==(const ClipName&) const = default;

 private:
  friend struct ClipTable;
  constexpr explicit ClipName(std::string_view text) : text_(text) {}
  std::string_view text_;
};

struct ClipTable {
  static constexpr std::array<ClipName, ${count}> all = {
${made}  };

  static constexpr std::optional<ClipName> named(std::string_view text) {
    const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
    for (const ClipName& name : all) {
      const std::string_view known = name.text();
      bool same = known.size() == text.size();
      for (std::size_t i = 0; same && i < known.size(); ++i) same = lower(text[i]) == known[i];
      if (same) return name;
    }
    return std::nullopt;
  }
};

namespace clip {

${constants}
// Every clip's file name, in table order.
inline constexpr auto inventory = [] {
  std::array<std::string_view, ClipTable::all.size()> all_texts{};
  for (std::size_t at_ = 0; at_ < all_texts.size(); ++at_) all_texts[at_] = ClipTable::all[at_].text();
  return all_texts;
}();
// The decimal digits by value.
inline constexpr std::array<ClipName, 10> digits = {digit_0, digit_1, digit_2, digit_3, digit_4,
                                                    digit_5, digit_6, digit_7, digit_8, digit_9};

// The clip named by a computed text (a typed character, a mode text), compared
// without regard to letter case as the clip files are found; none when the
// table holds no such clip.
constexpr std::optional<ClipName> named(std::string_view name_text) { return ClipTable::named(name_text); }

}  // namespace clip

}  // namespace talvaro
")
# Rewritten only when it changes, so an edit of a spoken word rebuilds nothing.
file(CONFIGURE OUTPUT ${OUT} CONTENT "${text}" @ONLY)
