// The platform's object runtime for C++: classes defined at run time, methods written as plain
// functions, typed message sending and reference counting.
//
// Example: a subclass of NSObject with an instance variable, an accessor, an override that
// calls the superclass, and a class method.
//
//   #include "platform/objc/objc.h"
//
//   static Class gCounter;     // set once below
//   static ptrdiff_t gCount;   // offset of the "count" instance variable
//
//   static void Bump(id self, SEL, long by) { objc::FieldAt<long>(self, gCount) += by; }
//   static long Count(id self, SEL) { return objc::FieldAt<long>(self, gCount); }
//   static id Init(id self, SEL sel) {
//     self = objc::SendSuper(self, gCounter, sel);     // [super init]
//     if (self) objc::FieldAt<long>(self, gCount) = 10;
//     return self;
//   }
//   static id Make(Class cls, SEL) { return objc::Autorelease(objc::Send(cls, "new")); }
//
//   void DefineCounter() {
//     gCounter = objc::DefineClass("Counter", "NSObject");
//     gCount = objc::AddIvar<long>(gCounter, "count");
//     objc::AddMethod(gCounter, "bump:", &Bump);          // encoding "v@:q"
//     objc::AddMethod(gCounter, "count", &Count);
//     objc::AddMethod(gCounter, "init", &Init);
//     objc::AddClassMethod(gCounter, "counter", &Make);
//   }
//
//   objc::AutoreleasePool pool;
//   id c = objc::Send(objc_lookUpClass("Counter"), "counter");   // autoreleased
//   objc::Send<void>(c, "bump:", 5L);
//   long n = objc::Send<long>(c, "count");                        // 15
//   uint64_t same = objc_msgSend(c, sel_registerName("count"));   // the word path: 15
//
// References: alloc/new/copy give +1 (release it, or hand it to the pool with autorelease);
// other getters answer objects you do not own. -dealloc runs when the count reaches 0; an
// override of dealloc releases what it holds and ends with SendSuper(self, cls, "dealloc").
#pragma once

#include "platform/objc/classes.h"
#include "platform/objc/geometry.h"
#include "platform/objc/message.h"
#include "platform/objc/method.h"
#include "platform/objc/references.h"
#include "platform/objc/runtime.h"
#include "platform/objc/type_encoding.h"
