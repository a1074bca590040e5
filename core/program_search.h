// Finding a program to launch: a name with a slash is taken as a path, any
// other name is looked up in the folders of the PATH environment variable.
#pragma once

// 1 when path names a regular, non-empty file that this process may execute.
int IsLaunchableFile(const char* path);
// 1 when the program name (UTF-8) can be launched: a name containing "/" that
// names a launchable file, or else (unless it starts with "/" or "./") a name
// found as a launchable file in one of PATH's folders. A missing or empty PATH,
// or one of only empty elements, finds nothing.
int ProgramExists(const char* name);
