// NSUserDefaults: the application's domain kept in an XML property list and written
// atomically on -synchronize when something changed; lookups fall back to the global domain
// and then to registered defaults.
//
// The global domain is read afresh at every lookup that reaches it, so a change of the
// appearance (the global preferences file, or the desktop's colour scheme) shows at the next
// lookup of AppleInterfaceStyle; only that key asks the desktop.
//
// A file that cannot be read, or is damaged, reads as empty (or as what could be read) and is
// left exactly as it is until the program writes a setting; that write replaces it whole.
// Settings that cannot be stored (a missing home folder, one that cannot be written) live
// for the run only. Each of these is said once on standard error, since the user would
// otherwise lose settings without a word.
#include "platform/foundation/user_defaults.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/foundation/bundle.h"
#include "platform/foundation/dictionary.h"
#include "platform/foundation/foundation.h"
#include "platform/foundation/number.h"
#include "platform/foundation/property_list_objects.h"
#include "platform/foundation/string.h"
#include "platform/objc/objc.h"

namespace {

// The instance variable of a defaults object.
struct DefaultsFields {
  std::string home;           // the home folder; "" when none is known
  std::string path;           // the application domain's file; "" when there is no home
  plist::Value domain;        // the application domain (a Dictionary)
  plist::Value global;        // the global domain as the last lookup read it (a Dictionary)
  plist::Value registration;  // registered defaults, never stored (a Dictionary)
  bool dirty = false;         // the domain changed since it was read or written
  bool damaged = false;       // the file was damaged: the next write replaces it
  bool failing = false;       // the last write failed (and was reported)
};

Class gDefaults;         // NSUserDefaults
ptrdiff_t gFields = -1;  // offset of DefaultsFields
id gStandard;            // the shared object, retained; made on first use

DefaultsFields& Fields(id self) {
  return objc::FieldAt<DefaultsFields>(self, gFields);
}

const plist::Value* Lookup(id self, id key) {
  if (!foundation::IsString(key)) return nullptr;
  const std::u16string& name = foundation::StringUnits(key);
  DefaultsFields& f = Fields(self);
  if (const plist::Value* v = plist::Find(f.domain, name)) return v;
  f.global = foundation::ReadGlobalDomain(f.home, name == u"AppleInterfaceStyle"
                                                      ? foundation::DesktopAppearance::Asked
                                                      : foundation::DesktopAppearance::Ignored);
  if (const plist::Value* v = plist::Find(f.global, name)) return v;
  return plist::Find(f.registration, name);
}

// Stores value under key in the application domain (removes it for nullptr).
void Store(id self, id key, const plist::Value* value) {
  if (!foundation::IsString(key)) return;
  DefaultsFields& f = Fields(self);
  const std::u16string& name = foundation::StringUnits(key);
  const plist::Value* old = plist::Find(f.domain, name);
  if (value) {
    if (old && *old == *value && !f.damaged) return;  // unchanged: nothing to write
    plist::Set(&f.domain, name, *value);
  } else {
    if (!plist::Remove(&f.domain, name) && !f.damaged) return;
  }
  f.dirty = true;
}

// The program's name: it names the domain's file and starts every message.
std::string DomainName() {
  std::string name = foundation::ProgramName();
  return name.empty() ? "Mindel" : name;
}

// One line on standard error, for what the user must know.
void Report(const std::string& text) {
  std::fprintf(stderr, "%s: %s\n", DomainName().c_str(), text.c_str());
  std::fflush(stderr);
}

bool IsFolder(const std::string& path) {
  struct stat info;
  return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

id Init(id self, SEL) {
  DefaultsFields& f = Fields(self);
  std::string home = foundation::HomeFolder();
  f.home = home;
  f.domain = plist::Value::Dictionary();
  f.global = plist::Value::Dictionary();
  f.registration = plist::Value::Dictionary();
  const std::string name = DomainName();
  if (home.empty()) {
    Report("no home folder is known: settings are kept for this run only");
    return self;
  }
  // A home folder that does not exist is not made: it is more likely a mistake in HOME
  // than a wish for a new home.
  if (!IsFolder(home)) {
    Report("the home folder " + home + " does not exist: settings are kept for this run only");
    return self;
  }
  f.path = home + "/Library/Preferences/" + name + ".plist";
  plist::RemoveLeftTemporaries(f.path.c_str());  // a killed run's half-written files
  plist::Value read;
  switch (plist::ReadFile(f.path.c_str(), &read)) {
    case plist::ReadResult::Ok:
      if (read.kind == plist::Kind::Dictionary) {
        f.domain = std::move(read);
      } else {
        f.damaged = true;  // a property list, but not a dictionary of settings
      }
      break;
    case plist::ReadResult::Missing:
      break;
    case plist::ReadResult::Damaged:
      if (read.kind == plist::Kind::Dictionary) f.domain = std::move(read);
      f.damaged = true;
      break;
  }
  if (f.damaged) {
    Report("the settings file " + f.path +
           " is damaged: what could be read is used, and the next change replaces it");
  }
  return self;
}

id StandardUserDefaults(Class cls, SEL) {
  if (!gStandard) gStandard = objc::Send(objc::Send(cls, "alloc"), "init");
  return gStandard;
}
// Drops the shared object (after synchronizing it), so the next one reads the file afresh.
void ResetStandardUserDefaults(Class, SEL) {
  if (!gStandard) return;
  objc::Send<BOOL>(gStandard, "synchronize");
  objc_release(gStandard);
  gStandard = nil;
}

// --- Reading ---

id ObjectForKey(id self, SEL, id key) {
  const plist::Value* value = Lookup(self, key);
  return value ? foundation::ObjectFromPlist(*value) : nil;
}
id StringForKey(id self, SEL, id key) {
  const plist::Value* value = Lookup(self, key);
  return value && value->kind == plist::Kind::String ? foundation::MakeString(value->string) : nil;
}
id ArrayForKey(id self, SEL, id key) {
  const plist::Value* value = Lookup(self, key);
  return value && value->kind == plist::Kind::Array ? foundation::ObjectFromPlist(*value) : nil;
}
id DictionaryForKey(id self, SEL, id key) {
  const plist::Value* value = Lookup(self, key);
  return value && value->kind == plist::Kind::Dictionary ? foundation::ObjectFromPlist(*value)
                                                         : nil;
}
// Numbers answer their value, a string holding a number that number; anything else 0.
NSInteger IntegerForKey(id self, SEL, id key) {
  const plist::Value* value = Lookup(self, key);
  if (!value) return 0;
  switch (value->kind) {
    case plist::Kind::Integer:
    case plist::Kind::Boolean:
      return value->integer;
    case plist::Kind::Real:
      return foundation::NumberInteger(foundation::MakeReal(value->real));
    case plist::Kind::String:
      return objc::Send<NSInteger>(foundation::MakeString(value->string), "integerValue");
    default:
      return 0;
  }
}
double DoubleForKey(id self, SEL, id key) {
  const plist::Value* value = Lookup(self, key);
  if (!value) return 0;
  switch (value->kind) {
    case plist::Kind::Integer:
    case plist::Kind::Boolean:
      return static_cast<double>(value->integer);
    case plist::Kind::Real:
      return value->real;
    case plist::Kind::String:
      return objc::Send<double>(foundation::MakeString(value->string), "doubleValue");
    default:
      return 0;
  }
}
// Strings such as "YES", "true" and "1" are true, as -boolValue reads them.
BOOL BoolForKey(id self, SEL, id key) {
  const plist::Value* value = Lookup(self, key);
  if (!value) return NO;
  switch (value->kind) {
    case plist::Kind::Integer:
    case plist::Kind::Boolean:
      return value->integer != 0 ? YES : NO;
    case plist::Kind::Real:
      return value->real != 0 ? YES : NO;
    case plist::Kind::String:
      return objc::Send<BOOL>(foundation::MakeString(value->string), "boolValue");
    default:
      return NO;
  }
}
id DictionaryRepresentation(id self, SEL) {
  DefaultsFields& f = Fields(self);
  plist::Value merged = f.registration;
  f.global = foundation::ReadGlobalDomain(f.home, foundation::DesktopAppearance::Asked);
  for (const auto& [key, value] : f.global.dictionary) plist::Set(&merged, key, value);
  for (const auto& [key, value] : f.domain.dictionary) plist::Set(&merged, key, value);
  return foundation::ObjectFromPlist(merged);
}

// --- Writing ---

// A nil value removes the key; an object a property list cannot hold is refused.
void SetObjectForKey(id self, SEL, id object, id key) {
  if (!object) {
    Store(self, key, nullptr);
    return;
  }
  plist::Value value;
  if (foundation::PlistFromObject(object, &value)) Store(self, key, &value);
}
void SetIntegerForKey(id self, SEL, NSInteger number, id key) {
  plist::Value value = plist::Value::Integer(number);
  Store(self, key, &value);
}
void SetBoolForKey(id self, SEL, BOOL flag, id key) {
  plist::Value value = plist::Value::Boolean(flag != NO);
  Store(self, key, &value);
}
void SetDoubleForKey(id self, SEL, double number, id key) {
  plist::Value value = plist::Value::Real(number);
  Store(self, key, &value);
}
void RemoveObjectForKey(id self, SEL, id key) {
  Store(self, key, nullptr);
}

void RegisterDefaults(id self, SEL, id dictionary) {
  plist::Value values;
  if (!foundation::PlistFromObject(dictionary, &values) || values.kind != plist::Kind::Dictionary) {
    return;
  }
  for (auto& [key, value] : values.dictionary) {
    plist::Set(&Fields(self).registration, key, std::move(value));
  }
}

// Writes the domain when it changed; YES when the file holds the domain afterwards.
BOOL Synchronize(id self, SEL) {
  DefaultsFields& f = Fields(self);
  if (!f.dirty) return YES;
  if (f.path.empty()) return NO;
  if (!plist::WriteFileAtomically(f.path.c_str(), plist::WriteXml(f.domain))) {
    // Said once for a run of failures; the changes stay in memory and the next
    // synchronize tries again.
    if (!f.failing) {
      Report("cannot store the settings in " + f.path + " (" + std::strerror(errno) +
             "): changes are kept for this run only");
    }
    f.failing = true;
    return NO;
  }
  f.dirty = false;
  f.damaged = false;
  f.failing = false;
  return YES;
}

}  // namespace

namespace foundation {

std::string HomeFolder() {
  const char* home = std::getenv("HOME");
  if (home && *home) return home;
  // getpwuid_r with a fixed buffer: no static storage shared with other callers.
  struct passwd entry;
  struct passwd* found = nullptr;
  char buffer[4096];
  if (getpwuid_r(getuid(), &entry, buffer, sizeof(buffer), &found) == 0 && found && found->pw_dir &&
      *found->pw_dir) {
    return found->pw_dir;
  }
  return "";
}

void LoadNSUserDefaultsClass() {
  gDefaults = objc::DefineClass("NSUserDefaults", "NSObject");
  gFields = objc::AddCxxIvar<DefaultsFields>(gDefaults, "_fields");
  objc::AddClassMethod(gDefaults, "standardUserDefaults", &StandardUserDefaults);
  objc::AddClassMethod(gDefaults, "resetStandardUserDefaults", &ResetStandardUserDefaults);
  objc::AddMethod(gDefaults, "init", &Init);
  objc::AddMethod(gDefaults, "objectForKey:", &ObjectForKey);
  objc::AddMethod(gDefaults, "stringForKey:", &StringForKey);
  objc::AddMethod(gDefaults, "arrayForKey:", &ArrayForKey);
  objc::AddMethod(gDefaults, "dictionaryForKey:", &DictionaryForKey);
  objc::AddMethod(gDefaults, "integerForKey:", &IntegerForKey);
  objc::AddMethod(gDefaults, "doubleForKey:", &DoubleForKey);
  objc::AddMethod(gDefaults, "boolForKey:", &BoolForKey);
  objc::AddMethod(gDefaults, "dictionaryRepresentation", &DictionaryRepresentation);
  objc::AddMethod(gDefaults, "setObject:forKey:", &SetObjectForKey);
  objc::AddMethod(gDefaults, "setInteger:forKey:", &SetIntegerForKey);
  objc::AddMethod(gDefaults, "setBool:forKey:", &SetBoolForKey);
  objc::AddMethod(gDefaults, "setDouble:forKey:", &SetDoubleForKey);
  objc::AddMethod(gDefaults, "removeObjectForKey:", &RemoveObjectForKey);
  objc::AddMethod(gDefaults, "registerDefaults:", &RegisterDefaults);
  objc::AddMethod(gDefaults, "synchronize", &Synchronize);
}

}  // namespace foundation
