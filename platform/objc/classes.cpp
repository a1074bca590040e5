// Classes, metaclasses, instance variables and object memory: the class table, the layout of
// instances, and making and disposing of objects.
//
// Index: class table | making classes | class queries | instance variables | objects
#include "platform/objc/classes.h"

#include <cassert>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unordered_map>

#include "platform/objc/class_record.h"

namespace {

using objc::ClassRecord;

// The registered classes by name. Class objects and their records live for the whole run, so
// the table is never destroyed (static destructors of other files may still send messages).
std::unordered_map<std::string, Class>& ClassTable() {
  static auto* table = new std::unordered_map<std::string, Class>();
  return *table;
}

// Runs the platform's class loaders once, before any class is looked up or made.
void EnsurePlatformClasses() {
  static bool started = false;
  if (started) return;
  started = true;  // set first: the loaders themselves make classes
  objc::LoadPlatformClasses();
}

size_t AlignUp(size_t value, size_t alignment) {
  return (value + alignment - 1) / alignment * alignment;
}

Class MakeClassObject(const char* name, Class superclass, bool is_meta) {
  auto* cls = new objc_class();
  auto* record = new ClassRecord();
  record->name = name;
  record->cls = cls;
  record->superclass = superclass;
  record->is_meta = is_meta;
  record->registered = false;
  record->frozen = false;
  record->instance_size = superclass ? superclass->record->instance_size : sizeof(objc_object);
  cls->record = record;
  cls->retain_count = 1;
  return cls;
}

}  // namespace

// --- Making classes ---

extern "C" Class objc_allocateClassPair(Class superclass, const char* name, size_t extra_bytes) {
  (void)extra_bytes;  // class objects carry no extra storage here
  EnsurePlatformClasses();
  if (!name || !*name || ClassTable().count(name)) return nil;
  if (superclass && (!superclass->record->registered || superclass->record->is_meta)) return nil;
  // The metaclass's superclass is the superclass's metaclass; a root metaclass inherits from
  // the root class itself, so class objects answer the root's instance methods (retain, ...).
  Class meta_super = nil;
  Class cls = MakeClassObject(name, superclass, false);
  if (superclass) {
    meta_super = superclass->isa;
  } else {
    meta_super = cls;
  }
  Class meta = MakeClassObject(name, meta_super, true);
  cls->isa = meta;
  // Every metaclass's isa is the root metaclass.
  Class root = superclass ? superclass : cls;
  while (root->record->superclass) root = root->record->superclass;
  meta->isa = superclass ? root->isa : meta;
  if (superclass) {
    superclass->record->frozen = true;
    superclass->isa->record->frozen = true;
  }
  return cls;
}

extern "C" void objc_registerClassPair(Class cls) {
  if (!cls || cls->record->is_meta || cls->record->registered) return;
  if (ClassTable().count(cls->record->name)) return;
  cls->record->registered = true;
  cls->isa->record->registered = true;
  ClassTable()[cls->record->name] = cls;
}

extern "C" Class objc_lookUpClass(const char* name) {
  EnsurePlatformClasses();
  if (!name) return nil;
  auto found = ClassTable().find(name);
  return found == ClassTable().end() ? nil : found->second;
}

extern "C" Class objc_getClass(const char* name) {
  return objc_lookUpClass(name);
}

namespace objc {

Class DefineClass(const char* name, Class superclass) {
  Class cls = objc_allocateClassPair(superclass, name, 0);
  if (cls) objc_registerClassPair(cls);
  return cls;
}

Class DefineClass(const char* name, const char* superclass_name) {
  Class superclass = objc_lookUpClass(superclass_name);
  if (!superclass) return nil;
  return DefineClass(name, superclass);
}

void EnsureClassesLoaded() {
  EnsurePlatformClasses();
}

bool IsKindOf(id obj, Class cls) {
  if (!obj || !cls) return false;
  for (Class c = object_getClass(obj); c; c = c->record->superclass) {
    if (c == cls) return true;
  }
  return false;
}

}  // namespace objc

// --- Class queries ---

extern "C" const char* class_getName(Class cls) {
  return cls ? cls->record->name.c_str() : "nil";
}

extern "C" Class class_getSuperclass(Class cls) {
  return cls ? cls->record->superclass : nil;
}

extern "C" BOOL class_isMetaClass(Class cls) {
  return cls && cls->record->is_meta ? YES : NO;
}

extern "C" size_t class_getInstanceSize(Class cls) {
  return cls ? cls->record->instance_size : 0;
}

extern "C" Method class_getInstanceMethod(Class cls, SEL sel) {
  if (!sel) return nullptr;
  for (; cls; cls = cls->record->superclass) {
    auto found = cls->record->methods.find(sel);
    if (found != cls->record->methods.end()) return found->second.get();
  }
  return nullptr;
}

