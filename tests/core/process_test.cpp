// Tests of process launching with real programs: small shell scripts written
// into a temporary folder record their arguments and working directory. Covers
// splitting, the PATH search, the detached form leaving no child, exit codes,
// pipes and readers, and refused input. Nothing sleeps: the tests wait on
// pipes, FIFOs and the waiting forms themselves.
#include "core/process.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string>
#include <vector>

#include "core/parameter_split.h"
#include "core/program_search.h"
#include "core/threads.h"
#include "tests/core/scratch_folder.h"

namespace {

// --- Splitting ---

std::vector<std::string> Split(std::string text, int capacity = 16) {
  std::vector<char*> arguments(static_cast<size_t>(capacity) + 1, nullptr);
  int count = SplitParameters(text.data(), arguments.data(), capacity);
  std::vector<std::string> result;
  for (int i = 0; i < count && i < capacity; ++i) result.emplace_back(arguments[i]);
  EXPECT_EQ(arguments[static_cast<size_t>(std::min(count, capacity))], nullptr)
      << "a null entry follows the last argument";
  return result;
}

using Args = std::vector<std::string>;

TEST(SplitParameters, SeparatorsQuotesAndGluedText) {
  EXPECT_EQ(Split("load \"/a b/agent.plist\""), (Args{"load", "/a b/agent.plist"}));
  EXPECT_EQ(Split("x y  z"), (Args{"x", "y", "z"})) << "runs of separators give no empty arguments";
  EXPECT_EQ(Split("\"x y\""), (Args{"x y"}));
  EXPECT_EQ(Split(""), Args{});
  EXPECT_EQ(Split(" \t\n"), Args{});
  EXPECT_EQ(Split("a\tb\nc\rd"), (Args{"a", "b", "c\rd"})) << "tab and line feed separate, CR not";
  EXPECT_EQ(Split("\"x\"y"), (Args{"x", "y"}))
      << "text glued to a closing quote starts a new argument";
  EXPECT_EQ(Split("a\"b\"c d"), (Args{"a\"b\"c", "d"})) << "quotes inside a word are ordinary";
  EXPECT_EQ(Split("\"\" x"), (Args{"", "x"})) << "an empty quoted argument is kept";
  EXPECT_EQ(Split("\"one\ntwo\" three"), (Args{"one", "two\"", "three"}))
      << "a line feed ends a quoted argument";
  EXPECT_EQ(Split("a \"open to the end"), (Args{"a", "open to the end"}))
      << "an unterminated quote runs to the end of the text";
}

TEST(SplitParameters, CountsArgumentsBeyondTheCapacity) {
  std::vector<char*> arguments(3, nullptr);
  std::string text = "a b c d";
  EXPECT_EQ(SplitParameters(text.data(), arguments.data(), 2), 4) << "all arguments are counted";
  EXPECT_STREQ(arguments[0], "a");
  EXPECT_STREQ(arguments[1], "b");
  EXPECT_EQ(arguments[2], nullptr) << "only capacity entries are stored";
}

// --- Launching real programs ---

class Launching : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { InitRuntimeThreads(); }

  void SetUp() override { ASSERT_FALSE(folder_.path().empty()) << "a temporary folder is needed"; }
  void TearDown() override { ProgramsEnd(); }

  // Writes an executable shell script.
  std::string Script(const std::string& name, const std::string& body) {
    std::string path = folder_ / name;
    WriteFileText(path, "#!/bin/sh\n" + body, 0755);
    return path;
  }

  // A script that records its working directory and arguments, one per line in
  // brackets, into the file "record". It uses shell built-ins only, so it runs
  // under any PATH.
  std::string Recorder(const std::string& name = "recorder") {
    return Script(name, "{ pwd; for a in \"$@\"; do printf '[%s]\\n' \"$a\"; done; } > " +
                            (folder_ / "record") + "\n");
  }

  ScratchFolder folder_;
};

// No child of this process exists any more (nor a zombie of one).
bool NoChildLeft() {
  int status;
  return waitpid(-1, &status, WNOHANG) == -1 && errno == ECHILD;
}

