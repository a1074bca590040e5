// The runtime's doubly linked list: nodes from the shared block allocator, a
// current element published into the list variable, and selection by index.
//
// Sections: helpers, creation and freeing, insertion and deletion, moving the
// current element, copying, the published function table.
#include "core/list.h"

#include <cstring>

#include "core/block_allocator.h"
#include "core/descriptor.h"
#include "core/memory.h"

// Reserved record for saved current positions; no operation creates one yet.
struct ListSavedPosition {
  ListSavedPosition* next;  // older saved position
};

namespace {

constexpr int32_t kMinimumBatch = 16;
constexpr int32_t kMaximumBatch = 65536;
// Larger elements could not be addressed anyway; refusing them keeps the node
// size arithmetic from overflowing.
constexpr int64_t kMaximumElementSize = int64_t{1} << 48;

// --- Helpers ---

char* ElementOf(ListNode* node) {
  return reinterpret_cast<char*>(node) + sizeof(ListNode);
}

int64_t ElementSize(const List* list) {
  return list->node_size - int64_t{sizeof(ListNode)};
}

// Makes node current (0: none, before first) and publishes it.
void* Publish(List* list, ListNode* node, int64_t index) {
  list->current = node;
  list->index = node ? index : 0;
  list->before_first = node ? 0 : 1;
  *list->current_variable = node;
  return node ? ElementOf(node) : nullptr;
}

void ReleaseNode(List* list, ListNode* node) {
  if (list->descriptor) DescriptorFreeElement(ElementOf(node), list->descriptor);
  GiveItem(list->allocator, node);
}

}  // namespace

// --- Creation and freeing ---

List* ListCreate(int64_t element_size, ListVariable* holder, const int64_t* descriptor,
                 int32_t type_code) {
  // A holder that still names a list gives it up first, as maps and arrays do.
  if (holder && holder->list) ListFree(holder->list);
  if (element_size < 0 || element_size > kMaximumElementSize) return nullptr;

  auto* list = static_cast<List*>(AllocBlock(sizeof(List)));
  if (!list) return nullptr;
  list->node_size = element_size + int64_t{sizeof(ListNode)};
  list->allocator =
      CreateBlockAllocator(list->node_size, kMinimumBatch, kMaximumBatch, kBlockAllocatorShared);
  if (!holder) {
    holder = static_cast<ListVariable*>(AllocBlock(sizeof(ListVariable)));
    list->owns_holder = 1;
  }
  if (!list->allocator || !holder) {
    if (list->allocator) ReleaseBlockAllocator(list->allocator);
    if (list->owns_holder) FreeBlock(holder);
    FreeBlock(list);
    return nullptr;
  }
  list->holder = holder;
  list->current_variable = &holder->current;
  list->descriptor = descriptor;
  list->type_code = type_code;
  list->before_first = 1;
  list->needs_initialising = DescriptorNeedsInit(descriptor) ? 1 : 0;
  holder->list = list;
  holder->current = nullptr;
  return list;
}

void ListClear(List* list) {
  if (!list) return;
  ListNode* node = list->first;
  while (node) {
    ListNode* next = node->next;
    ReleaseNode(list, node);
    node = next;
  }
  list->first = nullptr;
  list->last = nullptr;
  list->count = 0;
  Publish(list, nullptr, 0);
}

void ListFree(List* list) {
  if (!list) return;
  ListClear(list);
  while (list->saved) {
    ListSavedPosition* next = list->saved->next;
    FreeBlock(list->saved);
    list->saved = next;
  }
  ReleaseBlockAllocator(list->allocator);
  ListVariable* holder = list->holder;
  if (list->owns_holder) {
    FreeBlock(holder);
  } else if (holder->list == list) {
    holder->list = nullptr;
    holder->current = nullptr;
  }
  FreeBlock(list);
}

// --- Insertion and deletion ---

void* ListAdd(List* list) {
  if (!list) return nullptr;
  auto* node = static_cast<ListNode*>(TakeItem(list->allocator));
  if (!node) return nullptr;
  std::memset(node, 0, static_cast<size_t>(list->node_size));
  if (list->needs_initialising) DescriptorInitElement(ElementOf(node), list->descriptor);
  list->count++;

  int64_t index = 0;
  if (list->current) {
    node->previous = list->current;
    node->next = list->current->next;
    if (node->next) node->next->previous = node;
    list->current->next = node;
    index = list->index + 1;
  } else {
    node->next = list->first;
    if (node->next) node->next->previous = node;
    list->first = node;
  }
  if (!node->next) list->last = node;
  return Publish(list, node, index);
}

void* ListDeleteCurrent(List* list, int flags) {
  if (!list) return nullptr;
  ListNode* node = list->current;
  if (!node) return Publish(list, nullptr, 0);
  list->count--;

  ListNode* previous = node->previous;
  ListNode* next = node->next;
  ListNode* current = nullptr;
  int64_t index = 0;
  if (previous) {
    previous->next = next;
    current = previous;
    index = list->index - 1;
  } else {
    list->first = next;
    if (next && (flags & kListDeleteKeepFirst)) current = next;
  }
  if (next) {
    next->previous = previous;
  } else {
    list->last = previous;
  }

  ReleaseNode(list, node);
  return Publish(list, current, index);
}

// --- Moving the current element ---

void ListReset(List* list) {
  if (list) Publish(list, nullptr, 0);
}

void* ListNext(List* list) {
  if (!list) return nullptr;
  if (!list->current) return Publish(list, list->first, 0);
  if (!list->current->next) {
    *list->current_variable = list->current;
    return nullptr;
  }
  return Publish(list, list->current->next, list->index + 1);
}

void* ListSelect(List* list, int64_t index) {
  if (!list) return nullptr;
  if (index < 0 || index >= list->count) return Publish(list, nullptr, 0);

  // Start from whichever of first, last and current is fewest steps away.
  ListNode* node = list->first;
  int64_t at = 0;
  int64_t best = index;
  if (list->count - 1 - index < best) {
    node = list->last;
    at = list->count - 1;
    best = list->count - 1 - index;
  }
  if (list->current) {
    int64_t distance = index > list->index ? index - list->index : list->index - index;
    if (distance < best) {
      node = list->current;
      at = list->index;
    }
  }
  for (; at < index; ++at) node = node->next;
  for (; at > index; --at) node = node->previous;
  return Publish(list, node, index);
}

// --- Copying ---

int ListCopy(List* source, List* destination, int clear_first) {
  if (!source || !destination) return 0;
  // A list copied into itself would chase its own new elements: nothing to do.
  if (source == destination) return 1;
  // Elements of another layout cannot be carried over.
  if (source->node_size != destination->node_size ||
      source->descriptor != destination->descriptor) {
    return 0;
  }
  if (clear_first) ListClear(destination);
  for (ListNode* node = source->first; node; node = node->next) {
    void* element = ListAdd(destination);
    if (!element) return 0;  // out of memory: what was copied so far stays
    DescriptorCopyElement(element, ElementOf(node), ElementSize(source), source->descriptor);
  }
  return 1;
}

// --- Accessors ---

int64_t ListCount(const List* list) {
  return list ? list->count : 0;
}

int64_t ListIndex(const List* list) {
  return list && list->current ? list->index : -1;
}

void* ListCurrent(const List* list) {
  return list && list->current ? ElementOf(list->current) : nullptr;
}

// --- Published function table ---

const ListFunctionTable kListFunctions = {ListCreate, ListCopy, ListFree};
