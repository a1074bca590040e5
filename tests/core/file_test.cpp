// Tests of numbered file objects on real files: the write buffer around its
// boundary, re-opening a number, the three string formats and refused input.
#include "core/file.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/core/scratch_folder.h"

namespace {

class Files : public ::testing::Test {
 protected:
  void SetUp() override {
    FilesInit();
    ASSERT_FALSE(folder_.path().empty()) << "a temporary folder is needed";
  }
  void TearDown() override { FilesEnd(); }

  std::u16string Path(const std::string& name) { return U16(folder_ / name); }
  std::string Disk(const std::string& name) { return ReadFileText(folder_ / name); }

  ScratchFolder folder_;
};

TEST_F(Files, BufferedWritesReachTheDiskAtOverflowAndClose) {
  ASSERT_NE(FileCreate(0, Path("log").c_str()), 0) << "number 0 is an ordinary number";
  std::u16string a(4095, u'a');
  EXPECT_EQ(FileWriteText(0, a.c_str()), 4095);
  EXPECT_EQ(DiskSize(folder_ / "log"), 0) << "4095 bytes fit the 4096-byte buffer";

  // One byte exactly fills the room left: the buffer is flushed first, and the
  // byte is buffered.
  EXPECT_EQ(FileWriteText(0, u"b"), 1);
  EXPECT_EQ(DiskSize(folder_ / "log"), 4095) << "a write as large as the room flushes first";

  // A write as large as the buffer goes straight to the file after a flush.
  std::u16string c(4096, u'c');
  EXPECT_EQ(FileWriteText(0, c.c_str()), 4096);
  EXPECT_EQ(DiskSize(folder_ / "log"), 8192) << "a buffer-sized write bypasses the buffer";

  EXPECT_EQ(FileWriteText(0, u"d"), 1);
  EXPECT_EQ(DiskSize(folder_ / "log"), 8192) << "a small write is buffered again";
  FileClose(0);
  EXPECT_EQ(Disk("log"), std::string(4095, 'a') + "b" + std::string(4096, 'c') + "d")
      << "every byte arrives, in order, once the file is closed";
  EXPECT_EQ(FileIsOpen(0), 0);
}

TEST_F(Files, ReopeningANumberFlushesAndClosesTheOldFile) {
  ASSERT_NE(FileCreate(5, Path("first").c_str()), 0);
  FileWriteText(5, u"one");
  EXPECT_EQ(DiskSize(folder_ / "first"), 0);
  ASSERT_NE(FileCreate(5, Path("second").c_str()), 0);
  EXPECT_EQ(Disk("first"), "one") << "re-opening number 5 flushes and closes its old file";
  FileWriteText(5, u"two");

  // A failing open under the same number still releases the old file.
  EXPECT_EQ(FileCreate(5, Path("missing/third").c_str()), 0) << "a missing folder fails";
  EXPECT_EQ(Disk("second"), "two");
  EXPECT_EQ(FileIsOpen(5), 0) << "the number names no file after a failed open";
  EXPECT_EQ(FileWriteText(5, u"x"), 0);

  // Dynamic numbers: the record's address, invalid after closing.
  int64_t file = FileCreate(-1, Path("dynamic").c_str());
  ASSERT_NE(file, 0);
  EXPECT_NE(FileIsOpen(file), 0);
  EXPECT_EQ(FileWriteText(file, u"dyn"), 3);
  FileClose(file);
  EXPECT_EQ(Disk("dynamic"), "dyn");
  EXPECT_EQ(FileIsOpen(file), 0);
  EXPECT_EQ(FileWriteText(file, u"late"), 0) << "a closed dynamic number writes nothing";
  FileClose(file);  // closing twice does nothing
}

TEST_F(Files, CreateTruncatesAndUpdateCreatesOverwritesOrAppends) {
  WriteFileText(folder_ / "existing", "abcdef");
  ASSERT_NE(FileCreate(1, Path("existing").c_str()), 0);
  EXPECT_EQ(DiskSize(folder_ / "existing"), 0) << "FileCreate truncates";
  FileClose(1);

  ASSERT_NE(FileOpenUpdate(1, Path("new").c_str()), 0) << "an update of a missing file creates it";
  FileClose(1);
  EXPECT_EQ(DiskSize(folder_ / "new"), 0);

  WriteFileText(folder_ / "update", "abcdef");
  ASSERT_NE(FileOpenUpdate(1, Path("update").c_str()), 0);
  FileWriteText(1, u"XY");
  FileClose(1);
  EXPECT_EQ(Disk("update"), "XYcdef") << "an update starts at the beginning";

  ASSERT_NE(FileOpenUpdate(1, Path("update").c_str(), kFileAppend), 0);
  FileWriteText(1, u"++");
  FileClose(1);
  EXPECT_EQ(Disk("update"), "XYcdef++") << "the append flag starts at the end";
}

TEST_F(Files, StringsAreWrittenInTheChosenFormat) {
  const char16_t* text = u"\u00e9\u20ac\U0001F600";  // é, €, and a surrogate pair
  ASSERT_NE(FileCreate(2, Path("formats").c_str()), 0);
  EXPECT_EQ(FileWriteText(2, text), 9) << "UTF-8 by default: 2 + 3 + 4 bytes";
  EXPECT_EQ(FileWriteText(2, text, 25), 8) << "UTF-16: the 4 units, no byte-order mark";
  EXPECT_EQ(FileWriteText(2, text, 1), 1) << "one byte per unit keeps only é";
  EXPECT_EQ(FileWriteText(2, u"\xD800x"), 0) << "a broken surrogate pair writes nothing";
  EXPECT_EQ(FileWriteText(2, u""), 0);
  EXPECT_EQ(FileWriteText(2, nullptr), 0);
  FileClose(2);
  std::u16string units(text);
  std::string expected = "\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80" +
                         std::string(reinterpret_cast<const char*>(units.data()), 8) + "\xE9";
  EXPECT_EQ(Disk("formats"), expected);

  // The file's own format comes from the flags.
  ASSERT_NE(FileCreate(3, Path("wide").c_str(), 25), 0);
  EXPECT_EQ(FileWriteText(3, u"ab"), 4);
  FileClose(3);
  EXPECT_EQ(Disk("wide"), std::string("a\0b\0", 4));
}

TEST_F(Files, UnbufferedFilesWriteAtOnceAndReadOnlyFilesNotAtAll) {
  ASSERT_NE(FileCreate(4, Path("direct").c_str(), kFileUnbuffered), 0);
  EXPECT_EQ(FileWriteText(4, u"abc"), 3);
  EXPECT_EQ(Disk("direct"), "abc") << "an unbuffered write reaches the file at once";

  WriteFileText(folder_ / "readonly", "keep");
  ASSERT_NE(FileOpenRead(6, Path("readonly").c_str()), 0);
  EXPECT_EQ(FileWriteText(6, u"x"), 0) << "a file opened for reading takes no writes";
  FileClose(6);
  EXPECT_EQ(Disk("readonly"), "keep");
  EXPECT_EQ(FileOpenRead(6, Path("absent").c_str()), 0) << "reading a missing file fails";

  // Invalid UTF-16 would name some other file: refused, nothing created.
  std::u16string bad = Path("bad") + u"\xDC00";
  EXPECT_EQ(FileCreate(7, bad.c_str()), 0);
  EXPECT_EQ(FileCreate(7, nullptr), 0);
  EXPECT_EQ(FileIsOpen(7), 0);
  EXPECT_EQ(FileWriteText(999, u"x"), 0) << "a number that names no file writes nothing";
  FileClose(999);

  // FilesEnd flushes what is still buffered.
  ASSERT_NE(FileCreate(8, Path("pending").c_str()), 0);
  FileWriteText(8, u"pending");
  FilesEnd();
  EXPECT_EQ(Disk("pending"), "pending");
  EXPECT_EQ(FileIsOpen(4), 0);
  EXPECT_EQ(FileIsOpen(8), 0);
}

}  // namespace
