// NSArray and NSMutableArray: ordered lists that retain their objects. Indexes out of range
// answer nil (or do nothing) instead of raising.
#include "platform/foundation/array.h"

#include <algorithm>

#include "platform/foundation/foundation.h"
#include "platform/foundation/string.h"
#include "platform/objc/objc.h"

namespace {

Class gArray;           // NSArray
Class gMutableArray;    // NSMutableArray
ptrdiff_t gItems = -1;  // offset of the std::vector<id> of retained items

std::vector<id>& Items(id self) {
  return objc::FieldAt<std::vector<id>>(self, gItems);
}

const std::vector<id>& NoItems() {
  static const auto* none = new std::vector<id>();
  return *none;
}

bool Equal(id a, id b) {
  return a == b || objc::Send<BOOL>(a, "isEqual:", b);
}

id NewOfClass(Class cls, const std::vector<id>& items) {
  id array = class_createInstance(cls, 0);
  if (!array) return nil;
  for (id item : items) {
    if (item) Items(array).push_back(objc_retain(item));
  }
  return array;
}

// --- Making arrays ---

id ClassArray(Class cls, SEL) {
  return objc_autorelease(NewOfClass(cls, {}));
}
id ArrayWithObject(Class cls, SEL, id object) {
  return objc_autorelease(NewOfClass(cls, {object}));
}
id ArrayWithArray(Class cls, SEL, id other) {
  return objc_autorelease(NewOfClass(cls, foundation::ArrayItems(other)));
}
// The list ends at the first nil.
id ArrayWithObjects(Class cls, SEL, id first, objc::VarArgs* rest) {
  std::vector<id> items;
  for (id item = first; item; item = va_arg(rest->list, id)) items.push_back(item);
  return objc_autorelease(NewOfClass(cls, items));
}
id ArrayWithCapacity(Class cls, SEL, NSUInteger) {
  return objc_autorelease(NewOfClass(cls, {}));
}
id InitWithArray(id self, SEL, id other) {
  for (id item : foundation::ArrayItems(other)) Items(self).push_back(objc_retain(item));
  return self;
}
id InitWithCapacity(id self, SEL, NSUInteger) {
  return self;
}

void Dealloc(id self, SEL sel) {
  std::vector<id> items;
  items.swap(Items(self));
  for (id item : items) objc_release(item);
  objc::SendSuper<void>(self, gArray, sel);
}

id Copy(id self, SEL) {
  if (object_getClass(self) == gArray) return objc_retain(self);
  return NewOfClass(gArray, Items(self));
}
id MutableCopy(id self, SEL) {
  return NewOfClass(gMutableArray, Items(self));
}

// --- Reading ---

NSUInteger Count(id self, SEL) {
  return Items(self).size();
}
id ObjectAtIndex(id self, SEL, NSUInteger index) {
  return index < Items(self).size() ? Items(self)[index] : nil;
}
id FirstObject(id self, SEL) {
  return Items(self).empty() ? nil : Items(self).front();
}
id LastObject(id self, SEL) {
  return Items(self).empty() ? nil : Items(self).back();
}
NSUInteger IndexOfObject(id self, SEL, id object) {
  const std::vector<id>& items = Items(self);
  for (size_t i = 0; i < items.size(); ++i) {
    if (Equal(items[i], object)) return i;
  }
  return NSNotFound;
}
NSUInteger IndexOfObjectIdenticalTo(id self, SEL, id object) {
  const std::vector<id>& items = Items(self);
  auto found = std::find(items.begin(), items.end(), object);
  return found == items.end() ? NSNotFound : static_cast<NSUInteger>(found - items.begin());
}
BOOL ContainsObject(id self, SEL sel, id object) {
  return IndexOfObject(self, sel, object) != NSNotFound ? YES : NO;
}
id ComponentsJoinedByString(id self, SEL, id separator) {
  std::u16string result;
  const std::u16string& sep = foundation::StringUnits(separator);
  bool first = true;
  for (id item : Items(self)) {
    if (!first) result += sep;
    first = false;
    result += foundation::DescriptionOf(item);
  }
  return foundation::MakeString(std::move(result));
}
BOOL IsEqual(id self, SEL, id other) {
  if (self == other) return YES;
  if (!foundation::IsArray(other) || Items(other).size() != Items(self).size()) return NO;
  for (size_t i = 0; i < Items(self).size(); ++i) {
    if (!Equal(Items(self)[i], Items(other)[i])) return NO;
  }
  return YES;
}
id Description(id self, SEL) {
  std::u16string text = u"(";
  bool first = true;
  for (id item : Items(self)) {
    text += first ? u"\n    " : u",\n    ";
    first = false;
    text += foundation::DescriptionOf(item);
  }
  text += u"\n)";
  return foundation::MakeString(std::move(text));
}

// --- Mutation ---

void AddObject(id self, SEL, id object) {
  if (object) Items(self).push_back(objc_retain(object));  // nil is refused
}
void InsertObject(id self, SEL, id object, NSUInteger index) {
  if (object && index <= Items(self).size()) {
    Items(self).insert(Items(self).begin() + static_cast<ptrdiff_t>(index), objc_retain(object));
  }
}
void RemoveObjectAtIndex(id self, SEL, NSUInteger index) {
  std::vector<id>& items = Items(self);
  if (index >= items.size()) return;
  id removed = items[index];
  items.erase(items.begin() + static_cast<ptrdiff_t>(index));
  objc_release(removed);
}
void RemoveLastObject(id self, SEL sel) {
  if (!Items(self).empty()) RemoveObjectAtIndex(self, sel, Items(self).size() - 1);
}
// Removes every object equal to object.
void RemoveObject(id self, SEL, id object) {
  std::vector<id>& items = Items(self);
  std::vector<id> removed;
  for (size_t i = 0; i < items.size();) {
    if (Equal(items[i], object)) {
      removed.push_back(items[i]);
      items.erase(items.begin() + static_cast<ptrdiff_t>(i));
    } else {
      ++i;
    }
  }
  for (id item : removed) objc_release(item);
}
void RemoveAllObjects(id self, SEL) {
  std::vector<id> items;
  items.swap(Items(self));
  for (id item : items) objc_release(item);
}
void ReplaceObject(id self, SEL, NSUInteger index, id object) {
  std::vector<id>& items = Items(self);
  if (!object || index >= items.size()) return;
  id old = items[index];
  items[index] = objc_retain(object);
  objc_release(old);
}

}  // namespace

