// The object runtime's C entry points and records: classes, metaclasses, selectors, methods,
// instance variables, messages and reference counts, in the shape of an Objective-C runtime.
//
// C++ callers normally include "platform/objc/objc.h", which adds the one-line method
// definitions and typed message sending on top of this file.
//
// The runtime is single-threaded, like the program it serves: call it from the main thread.
#pragma once

#include <cstddef>
#include <cstdint>

struct objc_class;
struct objc_selector;  // never defined: a selector is the address of its interned name
struct objc_method;
struct objc_ivar;

// The start of every object; the instance variables follow these fields.
struct objc_object {
  objc_class* isa;        // the object's class; a class object's isa is its metaclass
  intptr_t retain_count;  // references held; managed by objc_retain / objc_release only
};

namespace objc {
struct ClassRecord;  // the runtime's private description of a class (name, methods, ivars)
}

// A class object. Class objects are objects too: their isa is the metaclass, whose method
// table holds the class methods. Class objects live for the whole run.
struct objc_class : objc_object {
  objc::ClassRecord* record;  // owned by the runtime
};

typedef objc_object* id;
typedef objc_class* Class;
typedef const objc_selector* SEL;
typedef objc_method* Method;
typedef objc_ivar* Ivar;
typedef signed char BOOL;  // encoded 'c'
typedef void (*IMP)(void);

inline constexpr BOOL YES = 1;
inline constexpr BOOL NO = 0;
inline constexpr std::nullptr_t nil = nullptr;

// The receiver and the class whose superclass starts the method search, for objc_msgSendSuper.
struct objc_super {
  id receiver;        // self
  Class super_class;  // the class to search first (the superclass of the method's own class)
};

extern "C" {

// --- Classes ---
// Looks a registered class up by name; nil when there is none.
Class objc_lookUpClass(const char* name);
Class objc_getClass(const char* name);
// Makes a class and its metaclass under superclass (nil makes a root class). The class can
// receive instance variables and methods and is found by name after objc_registerClassPair.
// Returns nil when the name is taken or superclass is not registered yet.
Class objc_allocateClassPair(Class superclass, const char* name, size_t extra_bytes);
void objc_registerClassPair(Class cls);
const char* class_getName(Class cls);
Class class_getSuperclass(Class cls);
BOOL class_isMetaClass(Class cls);
size_t class_getInstanceSize(Class cls);
// Adds an instance variable of size bytes aligned to 1 << alignment_log2. Only before the
// class has instances or subclasses; NO otherwise or when the name is taken.
BOOL class_addIvar(Class cls, const char* name, size_t size, uint8_t alignment_log2,
                   const char* types);
// Finds an instance variable of cls or of one of its superclasses.
Ivar class_getInstanceVariable(Class cls, const char* name);
// Finds a method of cls or of one of its superclasses; nil when none answers sel.
Method class_getInstanceMethod(Class cls, SEL sel);
Method class_getClassMethod(Class cls, SEL sel);
BOOL class_respondsToSelector(Class cls, SEL sel);
// A new object of cls with a reference count of 1, its instance variables zeroed and its C++
// instance variables constructed. The +alloc of NSObject calls this.
id class_createInstance(Class cls, size_t extra_bytes);

// --- Objects ---
// The class of obj; for a class object, its metaclass. nil for nil.
Class object_getClass(id obj);
const char* object_getClassName(id obj);
id object_getIvar(id obj, Ivar ivar);
void object_setIvar(id obj, Ivar ivar, id value);
// Destroys the C++ instance variables and frees the memory. The -dealloc of NSObject calls this.
void object_dispose(id obj);
ptrdiff_t ivar_getOffset(Ivar ivar);
const char* ivar_getName(Ivar ivar);
const char* ivar_getTypeEncoding(Ivar ivar);

// --- Selectors ---
// The interned selector of name: equal names give the same selector for the whole run.
SEL sel_registerName(const char* name);
SEL sel_getUid(const char* name);
const char* sel_getName(SEL sel);
BOOL sel_isEqual(SEL a, SEL b);

// --- Methods ---
SEL method_getName(Method method);
IMP method_getImplementation(Method method);
// The method's Objective-C type encoding, e.g. "v@:{CGSize=dd}" (no offsets).
const char* method_getTypeEncoding(Method method);
unsigned method_getNumberOfArguments(Method method);  // counting self and _cmd

// --- Messages ---
// Sends sel to self with the arguments as 64-bit integer words (pass each argument as a
// uint64_t, int64_t or pointer). The method's integer and pointer parameters take the words;
// a floating-point or structure parameter receives 0 on this path. Answers the integer result
// (signed results sign-extended, BOOL as 0 or 1, pointers as their address), or 0 for a nil
// receiver, a selector that the receiver does not implement, or a floating-point or
// structure result. Variadic methods (stringWithFormat:) take their extra arguments from here.
uint64_t objc_msgSend(id self, SEL sel, ...);
// The same, searching for the method from super->super_class up.
uint64_t objc_msgSendSuper(objc_super* super, SEL sel, ...);

// --- References ---
// Class objects ignore these. objc_release sends -dealloc when the count reaches 0.
id objc_retain(id obj);
void objc_release(id obj);
// Hands one reference to the innermost autorelease pool; with no pool, the reference is kept
// for the whole run.
id objc_autorelease(id obj);
intptr_t objc_retainCount(id obj);
// Starts a pool; objc_autoreleasePoolPop releases every object handed over since the matching
// push (in reverse order), popping the pools pushed after it too.
void* objc_autoreleasePoolPush(void);
void objc_autoreleasePoolPop(void* token);

}  // extern "C"
