// Tests of the process's clock settings: MINDEL_CLOCK's values, and a fast clock in a child
// process, where a desktop's wait for a clock deadline lasts the clock time divided by the rate.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include "platform/foundation/clock.h"
#include "platform/terminal/terminal_desktop.h"

extern char** environ;

namespace {

constexpr const char* kChildVariable = "MINDEL_CLOCK_TEST_CHILD";
// The child waits this long in real time, whatever its clock's rate.
constexpr double kChildWaitRealSeconds = 0.2;

double RealSeconds() {
  timespec now;
  clock_gettime(CLOCK_REALTIME, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

TEST(Clock, ReadsTheVirtualAndFastSettingsAndRefusesTheRest) {
  for (const char* real : {static_cast<const char*>(nullptr), ""}) {
    const ClockSetting setting = ReadClockSetting(real);
    EXPECT_FALSE(setting.is_virtual || setting.refused);
    EXPECT_EQ(setting.rate, 1);
  }
  EXPECT_TRUE(ReadClockSetting("virtual").is_virtual);
  EXPECT_EQ(ReadClockSetting("fast:240").rate, 240);
  EXPECT_EQ(ReadClockSetting("fast:1.5").rate, 1.5) << "a fraction, with a point in any locale";
  EXPECT_EQ(ReadClockSetting("fast:1e6").rate, kClockFastestRate);
  for (const char* bad :
       {"fast:", "fast:1", "fast:0.5", "fast:0", "fast:-240", "fast:abc", "fast:240x", "fast: 240",
        "fast:1,5", "fast:inf", "fast:nan", "fast:1e7", "fast", "Virtual", "real", "fast:240 "}) {
    const ClockSetting setting = ReadClockSetting(bad);
    EXPECT_TRUE(setting.refused) << bad;
    EXPECT_FALSE(setting.is_virtual) << bad;
    EXPECT_EQ(setting.rate, 1) << bad << ": the real clock runs";
  }
}

// The child: waits on a terminal desktop for the clock to move on by kChildWaitRealSeconds
// times its rate, and reports "rate R clock C real T".
TEST(ClockChild, WaitOnATerminalDesktop) {
  if (!std::getenv(kChildVariable)) GTEST_SKIP() << "runs only as the child of other tests";
  int input[2];
  ASSERT_EQ(pipe(input), 0);  // held open and never written: the desktop waits for its deadline
  TerminalDesktop desktop(input[0], -1, TerminalSettings{});
  const double clock_start = ClockNow();
  const double real_start = RealSeconds();
  const double deadline = clock_start + kChildWaitRealSeconds * ClockRate();
  while (ClockNow() < deadline) desktop.Wait(deadline);
  std::printf("\nrate %g clock %.3f real %.3f\n", ClockRate(), ClockNow() - clock_start,
              RealSeconds() - real_start);
  std::fflush(stdout);
  close(input[0]);
  close(input[1]);
}

struct ChildRun {
  std::string output;  // standard output and error together
  bool ended = false;  // within the deadline
};

// Runs the child with MINDEL_CLOCK=clock; kills it after timeout seconds.
ChildRun RunChild(const char* clock, double timeout = 60) {
  int output[2];
  EXPECT_EQ(pipe(output), 0);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, output[1], STDOUT_FILENO);
  posix_spawn_file_actions_adddup2(&actions, output[1], STDERR_FILENO);
  posix_spawn_file_actions_addclose(&actions, output[0]);
  std::vector<std::string> variables;
  for (char** entry = environ; *entry; ++entry) {
    if (std::strncmp(*entry, "MINDEL_", 7) != 0) variables.push_back(*entry);
  }
  variables.push_back(std::string(kChildVariable) + "=1");
  variables.push_back(std::string("MINDEL_CLOCK=") + clock);
  std::vector<char*> env;
  for (std::string& variable : variables) env.push_back(variable.data());
  env.push_back(nullptr);
  std::string filter = "--gtest_filter=ClockChild.WaitOnATerminalDesktop";
  char program[] = "/proc/self/exe";
  char* argv[] = {program, filter.data(), nullptr};
  pid_t pid = -1;
  EXPECT_EQ(posix_spawn(&pid, program, &actions, nullptr, argv, env.data()), 0);
  posix_spawn_file_actions_destroy(&actions);
  close(output[1]);

  ChildRun run;
  const double give_up = RealSeconds() + timeout;
  for (;;) {
    pollfd readable{output[0], POLLIN, 0};
    const double left = give_up - RealSeconds();
    if (left <= 0 || poll(&readable, 1, static_cast<int>(left * 1000) + 1) == 0) break;
    char chunk[4096];
    const ssize_t count = read(output[0], chunk, sizeof chunk);
    if (count <= 0) {
      run.ended = true;
      break;
    }
    run.output.append(chunk, static_cast<size_t>(count));
  }
  close(output[0]);
  if (!run.ended && pid > 0) kill(pid, SIGKILL);
  if (pid > 0) waitpid(pid, nullptr, 0);
  return run;
}

// The child's report as {rate, clock seconds, real seconds}; empty when there is none.
std::vector<double> Report(const std::string& output) {
  const size_t at = output.find("\nrate ");
  double rate, clock, real;
  if (at == std::string::npos || std::sscanf(output.c_str() + at, "\nrate %lf clock %lf real %lf",
                                             &rate, &clock, &real) != 3) {
    return {};
  }
  return {rate, clock, real};
}

TEST(Clock, AFastClockRunsItsRateTimesRealTimeAndWaitsAreShortenedByIt) {
  const ChildRun run = RunChild("fast:600");
  ASSERT_TRUE(run.ended) << "the wait of 2 clock minutes lasts a fifth of a second\n" << run.output;
  const std::vector<double> report = Report(run.output);
  ASSERT_EQ(report.size(), 3u) << run.output;
  EXPECT_EQ(report[0], 600);
  EXPECT_GE(report[1], kChildWaitRealSeconds * 600) << "the deadline was reached";
  // Generous for slow machines, and still far below the 2 minutes a real clock would take.
  EXPECT_LT(report[2], 20 * kChildWaitRealSeconds) << "the desktop waited real time, divided";
  EXPECT_GT(report[1] / report[2], 600 * 0.9) << "clock seconds per real second";
  EXPECT_EQ(run.output.find("MINDEL_CLOCK"), std::string::npos) << run.output;
}

TEST(Clock, ABadSettingIsSaidOnceAndTheRealClockRuns) {
  const ChildRun run = RunChild("fast:0.5");
  ASSERT_TRUE(run.ended) << run.output;
  const std::vector<double> report = Report(run.output);
  ASSERT_EQ(report.size(), 3u) << run.output;
  EXPECT_EQ(report[0], 1);
  EXPECT_NEAR(report[1], report[2], 0.05) << "clock and real time go together";
  const std::string complaint =
      "mindel: MINDEL_CLOCK=\"fast:0.5\" is neither virtual nor fast:N (N a number above 1); "
      "the real clock runs\n";
  const size_t first = run.output.find(complaint);
  EXPECT_NE(first, std::string::npos) << run.output;
  EXPECT_EQ(run.output.find(complaint, first + 1), std::string::npos) << "said once";
}

}  // namespace
