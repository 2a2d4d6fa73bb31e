#include "core/text_file.h"

#include <gtest/gtest.h>

#include <vector>

#include "support/fakes.h"

namespace talvaro {
namespace {

using Lines = std::vector<std::string>;

TEST(TextFile, EveryLineEndingReadsTheSameLinesAndOverlongLinesAreCut) {
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
    EXPECT_EQ(read, lines);
    // End of file keeps answering -1 and "".
    line = "stale";
    EXPECT_EQ(read_line(file, line), -1);
    EXPECT_EQ(line, "");
    close_text_file(file);
  }
}

TEST(TextFile, WritingEndsLinesWithCrLfAndBadModesOrClosedFilesFailQuietly) {
  testing::Bench bench;
  TextFile file;
  ASSERT_EQ(open_text_file(file, "out.txt", "w"), 0);
  EXPECT_EQ(write_line(file, ""), 2);
  EXPECT_EQ(write_line(file, "x"), 3);
  EXPECT_EQ(write_line(file, "abcdef", 3), 5);
  close_text_file(file);
  EXPECT_EQ(write_line(file, "lost"), 0);
  // Append mode adds at the end; W empties even if nothing is written.
  ASSERT_EQ(open_text_file(file, "out.txt", "A"), 0);
  write_line(file, "y");
  close_text_file(file);
  EXPECT_EQ(bench.read_file("out.txt"), "\r\nx\r\nabc\r\ny\r\n");
  Text line = "kept";
  EXPECT_EQ(read_line(file, line), -1);
  EXPECT_EQ(line, "kept");
  for (const char* mode : {"R+", "", "Q"}) EXPECT_EQ(open_text_file(file, "out.txt", mode), 1) << mode;
  EXPECT_EQ(open_text_file(file, "missing.txt", "R"), 1);
  EXPECT_FALSE(file.is_open());
  close_text_file(file);
  EXPECT_EQ(open_text_file(file, "out.txt", "r"), 0);
  EXPECT_EQ(read_line(file, line), 0);
  EXPECT_EQ(line, "");
  ASSERT_EQ(open_text_file(file, "out.txt", "W"), 0);
  close_text_file(file);
  EXPECT_EQ(bench.read_file("out.txt"), "");
}

}  // namespace
}  // namespace talvaro
