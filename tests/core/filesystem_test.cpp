// Tests of the file-system queries and actions on real paths: executable path,
// directory part (also of a result lying in the temporary buffer), home folder,
// sizes, folders, removal and replacement.
#include "core/filesystem.h"

#include <gtest/gtest.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "core/file.h"
#include "core/temp_buffer.h"
#include "tests/core/scratch_folder.h"

namespace {

class FileSystem : public ::testing::Test {
 protected:
  void SetUp() override { InitTempBuffer(); }
  void TearDown() override { FreeTempBuffer(); }

  // The result-protocol offset: the current end of the temporary buffer.
  static int64_t ResultOffset() {
    PushTempStart();
    return PopTempStart();
  }
  static std::u16string At(int64_t offset) {
    return std::u16string(reinterpret_cast<const char16_t*>(g_temp.base + offset));
  }
  static std::u16string Directory(const char16_t* path) {
    int64_t offset = ResultOffset();
    PathDirectory(path, offset);
    return At(offset);
  }
};

TEST_F(FileSystem, PathDirectoryKeepsTheLastSlash) {
  EXPECT_EQ(Directory(u"/Applications/X.app/Contents/MacOS/X"),
            u"/Applications/X.app/Contents/MacOS/");
  EXPECT_EQ(Directory(u"X"), u"") << "a name without a slash has no directory";
  EXPECT_EQ(Directory(u"\"/a b/c\""), u"/a b/") << "a leading double quote is dropped";
  EXPECT_EQ(Directory(u"/"), u"/");
  EXPECT_EQ(Directory(nullptr), u"");
  int64_t end = g_temp.end;
  EXPECT_EQ(g_temp.base[end] | g_temp.base[end + 1], 0) << "the result is terminated";
}

TEST_F(FileSystem, PathDirectoryOverwritesItsOwnArgumentWhileTheBufferGrows) {
  // The application's sequence: the program file name, then its directory part
  // written over it at the same offset.
  int64_t offset = ResultOffset();
  ExecutablePath(offset);
  std::u16string program = At(offset);
  PathDirectory(reinterpret_cast<const char16_t*>(g_temp.base + offset), offset);
  EXPECT_EQ(At(offset), program.substr(0, program.rfind(u'/') + 1));
  EXPECT_EQ(g_temp.end, offset + 2 * static_cast<int64_t>(program.rfind(u'/') + 1));

  // A long argument in the buffer makes reserving the result grow (and move)
  // the buffer; the argument must be read from its new place.
  std::u16string long_path = u"/" + std::u16string(30000, u'd') + u"/name";
  offset = ResultOffset();
  AppendTemp(long_path.c_str());
  int64_t argument = ResultOffset();
  AppendTemp(long_path.c_str());
  PathDirectory(reinterpret_cast<const char16_t*>(g_temp.base + argument), offset);
  EXPECT_EQ(At(offset), long_path.substr(0, long_path.size() - 4));
}

TEST_F(FileSystem, ExecutablePathNamesThisProgram) {
  char expected[4096] = {};
  ASSERT_GT(readlink("/proc/self/exe", expected, sizeof expected - 1), 0);
  int64_t offset = ResultOffset();
  ExecutablePath(offset);
  EXPECT_EQ(At(offset), U16(expected));
}

TEST_F(FileSystem, HomeDirectoryComesFromHomeOrThePasswordDatabase) {
  {
    ScopedEnvironment home("HOME", "/home/someone");
    int64_t offset = ResultOffset();
    HomeDirectoryPath(offset);
    EXPECT_EQ(At(offset), u"/home/someone/") << "a trailing slash is added";
  }
  {
    ScopedEnvironment home("HOME", "/home/someone/");
    int64_t offset = ResultOffset();
    HomeDirectoryPath(offset);
    EXPECT_EQ(At(offset), u"/home/someone/") << "an existing trailing slash is kept";
  }
  passwd* entry = getpwuid(getuid());
  std::string expected = entry && entry->pw_dir ? entry->pw_dir : "";
  if (!expected.empty() && expected.back() != '/') expected += '/';
  for (const char* value : {static_cast<const char*>(nullptr), ""}) {
    ScopedEnvironment home("HOME", value);
    int64_t offset = ResultOffset();
    HomeDirectoryPath(offset);
    EXPECT_EQ(At(offset), U16(expected)) << "without HOME the password database decides";
  }
}

TEST_F(FileSystem, LaunchAgentSequenceOnRealPaths) {
  ScratchFolder folder;
  ASSERT_FALSE(folder.path().empty());
  std::u16string agents = U16(folder / "LaunchAgents");
  std::u16string agent = agents + u"/com.quorv.Mindel.plist";

  EXPECT_EQ(PathSize(agents.c_str()), -1) << "a missing path";
  EXPECT_EQ(MakeDirectory(agents.c_str()), 1);
  EXPECT_EQ(MakeDirectory(agents.c_str()), 0) << "an existing folder cannot be made again";
  EXPECT_EQ(PathSize(agents.c_str()), -2) << "a folder";

  FilesInit();
  int64_t file = FileCreate(-1, agent.c_str());
  ASSERT_NE(FileIsOpen(file), 0);
  EXPECT_EQ(PathSize(agent.c_str()), 0) << "an empty file";
  FileWriteText(file, u"<plist/>\n", 2);
  FileClose(file);
  EXPECT_EQ(PathSize(agent.c_str()), 9);

  EXPECT_EQ(RemoveFile(agent.c_str(), 2), 1);
  EXPECT_EQ(PathSize(agent.c_str()), -1);
  EXPECT_EQ(RemoveFile(agent.c_str()), 0) << "removing a missing file fails";

  // Invalid UTF-16 and null paths are refused, never converted to another name.
  std::u16string bad = agents + u"/x\xD800";
  EXPECT_EQ(PathSize(bad.c_str()), -1);
  EXPECT_EQ(MakeDirectory(bad.c_str()), 0);
  EXPECT_EQ(RemoveFile(bad.c_str()), 0);
  EXPECT_EQ(PathSize(nullptr), -1);
  EXPECT_EQ(MakeDirectory(nullptr), 0);
  EXPECT_EQ(RemoveFile(nullptr, 2), 0);

  // A name with a character beyond ASCII goes to the system as UTF-8.
  std::u16string accented = agents + u"/\u00e9t\u00e9";
  EXPECT_EQ(MakeDirectory(accented.c_str()), 1);
  struct stat info;
  EXPECT_EQ(stat((folder / "LaunchAgents/\xC3\xA9t\xC3\xA9").c_str(), &info), 0)
      << "the folder carries the UTF-8 name";
  EXPECT_EQ(PathSize(accented.c_str()), -2);
}

TEST_F(FileSystem, ReplaceFilePutsTheDraftInPlaceOrLeavesTheTargetAlone) {
  ScratchFolder folder;
  ASSERT_FALSE(folder.path().empty());
  const std::u16string draft = U16(folder / ".agent.new");
  const std::u16string target = U16(folder / "agent.plist");

  // Over a missing target, then over an existing one: the target holds the draft whole and
  // the draft's name is gone.
  WriteFileText(folder / ".agent.new", "first");
  EXPECT_EQ(ReplaceFile(draft.c_str(), target.c_str()), 1);
  EXPECT_EQ(ReadFileText(folder / "agent.plist"), "first");
  EXPECT_EQ(PathSize(draft.c_str()), -1) << "the draft should have been renamed, not copied";
  WriteFileText(folder / ".agent.new", "second, longer");
  EXPECT_EQ(ReplaceFile(draft.c_str(), target.c_str()), 1);
  EXPECT_EQ(ReadFileText(folder / "agent.plist"), "second, longer");

  // A missing draft, a target in a missing folder and invalid names fail and leave the
  // target as it was; a failed draft is removed.
  EXPECT_EQ(ReplaceFile(draft.c_str(), target.c_str()), 0) << "no draft to put in place";
  EXPECT_EQ(ReadFileText(folder / "agent.plist"), "second, longer");
  WriteFileText(folder / ".agent.new", "third");
  const std::u16string elsewhere = U16(folder / "missing/agent.plist");
  EXPECT_EQ(ReplaceFile(draft.c_str(), elsewhere.c_str()), 0);
  EXPECT_EQ(PathSize(draft.c_str()), -1) << "a draft that could not be put in place is removed";
  const std::u16string bad = U16(folder.path()) + u"/x\xD800";
  EXPECT_EQ(ReplaceFile(bad.c_str(), target.c_str()), 0);
  EXPECT_EQ(ReplaceFile(nullptr, target.c_str()), 0);
  WriteFileText(folder / ".agent.new", "fourth");
  EXPECT_EQ(ReplaceFile(draft.c_str(), nullptr), 0);
  EXPECT_EQ(ReadFileText(folder / "agent.plist"), "second, longer");
}

}  // namespace
