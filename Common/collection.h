/* Collection: a growable array of item pointers that owns its items.
 *
 * Every item that leaves the collection (replaced, deleted, cleared, or
 * refused by a failed add or insert) is released through FreeItem, or the C
 * heap's free when FreeItem is null; _Co_RemoveItem alone takes a slot away
 * without releasing it. Slots below Count may hold null (callers use them as
 * free slots). Capacity >= 1 and Delta >= 1, and the array never shrinks.
 * Every call accepts a null collection and then does nothing. No locking:
 * a collection shared between threads is guarded by its owner. */
#ifndef NETMON_COMMON_COLLECTION_H
#define NETMON_COMMON_COLLECTION_H

#include "export.h"

#ifdef __cplusplus
extern "C" {
#endif

typedef void (*CoFreeFunc)(void *item);

typedef struct Collection {
  void **Items;        /* the slots; those at and beyond Count are null */
  int Count;           /* slots in use */
  int Capacity;        /* length of Items */
  int Delta;           /* growth step */
  CoFreeFunc FreeItem; /* releases one item; null: free() */
} Collection;

NETMON_EXPORT Collection *_Co_Create(int capacity, int delta, CoFreeFunc freeItem);
NETMON_EXPORT void *_Co_Get(Collection *c, int index);
NETMON_EXPORT void _Co_Put(Collection *c, int index, void *item);
NETMON_EXPORT int _Co_Add(Collection *c, void *item);
NETMON_EXPORT int _Co_Insert(Collection *c, int index, void *item);
NETMON_EXPORT int _Co_FindItem(Collection *c, void *item);
NETMON_EXPORT void _Co_DelItem(Collection *c, void *item);
NETMON_EXPORT void _Co_RemoveItem(Collection *c, int index);
NETMON_EXPORT void _Co_Delete(Collection *c, int index);
NETMON_EXPORT void _Co_Clear(Collection *c);
NETMON_EXPORT int _Co_SetCapacity(Collection *c, int capacity);
NETMON_EXPORT void _Co_Free(Collection *c);
NETMON_EXPORT void _Co_FreeData(Collection *c, void *item);
NETMON_EXPORT void _Co_FreeItem(Collection *c, int index);

#ifdef __cplusplus
}
#endif

#endif