namespace foundation {

id MakeArray(const std::vector<id>& items) {
  objc::EnsureClassesLoaded();
  return objc_autorelease(NewOfClass(gArray, items));
}
bool IsArray(id obj) {
  return obj && gArray && objc::IsKindOf(obj, gArray);
}
const std::vector<id>& ArrayItems(id array) {
  return IsArray(array) ? Items(array) : NoItems();
}

void LoadNSArrayClass() {
  gArray = objc::DefineClass("NSArray", "NSObject");
  gItems = objc::AddCxxIvar<std::vector<id>>(gArray, "_items");
  objc::AddClassMethod(gArray, "array", &ClassArray);
  objc::AddClassMethod(gArray, "arrayWithObject:", &ArrayWithObject);
  objc::AddClassMethod(gArray, "arrayWithObjects:", &ArrayWithObjects);
  objc::AddClassMethod(gArray, "arrayWithArray:", &ArrayWithArray);
  objc::AddMethod(gArray, "initWithArray:", &InitWithArray);
  objc::AddMethod(gArray, "dealloc", &Dealloc);
  objc::AddMethod(gArray, "copy", &Copy);
  objc::AddMethod(gArray, "mutableCopy", &MutableCopy);
  objc::AddMethod(gArray, "count", &Count);
  objc::AddMethod(gArray, "objectAtIndex:", &ObjectAtIndex);
  objc::AddMethod(gArray, "firstObject", &FirstObject);
  objc::AddMethod(gArray, "lastObject", &LastObject);
  objc::AddMethod(gArray, "indexOfObject:", &IndexOfObject);
  objc::AddMethod(gArray, "indexOfObjectIdenticalTo:", &IndexOfObjectIdenticalTo);
  objc::AddMethod(gArray, "containsObject:", &ContainsObject);
  objc::AddMethod(gArray, "componentsJoinedByString:", &ComponentsJoinedByString);
  objc::AddMethod(gArray, "isEqual:", &IsEqual);
  objc::AddMethod(gArray, "description", &Description);

  gMutableArray = objc::DefineClass("NSMutableArray", gArray);
  objc::AddClassMethod(gMutableArray, "arrayWithCapacity:", &ArrayWithCapacity);
  objc::AddMethod(gMutableArray, "initWithCapacity:", &InitWithCapacity);
  objc::AddMethod(gMutableArray, "addObject:", &AddObject);
  objc::AddMethod(gMutableArray, "insertObject:atIndex:", &InsertObject);
  objc::AddMethod(gMutableArray, "removeObjectAtIndex:", &RemoveObjectAtIndex);
  objc::AddMethod(gMutableArray, "removeLastObject", &RemoveLastObject);
  objc::AddMethod(gMutableArray, "removeObject:", &RemoveObject);
  objc::AddMethod(gMutableArray, "removeAllObjects", &RemoveAllObjects);
  objc::AddMethod(gMutableArray, "replaceObjectAtIndex:withObject:", &ReplaceObject);
}

}  // namespace foundation