TEST_F(Launching, WaitingLaunchPassesArgumentsAndWorkingDirectory) {
  std::string recorder = Recorder();
  std::string work = folder_ / "work";
  mkdir(work.c_str(), 0755);
  EXPECT_EQ(LaunchProgram(U16(recorder).c_str(), u"load \"/a b/agent.plist\" x\"y\" \"q\"z\t\u00e9",
                          U16(work).c_str(), kLaunchWait),
            1);
  EXPECT_EQ(ReadFileText(folder_ / "record"),
            work + "\n[load]\n[/a b/agent.plist]\n[x\"y\"]\n[q]\n[z]\n[\xC3\xA9]\n");

  // An empty working directory leaves the program in the caller's directory;
  // an unenterable one is ignored the same way.
  char here[4096];
  ASSERT_NE(getcwd(here, sizeof here), nullptr);
  EXPECT_EQ(LaunchProgram(U16(recorder).c_str(), u"", u"", kLaunchWait), 1);
  EXPECT_EQ(ReadFileText(folder_ / "record"), std::string(here) + "\n");
  EXPECT_EQ(LaunchProgram(U16(recorder).c_str(), u"\"open quote", u"/no/such/folder", kLaunchWait),
            1);
  EXPECT_EQ(ReadFileText(folder_ / "record"), std::string(here) + "\n[open quote]\n");
  EXPECT_TRUE(NoChildLeft()) << "the waiting form reaps its program";
}

TEST_F(Launching, NamesWithoutSlashAreFoundThroughPath) {
  std::string bin = folder_ / "bin";
  std::string empty_dir = folder_ / "empty";
  mkdir(bin.c_str(), 0755);
  mkdir(empty_dir.c_str(), 0755);
  Recorder("bin/tool");
  mkdir((empty_dir + "/tool").c_str(), 0755);            // a folder of that name
  WriteFileText(folder_ / "tool", "#!/bin/sh\n", 0644);  // not executable
  WriteFileText(folder_ / "plain", "", 0755);            // empty: not a program

  {
    // Empty elements are skipped; a folder or a non-executable file does not
    // qualify; a trailing slash is not doubled; the last element is tried too.
    std::string path = "::" + empty_dir + ":" + folder_.path() + ":" + bin + "/";
    ScopedEnvironment environment("PATH", path.c_str());
    EXPECT_EQ(ProgramExists("tool"), 1);
    EXPECT_EQ(ProgramExists("plain"), 0) << "an empty file is no program";
    EXPECT_EQ(ProgramExists("absent"), 0);
    EXPECT_EQ(LaunchProgram(u"tool", u"found", U16(bin).c_str(), kLaunchWait), 1);
    EXPECT_EQ(ReadFileText(folder_ / "record"), bin + "\n[found]\n");
  }
  for (const char* path : {"", ":", "::::"}) {
    ScopedEnvironment environment("PATH", path);
    EXPECT_EQ(ProgramExists("sh"), 0) << "PATH \"" << path << "\" finds nothing";
    EXPECT_EQ(LaunchProgram(u"sh"), 0);
  }
  {
    ScopedEnvironment environment("PATH", nullptr);
    EXPECT_EQ(ProgramExists("sh"), 0) << "no PATH finds nothing";
    EXPECT_EQ(ProgramExists((bin + "/tool").c_str()), 1) << "a path needs no PATH";
  }
  EXPECT_EQ(ProgramExists("/tmp"), 0) << "a folder is no program";
  EXPECT_EQ(ProgramExists((folder_ / "tool").c_str()), 0) << "a non-executable file is no program";
  EXPECT_EQ(ProgramExists("./no-such-program"), 0);
  EXPECT_EQ(ProgramExists(""), 0);
  EXPECT_TRUE(NoChildLeft()) << "refused launches start nothing";
}

TEST_F(Launching, DetachedLaunchLeavesNoChildBehind) {
  std::string fifo = folder_ / "fifo";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  // Opened before the launch and non-blocking, so the program's open for
  // writing does not wait for a reader.
  int reader = open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
  ASSERT_GE(reader, 0);
  std::string program = Script("detached", "echo $$ > " + fifo + "\n");

  EXPECT_EQ(LaunchProgram(U16(program).c_str()), 1) << "the detached form returns 1";
  EXPECT_TRUE(NoChildLeft()) << "the middle process is reaped, the program is not our child";

  // Wait for the program to report its id (the timeout only guards against a hang).
  pollfd watch = {reader, POLLIN, 0};
  ASSERT_EQ(poll(&watch, 1, 20000), 1) << "the detached program runs";
  char text[32] = {};
  ASSERT_GT(read(reader, text, sizeof text - 1), 0);
  close(reader);
  pid_t id = static_cast<pid_t>(atoi(text));
  ASSERT_GT(id, 0);
  int status;
  EXPECT_EQ(waitpid(id, &status, WNOHANG), -1) << "the program was reparented";
  EXPECT_EQ(errno, ECHILD);
  EXPECT_TRUE(NoChildLeft());
}

