// The buffer's loads and saves: failures are Japanese messages naming the file and the cause,
// and a save is atomic, never follows a planted link and leaves nothing behind when it fails.

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <optional>

#include "editbuffer/convert.h"
#include "editbuffer/file_buffer.h"
#include "sample_text.h"
#include "temp_dir.h"

namespace morvelle::editbuffer {
namespace {

using testing::Encoded;
using testing::ErrorOf;
using testing::kSample;
using testing::ReadFile;
using testing::TempDir;
using testing::WriteFile;
using text::Encoding;

TEST(FileBuffer, LoadFailuresNameFileAndCause) {
  TempDir dir;
  FileBuffer buffer;
  WriteFile(dir / "kept.txt", "kept");
  buffer.load(dir / "kept.txt");
  EXPECT_EQ(ErrorOf([&] { buffer.load(dir / "missing.txt"); }),
            "ファイルを開けません: " + (dir / "missing.txt") +
                " (ファイルまたはフォルダーが見つかりません)");
  EXPECT_EQ(ErrorOf([&] { buffer.load(dir.path().string()); }),
            "フォルダーは読み込めません: " + dir.path().string());
  EXPECT_EQ(buffer.text(), u"kept");  // a failed load keeps the earlier file
  // A FIFO opens and is refused; a socket does not even open, and is refused alike.
  ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0600), 0);
  const int sock = ::socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  const std::string socketPath = dir / "sock";
  ASSERT_LT(socketPath.size(), sizeof address.sun_path);
  std::memcpy(address.sun_path, socketPath.data(), socketPath.size());
  ASSERT_EQ(::bind(sock, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
  for (const char* name : {"fifo", "sock"}) {
    EXPECT_EQ(ErrorOf([&] { buffer.load(dir / name); }),
              "通常のファイルではないので読み込めません: " + (dir / name));
  }
  ::close(sock);
  if (::geteuid() != 0) {
    WriteFile(dir / "secret.txt", "x");
    ::chmod((dir / "secret.txt").c_str(), 0);
    EXPECT_EQ(ErrorOf([&] { buffer.load(dir / "secret.txt"); }),
              "ファイルを開けません: " + (dir / "secret.txt") + " (アクセスが拒否されました)");
  }
}

TEST(FileBuffer, ALargeFileWrittenInPlaceSinceItWasLoadedIsRefusedNotMixedIn) {
  // A large file's bytes are read again for its save; a file someone wrote since (the same
  // size, or cut short) would give bytes of neither version.
  TempDir dir;
  const std::string original = Encoded(Encoding::ShiftJis, kSample);
  LoadOptions reread;
  reread.rereadFrom = 0;
  reread.readChunk = 4;
  for (const std::string& since : {std::string(original.size(), 'x'), original.substr(0, 9)}) {
    WriteFile(dir / "big.txt", original);
    FileBuffer buffer;
    buffer.load(dir / "big.txt", reread);
    buffer.applyEdits({{0, 1, u"序"}});
    WriteFile(dir / "big.txt", since);
    EXPECT_EQ(ErrorOf([&] { buffer.save(dir / "out.exp"); }),
              "読み込んだ後で元のファイルが変更されたので書き込めません: " + (dir / "big.txt"));
    EXPECT_FALSE(std::filesystem::exists(dir / "out.exp"));
    EXPECT_EQ(dir.entries(), 1u);
  }
}

TEST(FileBuffer, SaveReplacesAPlantedLinkWithoutFollowingIt) {
  TempDir dir;
  WriteFile(dir / "target.txt", "precious");
  ::symlink((dir / "target.txt").c_str(), (dir / "out.exp").c_str());
  FileBuffer buffer;
  buffer.loadBytes("new", "f", Encoding::Ascii);
  buffer.save(dir / "out.exp");
  struct stat st;
  ASSERT_EQ(::lstat((dir / "out.exp").c_str(), &st), 0);
  EXPECT_TRUE(S_ISREG(st.st_mode));
  EXPECT_EQ(ReadFile(dir / "out.exp"), "new");
  EXPECT_EQ(ReadFile(dir / "target.txt"), "precious");
  EXPECT_EQ(dir.entries(), 2u);  // no temporary file left
}

// A rename needs only the folder's permission, so the atomic save once replaced a read-only
// output that an open for writing would have been refused. Root writes anything; the check
// then runs as nobody, whose saved user ID lets the test become root again.
TEST(FileBuffer, SaveRefusesAReadOnlyFileInsteadOfRenamingOverIt) {
  TempDir dir;
  ::chmod(dir.path().c_str(), 0777);
  WriteFile(dir / "out.exp", "kept");
  ::chmod((dir / "out.exp").c_str(), 0444);
  FileBuffer buffer;
  buffer.loadBytes("new", "f", Encoding::Ascii);
  const bool root = ::geteuid() == 0;
  if (root && ::seteuid(65534) != 0) GTEST_SKIP() << "cannot act as an unprivileged user";
  const std::string error = ErrorOf([&] { buffer.save(dir / "out.exp"); });
  if (root) {
    ASSERT_EQ(::seteuid(0), 0);
  }
  EXPECT_EQ(error,
            "ファイルを書き込めません: " + (dir / "out.exp") + " (アクセスが拒否されました)");
  EXPECT_EQ(ReadFile(dir / "out.exp"), "kept");
  EXPECT_EQ(dir.entries(), 1u);
}

TEST(FileBuffer, FailedSaveLeavesNoTraces) {
  TempDir dir;
  ::mkdir((dir / "folder.exp").c_str(), 0755);
  FileBuffer buffer;
  buffer.loadBytes("x", "f", Encoding::Ascii);
  EXPECT_EQ(ErrorOf([&] { buffer.save(dir / "folder.exp"); }),
            "ファイルを書き込めません: " + (dir / "folder.exp") + " (フォルダーです)");
  EXPECT_EQ(ErrorOf([&] { buffer.save(dir / "none/out.exp"); }),
            "ファイルを書き込めません: " + (dir / "none/out.exp") +
                " (ファイルまたはフォルダーが見つかりません)");
  EXPECT_EQ(dir.entries(), 1u);
  // An unencodable character fails before anything is written.
  WriteFile(dir / "old.exp", "old");
  buffer.loadBytes("x", "f", Encoding::ShiftJis);
  buffer.setText(u"😀");
  EXPECT_THROW(buffer.save(dir / "old.exp"), BufferError);
  EXPECT_EQ(ReadFile(dir / "old.exp"), "old");
  EXPECT_EQ(dir.entries(), 2u);
}

// A write that fails half-way (here: the file-size limit, as a full disk would) leaves the
// earlier output as it was and no temporary file.
TEST(FileBuffer, WriteFailingHalfWayKeepsTheEarlierOutput) {
  TempDir dir;
  WriteFile(dir / "out.exp", "earlier");
  struct rlimit saved;
  ::getrlimit(RLIMIT_FSIZE, &saved);
  auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
  struct rlimit small = saved;
  small.rlim_cur = 4096;
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
  FileBuffer buffer;
  buffer.loadBytes(std::string(100000, 'x'), "f", Encoding::Ascii);
  std::string error = ErrorOf([&] { buffer.save(dir / "out.exp"); });
  ::setrlimit(RLIMIT_FSIZE, &saved);
  std::signal(SIGXFSZ, previousHandler);
  EXPECT_EQ(error, "ファイルを書き込めません: " + (dir / "out.exp") + " (ファイルが大きすぎます)");
  EXPECT_EQ(ReadFile(dir / "out.exp"), "earlier");
  EXPECT_EQ(dir.entries(), 1u);
}

// A large output's room on the disk is taken at once from a guess of its size: what the output
// does not use is given back, whether the guess was too large or too small.
TEST(FileBuffer, RoomTakenForALargeOutputIsGivenBack) {
  TempDir dir;
  const std::string bytes(std::size_t{3} << 20, 'x');
  for (const std::size_t hint : {std::size_t{8} << 20, std::size_t{2} << 20}) {
    WriteFileAtomically(dir / "out.exp", [&](ByteSink& sink) { sink.write(bytes); },
                        {.sourceMode = std::nullopt, .sizeHint = hint});
    struct stat st;
    ASSERT_EQ(::stat((dir / "out.exp").c_str(), &st), 0);
    EXPECT_EQ(std::size_t(st.st_size), bytes.size());
    EXPECT_LE(std::size_t(st.st_blocks) * 512, bytes.size() + (std::size_t{1} << 20)) << hint;
  }
  EXPECT_EQ(ReadFile(dir / "out.exp"), bytes);
  EXPECT_EQ(dir.entries(), 1u);
}

TEST(FileBuffer, SaveKeepsAnExistingFilesPermissions) {
  TempDir dir;
  WriteFile(dir / "out.exp", "old");
  ::chmod((dir / "out.exp").c_str(), 0640);
  FileBuffer buffer;
  WriteFile(dir / "in.txt", Encoded(Encoding::EucJp, kSample));
  buffer.load(dir / "in.txt");
  buffer.save(dir / "out.exp");
  struct stat st;
  ::stat((dir / "out.exp").c_str(), &st);
  EXPECT_EQ(st.st_mode & 0777, 0640u);
  EXPECT_EQ(ReadFile(dir / "out.exp"), ReadFile(dir / "in.txt"));
}

mode_t ModeOf(const std::string& path) {
  struct stat st {};
  EXPECT_EQ(::stat(path.c_str(), &st), 0) << path;
  return st.st_mode & 07777;
}

// An output is a copy of its source: it gets the source's rwx bits less the umask, as cp makes a
// copy, whatever it replaces, so it is never readable by more people than its source. Its
// temporary file has that mode before the first byte goes in. Without a source (a rule-set save)
// a new file gets 0666 less the umask.
TEST(FileBuffer, AnOutputTakesItsSourcesPermissionsLessTheUmask) {
  struct Row {
    mode_t umask;
    mode_t source;
    mode_t output;
  };
  const Row rows[] = {
      {022, 0600, 0600}, {022, 0640, 0640}, {022, 0755, 0755}, {022, 04755, 0755},
      {077, 0600, 0600}, {077, 0640, 0600}, {077, 0755, 0700},
  };
  for (const Row& row : rows) {
    TempDir dir;
    WriteFile(dir / "in.txt", "text");
    ASSERT_EQ(::chmod((dir / "in.txt").c_str(), row.source), 0);
    for (const char* name : {"saved.exp", "written.exp", "converted.exp"}) {
      WriteFile(dir / name, "earlier");
      ::chmod((dir / name).c_str(), 0666);  // an older output anyone could read
    }
    const mode_t saved = ::umask(row.umask);
    FileBuffer buffer;
    buffer.load(dir / "in.txt");
    buffer.save(dir / "saved.exp", {.sourceMode = buffer.mode()});
    std::optional<mode_t> whileWriting;
    WriteFileAtomically(
        dir / "written.exp",
        [&](ByteSink& sink) {
          for (const auto& entry : std::filesystem::directory_iterator(dir.path())) {
            if (entry.path().filename().string().starts_with(".")) {
              whileWriting = ModeOf(entry.path().string());
            }
          }
          sink.write(std::span<const char>("text", 4));
        },
        {.sourceMode = buffer.mode()});
    ConvertFile(dir / "in.txt", dir / "converted.exp", TargetCode::Utf8);
    WriteFileAtomically(dir / "new.exp", std::span<const char>("rules", 5));
    ::umask(saved);

    char what[40];
    std::snprintf(what, sizeof what, "source %04o, umask %03o", row.source, row.umask);
    EXPECT_EQ(ModeOf(dir / "saved.exp"), row.output) << what;
    EXPECT_EQ(ModeOf(dir / "written.exp"), row.output) << what;
    EXPECT_EQ(ModeOf(dir / "converted.exp"), row.output) << what;
    EXPECT_EQ(whileWriting, row.output) << what;
    EXPECT_EQ(ModeOf(dir / "new.exp"), 0666 & ~row.umask) << what;
    EXPECT_EQ(ReadFile(dir / "saved.exp"), "text");
  }
}

// A dry run is only as good as its check: a name too long for the file system fails it with the
// message of the write, which only the rename met before.
TEST(FileBuffer, CheckWritableFindsANameTooLongAsTheWriteDoes) {
  TempDir dir;
  const std::pair<std::size_t, const char*> rows[] = {
      {255, "(no error)"},
      {256, " (名前が長すぎます)"},
  };
  for (const auto& [length, cause] : rows) {
    const std::string path = dir / std::string(length, 'a');
    const std::string expected =
        length > 255 ? "ファイルを書き込めません: " + path + cause : std::string(cause);
    EXPECT_EQ(ErrorOf([&] { CheckWritable(path); }), expected) << length;
    EXPECT_EQ(ErrorOf([&] { WriteFileAtomically(path, std::span<const char>("x", 1)); }), expected)
        << length;
  }
  EXPECT_EQ(dir.entries(), 1u);  // the name of 255 bytes, written; no temporary file
}

}  // namespace
}  // namespace morvelle::editbuffer
