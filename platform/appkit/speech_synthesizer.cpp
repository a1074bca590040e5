// NSSpeechSynthesizer: speaks a sentence through the system's speech command (spd-say, else
// espeak-ng), started in the background so the caller never waits for the speech.
#include <fcntl.h>
#include <signal.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/appkit/appkit.h"
#include "platform/desktop/desktop.h"
#include "platform/foundation/string.h"

namespace {

Class gSpeechSynthesizer;  // NSSpeechSynthesizer
ptrdiff_t gSpeaker;        // pid_t of the running speech command, 0 = none

// The first of the speech commands found as an executable file on PATH; "" when none is.
std::string FindSpeechCommand() {
  const char* path = std::getenv("PATH");
  if (!path) return "";
  for (const char* name : {"spd-say", "espeak-ng"}) {
    const char* start = path;
    for (;;) {
      const char* end = std::strchr(start, ':');
      std::string folder(start, end ? static_cast<size_t>(end - start) : std::strlen(start));
      if (folder.empty()) folder = ".";
      const std::string candidate = folder + "/" + name;
      if (access(candidate.c_str(), X_OK) == 0) return candidate;
      if (!end) break;
      start = end + 1;
    }
  }
  return "";
}

// Runs program with the sentence as its one argument, detached: a first child forks the
// speaker and exits at once, so the speaker is adopted by init and leaves no zombie behind.
// Answers the speaker's pid, or 0 when it could not be started. The wait is for the first
// child only, which exits straight after its fork.
pid_t StartDetached(const std::string& program, const std::string& sentence) {
  int report[2];  // the first child writes the speaker's pid here
  if (pipe2(report, O_CLOEXEC) != 0) return 0;
  const pid_t child = fork();
  if (child < 0) {
    close(report[0]);
    close(report[1]);
    return 0;
  }
  if (child == 0) {
    setsid();
    const pid_t speaker = fork();
    if (speaker == 0) {
      // The speaker keeps none of the application's files: a desktop pipe held open here
      // would outlive the application.
      const int null = open("/dev/null", O_RDWR);
      if (null >= 0) {
        dup2(null, 0);
        dup2(null, 1);
        dup2(null, 2);
      }
      closefrom(3);
      const char* argv[] = {program.c_str(), sentence.c_str(), nullptr};
      execv(program.c_str(), const_cast<char* const*>(argv));
      _exit(127);
    }
    const pid_t answer = speaker > 0 ? speaker : 0;
    (void)!write(report[1], &answer, sizeof answer);
    _exit(0);
  }
  close(report[1]);
  pid_t speaker = 0;
  if (read(report[0], &speaker, sizeof speaker) != static_cast<ssize_t>(sizeof speaker)) {
    speaker = 0;
  }
  close(report[0]);
  while (waitpid(child, nullptr, 0) < 0 && errno == EINTR) {
  }
  return speaker;
}

bool SpeakerAlive(id self) {
  const pid_t speaker = static_cast<pid_t>(objc::FieldAt<long>(self, gSpeaker));
  return speaker > 0 && kill(speaker, 0) == 0;
}

// -initWithVoice: nil asks for the default voice; the speech commands speak every sentence
// in their own default voice, so a named voice is accepted and not used.
id InitWithVoice(id self, SEL, id) {
  self = objc::SendSuper(self, gSpeechSynthesizer, "init");
  if (self) objc::FieldAt<long>(self, gSpeaker) = 0;
  return self;
}

// -startSpeakingString: reports the sentence to the desktop, then starts the speech command.
// YES when a command was started; NO for nil, or when no speech command is installed (the
// sentence then goes unspoken).
BOOL StartSpeakingString(id self, SEL, id text) {
  if (!text) return NO;
  CurrentDesktop()->SpeechStarted(foundation::StringUnits(text).c_str());
  const std::string program = FindSpeechCommand();
  if (program.empty()) {
    // Said once a run: the reminder is then only seen, never heard.
    static bool reported = false;
    if (!reported) {
      std::fputs("Mindel: neither spd-say nor espeak-ng is on PATH: reminders cannot be spoken\n",
                 stderr);
      reported = true;
    }
    return NO;
  }
  const pid_t speaker = StartDetached(program, foundation::StringUtf8(text));
  objc::FieldAt<long>(self, gSpeaker) = speaker;
  return speaker > 0 ? YES : NO;
}

BOOL IsSpeaking(id self, SEL) {
  return SpeakerAlive(self) ? YES : NO;
}

void StopSpeaking(id self, SEL) {
  if (SpeakerAlive(self)) kill(static_cast<pid_t>(objc::FieldAt<long>(self, gSpeaker)), SIGTERM);
  objc::FieldAt<long>(self, gSpeaker) = 0;
}

}  // namespace

namespace appkit {

void LoadNSSpeechSynthesizerClass() {
  gSpeechSynthesizer = objc::DefineClass("NSSpeechSynthesizer", "NSObject");
  gSpeaker = objc::AddIvar<long>(gSpeechSynthesizer, "speaker");
  objc::AddMethod(gSpeechSynthesizer, "initWithVoice:", &InitWithVoice);
  objc::AddMethod(gSpeechSynthesizer, "startSpeakingString:", &StartSpeakingString);
  objc::AddMethod(gSpeechSynthesizer, "isSpeaking", &IsSpeaking);
  objc::AddMethod(gSpeechSynthesizer, "stopSpeaking", &StopSpeaking);
}

}  // namespace appkit
