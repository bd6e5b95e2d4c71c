#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "core/file_system.h"
#include "core/posix_file_system.h"
#include "tests/support/scripted_file_system.h"
#include "tests/support/tile_files.h"

namespace ned {
namespace {

// Each way of opening a file to write, over an earlier file and where none is: what the
// file holds after "new" is written at size() and the file closed.
TEST(FileSystemOpen, EachWritingModeOverAnEarlierFileAndNone) {
  struct Case {
    OpenMode mode;
    bool opensOverEarlier;
    const char* overEarlier;  // after the write, over "old"
    const char* overNone;
  };
  const Case cases[] = {
      {OpenMode::createNew, false, "old", "new"},
      {OpenMode::createOrTruncate, true, "new", "new"},
      {OpenMode::append, true, "oldnew", "new"},
  };
  testing::TempDir dir;
  FileSystem& files = posixFileSystem();
  for (const Case& c : cases) {
    for (const bool earlier : {true, false}) {
      SCOPED_TRACE(::testing::Message() << static_cast<int>(c.mode) << " " << earlier);
      const std::string path = dir.file("file");
      files.remove(path);
      if (earlier) testing::writeFile(path, "old");
      std::unique_ptr<OpenFile> file = files.open(path, c.mode);
      ASSERT_EQ(file != nullptr, !earlier || c.opensOverEarlier);
      if (file != nullptr) {
        EXPECT_TRUE(file->write(file->size(), "new", 3));
        EXPECT_TRUE(file->close());
        // Once closed, every call fails.
        EXPECT_FALSE(file->close());
        EXPECT_FALSE(file->write(0, "x", 1));
        EXPECT_FALSE(file->flush());
      }
      EXPECT_EQ(testing::readFile(path), earlier ? c.overEarlier : c.overNone);
    }
  }
  // A folder is not a file to write.
  EXPECT_EQ(files.open(dir.path(), OpenMode::append), nullptr);
}

// A whole small file fails at its write, its flush or its close: it is said and nothing is
// left; one that cannot be opened is told apart.
TEST(WriteWholeFile, EachFailureRemovesTheFile) {
  testing::TempDir dir;
  const std::string path = dir.file("small.txt");
  for (const char* failing : {"", "write", "flush", "close", "create"}) {
    SCOPED_TRACE(failing);
    testing::ScriptedFileSystem files(posixFileSystem());
    const std::string what = failing;
    files.fails = [&](const testing::FileCall& call) { return call.what == what; };
    const WholeFileWrite result =
        writeWholeFile(files, path, "bytes\r\n", OpenMode::createOrTruncate);
    EXPECT_EQ(result, what.empty()       ? WholeFileWrite::written
                      : what == "create" ? WholeFileWrite::notOpened
                                         : WholeFileWrite::failed);
    EXPECT_EQ(posixFileSystem().stat(path).exists, what.empty());
    files.remove(path);
  }
  // A disk that takes part of the bytes: a short write.
  testing::ScriptedFileSystem files(posixFileSystem());
  files.diskRoom = 3;
  EXPECT_EQ(writeWholeFile(files, path, "bytes\r\n", OpenMode::createNew), WholeFileWrite::failed);
  EXPECT_FALSE(posixFileSystem().stat(path).exists);
}

}  // namespace
}  // namespace ned
