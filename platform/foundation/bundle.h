// NSBundle (the main bundle, found from the program's own path) and NSURL (file URLs), with
// the Core Foundation bundle and URL calls over them.
#pragma once

#include <string>

#include "platform/objc/runtime.h"

namespace foundation {

void LoadNSBundleClass();
void LoadNSURLClass();

// Where a program's bundle keeps its parts.
struct BundleLayout {
  std::string bundle_path;      // X.app for X.app/Contents/MacOS/program, else the program's folder
  std::string executable_path;  // the program file
  std::string resource_path;    // X.app/Contents/Resources, else the program's folder
  std::string info_path;        // <bundle>/Contents/Info.plist (read when present)
};
BundleLayout LayoutForProgram(const std::string& program_path);

// A new NSBundle (+1) for the program at program_path, with its Info.plist read; +mainBundle
// is this for the running program.
id NewBundleForProgram(const std::string& program_path);

// PATH with folder added as its last element: "folder" alone when path is null or empty, path
// unchanged when one of its elements already is folder. The caller checks that folder holds
// no colon, which PATH cannot carry.
std::string PathWithFolderAppended(const char* path, const std::string& folder);

// Puts the main bundle's Contents/Helpers (the Linux helper programs, such as launchctl and
// Open) at the end of PATH, so that programs launched by name find them while a program of
// the system with the same name still wins. Does nothing for a program outside a bundle or a
// bundle without helpers; changes nothing else in the environment.
void AppendBundleHelpersToPath();

// The running program's file (from /proc/self/exe) and its file name; "" when unknown.
std::string ProgramPath();
std::string ProgramName();

// A string of the main bundle's Info.plist as UTF-8 (CFBundleIdentifier, CFBundleName);
// fallback when the key is missing, empty or not a string.
std::string MainBundleInfoString(const char* key, const char* fallback);

// An autoreleased file URL of path.
id MakeFileURL(const std::string& path);
// The path of a file URL; "" for other objects.
std::string URLPath(id url);

}  // namespace foundation