TEST_F(Launching, WaitingFormsReportExitCodes) {
  std::string program = Script("ends",
                               "case \"$1\" in\n"
                               "  signal) kill -TERM $$ ;;\n"
                               "  *) exit \"$1\" ;;\n"
                               "esac\n");
  struct Case {
    const char16_t* parameters;
    int32_t code;
  };
  for (Case c : {Case{u"0", 0}, Case{u"3", 3}, Case{u"255", 255}, Case{u"signal", 1}}) {
    int64_t object =
        LaunchProgram(U16(program).c_str(), c.parameters, u"", kLaunchObject | kLaunchWait);
    ASSERT_NE(object, 0);
    EXPECT_EQ(ProgramExitCode(object), c.code) << "waited for: the code is there at return";
    EXPECT_EQ(ProgramFree(object), 1);

    // The waiting thread reports the same code.
    object = LaunchProgram(U16(program).c_str(), c.parameters, u"", kLaunchObject);
    ASSERT_NE(object, 0);
    EXPECT_EQ(ProgramWait(object), c.code) << "the waiting thread stores the exit code";
    EXPECT_EQ(ProgramExitCode(object), c.code);
    EXPECT_EQ(ProgramFree(object), 1);
  }
  EXPECT_EQ(LaunchProgram(U16(program).c_str(), u"7", u"", kLaunchWait), 1)
      << "waiting without an object returns 1";
  EXPECT_TRUE(NoChildLeft());
  EXPECT_EQ(ProgramExitCode(12345), -1) << "no program object";
  EXPECT_EQ(ProgramFree(12345), 0);
}

TEST_F(Launching, ReaderDrainsMoreThanItsRingHolds) {
  // About 169 kB on standard output, far beyond the 10240-byte ring and the
  // pipe's own buffer, then a line on standard error.
  std::string program = Script("talker", "seq 1 30000\necho oops >&2\n");
  int64_t object = LaunchProgram(U16(program).c_str(), u"", u"",
                                 kLaunchObject | kLaunchReadOutput | kLaunchReadError);
  ASSERT_NE(object, 0);
  ProgramReader* output = ProgramOutput(object);
  ProgramReader* error = ProgramError(object);
  ASSERT_NE(output, nullptr);
  ASSERT_NE(error, nullptr);
  EXPECT_EQ(ProgramInput(object), nullptr) << "no input pipe was asked for";

  std::string expected;
  for (int i = 1; i <= 30000; ++i) expected += std::to_string(i) + "\n";
  std::string got;
  char chunk[3001];  // not a divisor of the ring: reads straddle its wrap
  for (;;) {
    EXPECT_LE(ProgramReaderAvailable(output), kProgramRingSize);
    int64_t n = ProgramReaderRead(output, chunk, sizeof chunk);
    if (n == 0) break;
    got.append(chunk, static_cast<size_t>(n));
    int byte = ProgramReaderByte(output);
    if (byte >= 0) got += static_cast<char>(byte);
  }
  EXPECT_EQ(got.size(), expected.size());
  EXPECT_TRUE(got == expected) << "every byte arrives once, in order";
  EXPECT_NE(ProgramReaderAtEnd(output), 0);
  EXPECT_EQ(ProgramReaderByte(output), -1);
  EXPECT_EQ(ProgramReaderAvailable(output), 0);

  std::string message;
  for (int c; (c = ProgramReaderChar(error)) != -1;) message += static_cast<char>(c);
  EXPECT_EQ(message, "oops\n");
  EXPECT_EQ(ProgramWait(object), 0);
}

