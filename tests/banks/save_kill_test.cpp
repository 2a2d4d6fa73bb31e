// A save killed at any moment leaves the old bank or the new one, whole.

#include <grp.h>
#include <pwd.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <random>
#include <thread>
#include <tuple>
#include <utility>

#include "banks/bank_file.h"
#include "support/fakes.h"

namespace talvaro {
namespace {

using testing::Bench;

void fill(State& st, int entries, const std::string& label) {
  std::size_t cell = 0;
  for (const char* header : {"bank09", "FM", "12.5", " "}) st.bank_table[cell++] = header;
  for (int i = 0; i < entries; ++i) st.bank_table[cell++] = decimal(140 + i), st.bank_table[cell++] = label;
  st.bank_table[cell] = "9999";
}

TEST(SaveBankFaults, KillingTheProcessDuringSavesNeverLeavesAHalfBank) {
  Bench bench;
  bench.st.bank_file_name = "bank09.dat";
  // Two versions of different lengths, so a torn file is told from both.
  std::string versions[2];
  for (int v = 0; v < 2; ++v) {
    fill(bench.st, v == 0 ? 90 : 10, v == 0 ? std::string(200, 'a') : "b");
    save_bank(*bench.cx);
    versions[v] = bench.read_file("bank09.dat");
  }
  std::mt19937 random(7);
  for (int round = 0; round < 25; ++round) {
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    for (int i = 0; child == 0; ++i) {
      fill(bench.st, i % 2 == 0 ? 90 : 10, i % 2 == 0 ? std::string(200, 'a') : "b");
      save_bank(*bench.cx);
    }
    std::this_thread::sleep_for(std::chrono::microseconds(200 + random() % 5000));
    kill(child, SIGKILL);
    waitpid(child, nullptr, 0);
    const std::string now = bench.read_file("bank09.dat");
    ASSERT_TRUE(now == versions[0] || now == versions[1]) << "round " << round << ": " << now.size() << " bytes";
  }
  // A temporary file left by a killed save does not stand in the way.
  fill(bench.st, 3, "c");
  save_bank(*bench.cx);
  EXPECT_TRUE(bench.read_file("bank09.dat").ends_with("\r\n142\r\nc\r\n9999\r\n"));
}

// The unprivileged user "nobody" and its group.
std::pair<uid_t, gid_t> nobody_ids() {
  const passwd* nobody = getpwnam("nobody");
  return nobody != nullptr ? std::pair{nobody->pw_uid, nobody->pw_gid} : std::pair<uid_t, gid_t>{65534, 65534};
}

// Runs check in a child process as "nobody"; true when it held there.
bool holds_as_nobody(const std::function<bool()>& check) {
  const pid_t child = fork();
  if (child == 0) {
    const auto [uid, gid] = nobody_ids();
    if (setgroups(0, nullptr) != 0 || setgid(gid) != 0 || setuid(uid) != 0) _exit(2);
    _exit(check() ? 0 : 1);
  }
  int status = 0;
  waitpid(child, &status, 0);
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

TEST(SaveBankFaults, AnotherUsersBankFilesAreNeitherReplacedNorDeleted) {
  namespace fs = std::filesystem;
  if (geteuid() != 0) GTEST_SKIP() << "needs to run the check as another user";
  testing::Panel bench;
  fs::permissions(bench.dir, fs::perms::all);  // a folder every user may write into
  const std::string bank = testing::bank_file("bank05", "FM", "12.5", {{"145.5", " "}});
  // Owned by root: 0644 may not be written by anyone else; 0666 may, but a
  // new file could not be given root as its owner.
  for (const auto& [name, mode] : {std::pair{"bank05.dat", 0644}, {"bank06.dat", 0666}, {"bank07.dat", 0644}}) {
    bench.write_file(name, bank);
    fs::permissions(bench.dir / name, static_cast<fs::perms>(mode));
  }
  // Replaced by root, a bank of another user keeps its owner, group and mode.
  const auto [uid, gid] = nobody_ids();
  bench.write_file("bank08.dat", bank);
  ASSERT_EQ(chown((bench.dir / "bank08.dat").c_str(), uid, gid), 0);
  ASSERT_EQ(chmod((bench.dir / "bank08.dat").c_str(), 0640), 0);
  bench.type("P08\n");
  struct stat replaced {};
  ASSERT_EQ(stat((bench.dir / "bank08.dat").c_str(), &replaced), 0);
  EXPECT_EQ(bench.read_file("bank08.dat"),
            testing::bank_file("bank05", "FM", "12.5", {{"145.5", " "}, {"145.0", " "}}));
  EXPECT_EQ(std::tuple(replaced.st_uid, replaced.st_gid, replaced.st_mode & 07777), std::tuple(uid, gid, 0640u));
  bench.forget();
  EXPECT_TRUE(holds_as_nobody([&bench, &bank] {
    bench.type("P05\nP06\nD07\n");
    return bench.spoken() == "put 0 5 inv put 0 6 inv delete 0 7 ok" && bench.read_file("bank05.dat") == bank &&
           bench.read_file("bank06.dat") == bank && bench.read_file("bank07.dat") == bank &&
           !bench.exists("bank06.dat.tmp");
  }));
}

}  // namespace
}  // namespace talvaro
