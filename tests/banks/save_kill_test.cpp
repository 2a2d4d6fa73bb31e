// A save killed at any moment leaves the old bank or the new one, whole.

#include <grp.h>
#include <pwd.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <thread>
#include <tuple>

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

TEST(SaveBankFaults, AnotherUsersBankFilesAreNeitherReplacedNorDeleted) {
  namespace fs = std::filesystem;
  if (geteuid() != 0) GTEST_SKIP() << "needs to run the check as another user";
  const passwd* nobody = getpwnam("nobody");
  const uid_t uid = nobody != nullptr ? nobody->pw_uid : 65534;
  const gid_t gid = nobody != nullptr ? nobody->pw_gid : 65534;
  testing::Panel bench;
  fs::permissions(bench.dir, fs::perms::all);  // a folder every user may write into
  const std::string bank = testing::bank_file("bank05", "FM", "12.5", {{"145.5", " "}});
  // Root's 0644 and 0666 (a new file could not be root's) stay; root keeps nobody's owner and mode.
  for (const auto& [name, mode] :
       {std::pair{"bank05.dat", 0644}, {"bank06.dat", 0666}, {"bank07.dat", 0644}, {"bank08.dat", 0640}}) {
    bench.write_file(name, bank);
    ASSERT_EQ(chmod((bench.dir / name).c_str(), static_cast<mode_t>(mode)), 0);
  }
  ASSERT_EQ(chown((bench.dir / "bank08.dat").c_str(), uid, gid), 0);
  bench.type("P08\n");
  struct stat replaced {};
  ASSERT_EQ(stat((bench.dir / "bank08.dat").c_str(), &replaced), 0);
  EXPECT_EQ(std::tuple(bench.read_file("bank08.dat"), replaced.st_uid, replaced.st_gid, replaced.st_mode & 07777),
            std::tuple(testing::bank_file("bank05", "FM", "12.5", {{"145.5", " "}, {"145.0", " "}}), uid, gid, 0640u));
  bench.forget();
  const pid_t child = fork();
  if (child == 0) {
    if (setgroups(0, nullptr) != 0 || setgid(gid) != 0 || setuid(uid) != 0) _exit(2);
    bench.type("P05\nP06\nD07\n");
    _exit(bench.spoken() == "put 0 5 inv put 0 6 inv delete 0 7 ok" &&
                  bench.read_file("bank05.dat") + bench.read_file("bank06.dat") + bench.read_file("bank07.dat") ==
                      bank + bank + bank &&
                  !bench.exists("bank06.dat.tmp")
              ? 0
              : 1);
  }
  int status = 0;
  waitpid(child, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
}

}  // namespace
}  // namespace talvaro
