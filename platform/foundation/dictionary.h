// NSDictionary and NSMutableDictionary: key-value tables (keys copied, values retained) in
// insertion order, with C++ helpers.
#pragma once

#include <utility>
#include <vector>

#include "platform/objc/runtime.h"

namespace foundation {

void LoadNSDictionaryClass();

// An autoreleased NSDictionary of the pairs (key, value); later duplicates replace earlier.
id MakeDictionary(const std::vector<std::pair<id, id>>& entries);
bool IsDictionary(id obj);
// The entries in insertion order; empty for nil or an object that is not a dictionary.
const std::vector<std::pair<id, id>>& DictionaryEntries(id dictionary);

}  // namespace foundation
