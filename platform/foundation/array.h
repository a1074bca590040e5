// NSArray and NSMutableArray: ordered lists of retained objects, and C++ helpers.
#pragma once

#include <vector>

#include "platform/objc/runtime.h"

namespace foundation {

void LoadNSArrayClass();

// An autoreleased NSArray holding items (each retained by the array).
id MakeArray(const std::vector<id>& items);
bool IsArray(id obj);
// The items of an array; empty for nil or an object that is not an array.
const std::vector<id>& ArrayItems(id array);

}  // namespace foundation
