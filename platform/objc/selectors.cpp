// Interned selectors: a selector is the address of the one stored copy of its name.
#include <cstring>
#include <string>
#include <unordered_set>

#include "platform/objc/runtime.h"

namespace {

// Every selector name registered so far. Nodes of an unordered_set never move, so the address
// of a stored string's characters stays valid for the whole run; the set is never destroyed.
std::unordered_set<std::string>& SelectorNames() {
  static auto* names = new std::unordered_set<std::string>();
  return *names;
}

}  // namespace

extern "C" SEL sel_registerName(const char* name) {
  if (!name) return nullptr;
  const std::string& stored = *SelectorNames().emplace(name).first;
  return reinterpret_cast<SEL>(stored.c_str());
}

extern "C" SEL sel_getUid(const char* name) {
  return sel_registerName(name);
}

extern "C" const char* sel_getName(SEL sel) {
  return sel ? reinterpret_cast<const char*>(sel) : "<null selector>";
}

extern "C" BOOL sel_isEqual(SEL a, SEL b) {
  return a == b ? YES : NO;
}
