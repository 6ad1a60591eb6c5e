#include "base/file_io.h"

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <string>

#include <gtest/gtest.h>

namespace {

TEST(FileIoTest, ValidatesUtf8) {
  const struct {
    const char* text;
    bool valid;
  } cases[] = {
      {"plain", true},           {"\xc3\xa9", true},        {"\xe2\x86\x92", true},
      {"\xf0\x9f\x98\x80", true}, {"\xff", false},           {"\xc3", false},
      {"\xc0\xaf", false},       {"\xed\xa0\x80", false},   {"\xf4\x90\x80\x80", false},
      {"\xe2\x86", false},
  };
  for (const auto& c : cases) EXPECT_EQ(is_valid_utf8(c.text), c.valid) << c.text;
}

class TempDir : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/tovik-file-io-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir_ = pattern;
  }
  void TearDown() override { std::system(("rm -rf '" + dir_ + "'").c_str()); }

  // What `write` returns when files may grow to 16 bytes only: a write fails
  // midway, as on a full disk.
  template <typename Write>
  static Status with_small_file_limit(Write write) {
    struct rlimit saved;
    EXPECT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = saved;
    small.rlim_cur = 16;
    EXPECT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    Status status = write();
    setrlimit(RLIMIT_FSIZE, &saved);
    signal(SIGXFSZ, SIG_DFL);
    return status;
  }

  std::string dir_;
};

TEST_F(TempDir, ReadsAndWritesWholeFiles) {
  const std::string path = dir_ + "/a.txt";
  ASSERT_TRUE(write_file(path, "héllo\n").ok());
  Result<std::string> text = read_text_file(path);
  ASSERT_TRUE(text.ok());
  EXPECT_EQ(*text, "héllo\n");

  EXPECT_EQ(read_text_file(dir_ + "/missing").error().message(), "No such file or directory");
  ASSERT_TRUE(write_file(path, "\xff").ok());
  EXPECT_EQ(read_text_file(path).error().message(), kNotUtf8);
  EXPECT_FALSE(write_file(dir_ + "/no/such/dir", "x").ok());
}

TEST_F(TempDir, RewritingAFileLeavesOnlyTheNewContents) {
  const std::string path = dir_ + "/out.svg";
  ASSERT_TRUE(write_file(path, "<svg>a longer old drawing</svg>").ok());
  ASSERT_TRUE(write_file(path, "<svg/>").ok());
  EXPECT_EQ(*read_text_file(path), "<svg/>");
  ASSERT_TRUE(write_file(path, "").ok());
  EXPECT_EQ(*read_text_file(path), "");
}

TEST_F(TempDir, FailedWriteLeavesTheFileEmpty) {
  const std::string path = dir_ + "/out.svg";
  ASSERT_TRUE(write_file(path, "old contents").ok());
  Status status = with_small_file_limit([&] { return write_file(path, std::string(4096, 'x')); });

  ASSERT_FALSE(status.ok());
  EXPECT_EQ(status.error().message(), "File too large");
  EXPECT_EQ(*read_text_file(path), "");
}

TEST_F(TempDir, ReplacesAtomicallyKeepingModeAndFollowingLinks) {
  const std::string target = dir_ + "/target.json";
  const std::string link = dir_ + "/link.json";
  ASSERT_TRUE(write_file(target, "old").ok());
  ASSERT_EQ(chmod(target.c_str(), 0640), 0);
  ASSERT_EQ(symlink("target.json", link.c_str()), 0);

  ASSERT_TRUE(replace_file_atomically(link, "new").ok());

  struct stat st;
  ASSERT_EQ(lstat(link.c_str(), &st), 0);
  EXPECT_TRUE(S_ISLNK(st.st_mode)) << "the link itself stays a link";
  ASSERT_EQ(stat(target.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0640u);
  EXPECT_EQ(*read_text_file(target), "new");
  // No temporary file is left behind.
  EXPECT_EQ(std::system(("test $(ls -A '" + dir_ + "' | wc -l) -eq 2").c_str()), 0);
}

TEST_F(TempDir, FailedReplaceLeavesTheOldFile) {
  const std::string path = dir_ + "/file";
  ASSERT_TRUE(write_file(path, "old").ok());
  Status status = with_small_file_limit([&] { return replace_file_atomically(path, std::string(4096, 'x')); });

  ASSERT_FALSE(status.ok());
  EXPECT_EQ(status.error().message(), "File too large");
  EXPECT_EQ(*read_text_file(path), "old");
  EXPECT_EQ(std::system(("test $(ls -A '" + dir_ + "' | wc -l) -eq 1").c_str()), 0);
}

}  // namespace
