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

// The running program's file (from /proc/self/exe) and its file name; "" when unknown.
std::string ProgramPath();
std::string ProgramName();

// An autoreleased file URL of path.
id MakeFileURL(const std::string& path);
// The path of a file URL; "" for other objects.
std::string URLPath(id url);

}  // namespace foundation
