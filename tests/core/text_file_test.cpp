#include "core/text_file.h"

#include <gtest/gtest.h>

#include <vector>

#include "support/fakes.h"

namespace talvaro {
namespace {

using testing::Bench;

// Reads every line of a fixture: the lines and what each read returned.
std::vector<std::string> read_all(Bench& bench, const std::string& bytes) {
  bench.write_file("fixture.txt", bytes);
  TextFile file;
  EXPECT_EQ(open_text_file(file, "fixture.txt", "R"), 0);
  std::vector<std::string> lines;
  Text line;
  for (int i = 0; i < 100; ++i) {
    if (read_line(file, line) != 0) {
      EXPECT_EQ(line, "");
      break;
    }
    lines.push_back(line.str());
  }
  // End of file keeps answering -1 and "".
  line = "stale";
  EXPECT_EQ(read_line(file, line), -1);
  EXPECT_EQ(line, "");
  close_text_file(file);
  return lines;
}

TEST(TextFile, EveryLineEndingReadsTheSameLines) {
  Bench bench;
  const std::vector<std::string> expected{"bank07", "FM", "", "145.5"};
  EXPECT_EQ(read_all(bench, "bank07\r\nFM\r\n\r\n145.5\r\n"), expected);
  EXPECT_EQ(read_all(bench, "bank07\nFM\n\n145.5\n"), expected);
  EXPECT_EQ(read_all(bench, "bank07\rFM\r\r145.5"), expected);  // the last line needs no end
  // LF followed by CR is two terminators.
  EXPECT_EQ(read_all(bench, "a\n\rb"), (std::vector<std::string>{"a", "", "b"}));
  EXPECT_EQ(read_all(bench, ""), std::vector<std::string>{});
  EXPECT_EQ(read_all(bench, "\r\n"), std::vector<std::string>{""});
  // Bytes are kept as they are, NUL and high bytes included.
  EXPECT_EQ(read_all(bench, std::string("a\0b\xff\n", 5)), std::vector<std::string>{std::string("a\0b\xff", 4)});
}

TEST(TextFile, OverlongLineKeepsItsFirst254CharactersAndConsumesTheRest) {
  Bench bench;
  const auto lines = read_all(bench, std::string(10000, 'x') + "\r\nnext\r\n");
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0], std::string(254, 'x'));
  EXPECT_EQ(lines[1], "next");
}

TEST(TextFile, WritingEndsEachLineWithCrLf) {
  Bench bench;
  TextFile file;
  ASSERT_EQ(open_text_file(file, "out.txt", "w"), 0);
  EXPECT_EQ(write_line(file, ""), 2);
  EXPECT_EQ(write_line(file, "x"), 3);
  EXPECT_EQ(write_line(file, "abcdef", 3), 5);
  close_text_file(file);
  EXPECT_EQ(bench.read_file("out.txt"), "\r\nx\r\nabc\r\n");
  // Writing to a closed variable writes nothing.
  EXPECT_EQ(write_line(file, "lost"), 0);
  // Append mode adds at the end; W empties even if nothing is written.
  ASSERT_EQ(open_text_file(file, "out.txt", "A"), 0);
  write_line(file, "y");
  close_text_file(file);
  EXPECT_EQ(bench.read_file("out.txt"), "\r\nx\r\nabc\r\ny\r\n");
  ASSERT_EQ(open_text_file(file, "out.txt", "W"), 0);
  close_text_file(file);
  EXPECT_EQ(bench.read_file("out.txt"), "");
}

TEST(TextFile, BadModesMissingFilesAndClosedVariablesFailQuietly) {
  Bench bench;
  bench.write_file("there.txt", "line\r\n");
  TextFile file;
  EXPECT_EQ(open_text_file(file, "missing.txt", "R"), 1);
  EXPECT_FALSE(file.is_open());
  EXPECT_EQ(open_text_file(file, "there.txt", "R+"), 1);
  EXPECT_EQ(open_text_file(file, "there.txt", ""), 1);
  EXPECT_FALSE(file.is_open());
  Text line = "kept";
  EXPECT_EQ(read_line(file, line), -1);
  EXPECT_EQ(line, "kept");
  close_text_file(file);
  close_text_file(file);
  EXPECT_EQ(open_text_file(file, "there.txt", "r"), 0);
  EXPECT_EQ(read_line(file, line), 0);
  EXPECT_EQ(line, "line");
}

}  // namespace
}  // namespace talvaro
