#include "collection.h"

#include <cstdlib>
#include <cstring>

#if defined(_WIN32) && !defined(_WIN64)
static_assert(sizeof(Collection) == 20, "the host sees five 32-bit fields");
#endif

extern "C" {

Collection *_Co_Create(int capacity, int delta, CoFreeFunc freeItem) {
  if (capacity <= 0) capacity = 1;
  if (delta <= 0) delta = 1;
  auto *c = static_cast<Collection *>(std::malloc(sizeof(Collection)));
  if (!c) return nullptr;
  c->Items = static_cast<void **>(std::calloc(static_cast<size_t>(capacity), sizeof(void *)));
  if (!c->Items) {
    std::free(c);
    return nullptr;
  }
  c->Count = 0;
  c->Capacity = capacity;
  c->Delta = delta;
  c->FreeItem = freeItem;
  return c;
}

static bool InRange(const Collection *c, int index) {
  return index >= 0 && index < c->Count && index < c->Capacity;
}

void *_Co_Get(Collection *c, int index) {
  if (!c || !InRange(c, index)) return nullptr;
  return c->Items[index];
}

void _Co_Put(Collection *c, int index, void *item) {
  if (!c) return;
  if (!InRange(c, index)) {
    _Co_FreeData(c, item);
    return;
  }
  _Co_FreeData(c, c->Items[index]);
  c->Items[index] = item;
}

int _Co_SetCapacity(Collection *c, int capacity) {
  if (!c || capacity <= c->Capacity) return 0;
  void **grown =
      static_cast<void **>(std::realloc(c->Items, static_cast<size_t>(capacity) * sizeof(void *)));
  if (!grown) return 0;
  std::memset(grown + c->Capacity, 0, static_cast<size_t>(capacity - c->Capacity) * sizeof(void *));
  c->Items = grown;
  c->Capacity = capacity;
  return 1;
}

// Grows the array by one step; a failure releases the item being placed.
static bool Grow(Collection *c, void *item) {
  if (c->Capacity > 0x7FFFFFFF - c->Delta || !_Co_SetCapacity(c, c->Capacity + c->Delta)) {
    _Co_FreeData(c, item);
    return false;
  }
  return true;
}

int _Co_Add(Collection *c, void *item) {
  if (!c) return -1;
  // One free slot always remains after an append.
  if (c->Count + 1 >= c->Capacity && !Grow(c, item)) return -1;
  c->Items[c->Count] = item;
  return c->Count++;
}

int _Co_Insert(Collection *c, int index, void *item) {
  if (!c) return -1;
  if (index == c->Count) return _Co_Add(c, item);
  if (index > c->Count || index < 0) return -1;  // the item stays the caller's
  if (c->Capacity < c->Count + 1 && !Grow(c, item)) return -1;
  std::memmove(c->Items + index + 1, c->Items + index,
               static_cast<size_t>(c->Count - index) * sizeof(void *));
  c->Items[index] = item;
  c->Count++;
  return index;
}

int _Co_FindItem(Collection *c, void *item) {
  if (!c) return -1;
  for (int i = 0; i < c->Count; i++)
    if (c->Items[i] == item) return i;
  return -1;
}

void _Co_DelItem(Collection *c, void *item) {
  int index = _Co_FindItem(c, item);
  if (index >= 0) _Co_Delete(c, index);
}

void _Co_RemoveItem(Collection *c, int index) {
  if (!c || index < 0 || index >= c->Count) return;
  std::memmove(c->Items + index, c->Items + index + 1,
               static_cast<size_t>(c->Count - index - 1) * sizeof(void *));
  c->Count--;
  c->Items[c->Count] = nullptr;
}

void _Co_Delete(Collection *c, int index) {
  if (!c || index < 0 || index >= c->Count) return;
  _Co_FreeItem(c, index);
  _Co_RemoveItem(c, index);
}

void _Co_Clear(Collection *c) {
  if (!c) return;
  for (int i = 0; i < c->Count; i++) _Co_FreeItem(c, i);
  c->Count = 0;
}

void _Co_Free(Collection *c) {
  if (!c) return;
  _Co_Clear(c);
  std::free(c->Items);
  std::free(c);
}

void _Co_FreeData(Collection *c, void *item) {
  if (!c || !item) return;
  if (c->FreeItem)
    c->FreeItem(item);
  else
    std::free(item);
}

void _Co_FreeItem(Collection *c, int index) {
  if (!c || index < 0 || index >= c->Capacity) return;
  void *item = c->Items[index];
  if (!item) return;
  // The slot is emptied first, so a FreeItem that looks at the collection
  // never sees the item it is releasing.
  c->Items[index] = nullptr;
  _Co_FreeData(c, item);
}

}  // extern "C"
