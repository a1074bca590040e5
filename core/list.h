// The runtime's doubly linked list of fixed-size, zero-filled elements with a
// current element that the list publishes into the application's list variable.
#pragma once

#include <cstdint>

struct BlockAllocator;

// One element's node, taken from the shared node allocator; the element's bytes follow it.
struct ListNode {
  ListNode* next;      // 0 for the last node
  ListNode* previous;  // 0 for the first node
};

// The application's two-word list variable.
struct ListVariable {
  struct List* list;  // word 0: the list
  ListNode* current;  // word 1: the current node (element at + 16), 0 = none
};

struct ListSavedPosition;

struct List {
  ListNode* first;              // 0 when empty
  ListNode* last;               // 0 when empty
  ListNode* current;            // 0 = no current element
  ListNode** current_variable;  // where current is published (&holder->current)
  int64_t count;                // elements in the list
  int64_t index;                // 0-based index of current
  const int64_t* descriptor;    // element layout, 0 = plain data; not owned
  BlockAllocator* allocator;    // shared allocator for nodes of node_size bytes
  ListSavedPosition* saved;     // reserved for saved positions; released with the list
  ListVariable* holder;         // the list variable
  int64_t node_size;            // element size + 16
  int32_t type_code;            // as declared by the caller; not interpreted
  uint8_t before_first;         // 1 when there is no current element
  uint8_t needs_initialising;   // 1 when the descriptor holds nested containers
  uint8_t owns_holder;          // 1 when the list allocated its own holder
};

// Creates a list into *holder (freeing the list it held), or into a holder of
// its own when holder is 0. Returns 0 when memory runs out.
List* ListCreate(int64_t element_size, ListVariable* holder, const int64_t* descriptor,
                 int32_t type_code);
void ListFree(List* list);   // clears, zeroes both words of the list variable, frees
void ListClear(List* list);  // removes all elements

// A new zero-filled element after the current one (at the front when there is
// none), made current; 0 when no node can be had.
void* ListAdd(List* list);
enum : int {
  kListDeleteKeepFirst = 1,  // deleting the first element makes the new first one current
};
// Removes the current element; returns the element that became current, or 0.
void* ListDeleteCurrent(List* list, int flags = 0);

void ListReset(List* list);                   // no current element (before first)
void* ListNext(List* list);                   // the first after a reset; 0 at the end
void* ListSelect(List* list, int64_t index);  // 0-based; 0 (no current) out of range
int ListCopy(List* source, List* destination, int clear_first);

int64_t ListCount(const List* list);
int64_t ListIndex(const List* list);  // index of the current element, -1 when none
void* ListCurrent(const List* list);  // the current element, 0 when none

// The entries generic code uses for lists nested in structures.
struct ListFunctionTable {
  List* (*create)(int64_t element_size, ListVariable* holder, const int64_t* descriptor,
                  int32_t type_code);
  int (*copy)(List* source, List* destination, int clear_first);
  void (*free)(List* list);
};
extern const ListFunctionTable kListFunctions;
