#include "core/text_file.h"

#include <gtest/gtest.h>

#include <tuple>
#include <vector>

#include "support/fakes.h"

namespace talvaro {
namespace {

using Lines = std::vector<std::string>;

TEST(TextFile, ReadsEveryLineEndingWritesCrLfAndBadModesOrClosedFilesFailQuietly) {
  testing::Bench bench;
  const Lines bank07{"bank07", "FM", "", "145.5"};
  for (const auto& [bytes, lines] : std::vector<std::pair<std::string, Lines>>{
           {"bank07\r\nFM\r\n\r\n145.5\r\n", bank07},
           {"bank07\nFM\n\n145.5\n", bank07},
           {"bank07\rFM\r\r145.5", bank07},  // the last line needs no end
           {"a\n\rb", {"a", "", "b"}},       // LF then CR is two terminators
           {"", {}},
           {"\r\n", {""}},
           {std::string("a\0b\xff\n", 5), {std::string("a\0b\xff", 4)}},  // bytes kept as they are
           {std::string(10000, 'x') + "\r\nnext\r\n", {std::string(254, 'x'), "next"}},
       }) {
    bench.write_file("fixture.txt", bytes);
    TextFile file;
    ASSERT_EQ(open_text_file(file, "fixture.txt", "R"), 0);
    Lines read;
    Text line;
    while (read.size() < 100 && read_line(file, line) == 0) read.push_back(line.str());
    line = "stale";  // end of file keeps answering -1 and ""
    EXPECT_EQ((std::tuple{read, read_line(file, line), line.str()}), std::tuple(lines, -1, ""));
    close_text_file(file);
  }
  TextFile file;
  ASSERT_EQ(open_text_file(file, "out.txt", "w"), 0);
  EXPECT_EQ((std::vector{write_line(file, ""), write_line(file, "x"), write_line(file, "abcdef", 3)}),
            (std::vector{2, 3, 5}));
  close_text_file(file);
  // Append mode adds at the end; a closed file neither writes nor reads.
  EXPECT_EQ(write_line(file, "lost"), 0);
  ASSERT_EQ(open_text_file(file, "out.txt", "A"), 0);
  write_line(file, "y");
  close_text_file(file);
  Text line = "kept";
  EXPECT_EQ((std::tuple{bench.read_file("out.txt"), read_line(file, line), line.str()}),
            std::tuple("\r\nx\r\nabc\r\ny\r\n", -1, "kept"));
  for (const char* mode : {"R+", "", "Q"}) EXPECT_EQ(open_text_file(file, "out.txt", mode), 1) << mode;
  EXPECT_EQ(std::tuple(open_text_file(file, "missing.txt", "R"), file.is_open()), std::tuple(1, false));
  EXPECT_EQ((std::tuple{open_text_file(file, "out.txt", "r"), read_line(file, line), line.str()}),
            std::tuple(0, 0, ""));
  // W empties even if nothing is written.
  ASSERT_EQ(open_text_file(file, "out.txt", "W"), 0);
  close_text_file(file);
  EXPECT_EQ(bench.read_file("out.txt"), "");
}

}  // namespace
}  // namespace talvaro