extern "C" Method class_getClassMethod(Class cls, SEL sel) {
  return cls ? class_getInstanceMethod(cls->isa, sel) : nullptr;
}

extern "C" BOOL class_respondsToSelector(Class cls, SEL sel) {
  return class_getInstanceMethod(cls, sel) ? YES : NO;
}

// --- Instance variables ---

namespace {

objc_ivar* AddIvarRecord(Class cls, const char* name, size_t size, size_t alignment,
                         const char* types) {
  if (!cls || !name || cls->record->is_meta || cls->record->frozen) return nullptr;
  if (class_getInstanceVariable(cls, name)) return nullptr;
  if (alignment == 0 || (alignment & (alignment - 1)) != 0) return nullptr;
  ClassRecord* record = cls->record;
  auto ivar = std::make_unique<objc_ivar>();
  ivar->name = name;
  ivar->types = types ? types : "";
  ivar->offset = static_cast<ptrdiff_t>(AlignUp(record->instance_size, alignment));
  ivar->size = size;
  record->instance_size = static_cast<size_t>(ivar->offset) + size;
  record->ivars.push_back(std::move(ivar));
  return record->ivars.back().get();
}

}  // namespace

extern "C" BOOL class_addIvar(Class cls, const char* name, size_t size, uint8_t alignment_log2,
                              const char* types) {
  if (alignment_log2 > 12) return NO;  // a page is the widest alignment taken
  return AddIvarRecord(cls, name, size, size_t{1} << alignment_log2, types) ? YES : NO;
}

extern "C" Ivar class_getInstanceVariable(Class cls, const char* name) {
  if (!name) return nullptr;
  for (; cls; cls = cls->record->superclass) {
    for (auto& ivar : cls->record->ivars) {
      if (ivar->name == name) return ivar.get();
    }
  }
  return nullptr;
}

extern "C" ptrdiff_t ivar_getOffset(Ivar ivar) {
  return ivar ? ivar->offset : 0;
}
extern "C" const char* ivar_getName(Ivar ivar) {
  return ivar ? ivar->name.c_str() : nullptr;
}
extern "C" const char* ivar_getTypeEncoding(Ivar ivar) {
  return ivar ? ivar->types.c_str() : nullptr;
}

extern "C" id object_getIvar(id obj, Ivar ivar) {
  if (!obj || !ivar) return nil;
  return objc::FieldAt<id>(obj, ivar->offset);
}

extern "C" void object_setIvar(id obj, Ivar ivar, id value) {
  if (!obj || !ivar) return;
  objc::FieldAt<id>(obj, ivar->offset) = value;
}

namespace objc {

ptrdiff_t AddConstructedIvar(Class cls, const char* name, size_t size, size_t alignment,
                             void (*construct)(void*), void (*destruct)(void*)) {
  objc_ivar* ivar = AddIvarRecord(cls, name, size, alignment, "?");
  if (!ivar) return -1;
  cls->record->cxx_fields.push_back(CxxField{ivar->offset, construct, destruct});
  return ivar->offset;
}

}  // namespace objc

// --- Objects ---

extern "C" id class_createInstance(Class cls, size_t extra_bytes) {
  if (!cls) return nil;
  ClassRecord* record = cls->record;
  // Memory may run out: calloc answers null and so does this.
  void* memory = std::calloc(1, record->instance_size + extra_bytes);
  if (!memory) return nil;
  id obj = static_cast<id>(memory);
  obj->isa = cls;
  obj->retain_count = 1;
  // Instances fix the layout of their class and of every superclass.
  for (Class c = cls; c; c = c->record->superclass) c->record->frozen = true;
  // C++ fields are built from the root class down, like C++ base classes.
  Class chain[64];
  int depth = 0;
  for (Class c = cls; c && depth < 64; c = c->record->superclass) chain[depth++] = c;
  for (int i = depth - 1; i >= 0; --i) {
    for (const objc::CxxField& field : chain[i]->record->cxx_fields) {
      field.construct(reinterpret_cast<char*>(obj) + field.offset);
    }
  }
  return obj;
}

extern "C" void object_dispose(id obj) {
  if (!obj || obj->isa->record->is_meta) return;  // class objects are never disposed
  for (Class c = obj->isa; c; c = c->record->superclass) {
    auto& fields = c->record->cxx_fields;
    for (auto it = fields.rbegin(); it != fields.rend(); ++it) {
      it->destruct(reinterpret_cast<char*>(obj) + it->offset);
    }
  }
  obj->isa = nullptr;
  std::free(obj);
}

extern "C" Class object_getClass(id obj) {
  return obj ? obj->isa : nil;
}

extern "C" const char* object_getClassName(id obj) {
  return class_getName(object_getClass(obj));
}