TEST_F(Launching, InputPipeAndSenderFeedPrograms) {
  int64_t cat =
      LaunchProgram(u"cat", u"", u"", kLaunchObject | kLaunchWriteInput | kLaunchReadOutput);
  ASSERT_NE(cat, 0) << "cat is found through PATH";
  EXPECT_EQ(ProgramExitCode(cat), -1) << "cat runs until its input ends";
  FILE* input = ProgramInput(cat);
  ASSERT_NE(input, nullptr);
  fputs("h\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80!\x80z", input);
  EXPECT_EQ(ProgramCloseInput(cat), 1);
  ProgramReader* output = ProgramOutput(cat);
  std::vector<int> chars;
  for (int c; (c = ProgramReaderChar(output)) != -1;) chars.push_back(c);
  EXPECT_EQ(chars, (std::vector<int>{'h', 0xE9, 0x20AC, ' ', '!', ' ', 'z'}))
      << "up to 3-byte sequences decode; a 4-byte one and a stray byte read as spaces";
  EXPECT_EQ(ProgramWait(cat), 0);

  // The receiver's standard input is the sender's standard output.
  std::string sender_program = Script("sender", "printf 'from the sender\\n'\n");
  int64_t sender =
      LaunchProgram(U16(sender_program).c_str(), u"", u"", kLaunchObject | kLaunchReadOutput);
  ASSERT_NE(sender, 0);
  int64_t receiver = LaunchProgram(
      u"cat", u"", u"", kLaunchObject | kLaunchReadOutput | kLaunchInputFromSender, sender);
  ASSERT_NE(receiver, 0);
  char text[64] = {};
  int64_t length = 0;
  for (int64_t n; (n = ProgramReaderRead(ProgramOutput(receiver), text + length,
                                         static_cast<int64_t>(sizeof text) - 1 - length)) > 0;) {
    length += n;
  }
  EXPECT_STREQ(text, "from the sender\n");
  EXPECT_EQ(ProgramWait(receiver), 0) << "the receiver read blocking input without error";
  EXPECT_EQ(ProgramWait(sender), 0);
}

TEST_F(Launching, BadInputIsRefusedSafely) {
  std::string recorder = Recorder();
  std::u16string name = U16(recorder);
  EXPECT_EQ(LaunchProgram(u"/no/such/program"), 0);
  EXPECT_EQ(LaunchProgram(U16(folder_.path()).c_str()), 0) << "a folder cannot be launched";
  WriteFileText(folder_ / "text", "#!/bin/sh\n", 0644);
  EXPECT_EQ(LaunchProgram(U16(folder_ / "text").c_str()), 0) << "a non-executable file";
  EXPECT_EQ(LaunchProgram(nullptr), 0);
  EXPECT_EQ(LaunchProgram((name + u"\xD800").c_str()), 0) << "invalid UTF-16 in the name";
  EXPECT_EQ(LaunchProgram(name.c_str(), u"a \xDC00", u"", kLaunchWait), 0)
      << "invalid UTF-16 in the parameters";
  EXPECT_EQ(LaunchProgram(name.c_str(), u"", u"/tmp\xD800", kLaunchWait), 0)
      << "invalid UTF-16 in the directory";

  // 510 arguments fit the vector; one more refuses the launch.
  std::u16string many;
  for (int i = 0; i < 510; ++i) many += u"a ";
  EXPECT_EQ(LaunchProgram(name.c_str(), many.c_str(), u"", kLaunchWait), 1);
  std::string record = ReadFileText(folder_ / "record");
  EXPECT_EQ(std::count(record.begin(), record.end(), '\n'), 511) << "the folder and 510 arguments";
  many += u"a";
  EXPECT_EQ(LaunchProgram(name.c_str(), many.c_str(), u"", kLaunchWait), 0)
      << "511 arguments do not fit";
  EXPECT_TRUE(NoChildLeft());
}

TEST_F(Launching, FreeingARunningProgramClosesItsPipes) {
  int64_t cat =
      LaunchProgram(u"cat", u"", u"", kLaunchObject | kLaunchWriteInput | kLaunchReadOutput);
  ASSERT_NE(cat, 0);
  pid_t pid = reinterpret_cast<ProgramObject*>(cat)->process_id;
  EXPECT_EQ(ProgramFree(cat), 1) << "closing its input lets cat end; its thread still reaps it";
  EXPECT_EQ(ProgramWait(cat), -1) << "a freed number names no program";
  EXPECT_EQ(ProgramOutput(cat), nullptr);
  EXPECT_EQ(ProgramCloseInput(cat), 0);

  // cat ends because its input was closed. Whichever of its waiting thread and
  // this wait comes first reaps it, so no later test sees it as a child.
  siginfo_t info;
  waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED);
}

}  // namespace
