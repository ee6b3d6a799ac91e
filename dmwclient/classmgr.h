// Class manager: local objects of registered classes.
//
// Modules and the host register a class under a 32-bit tag with three
// callbacks (create, request, free). Objects are created into numbered
// groups (0..0x7FFF) and addressed by an id: the group number shifted left
// by 16, or-ed with the object's slot in its group; a freed object's slot
// is reused by the group's next object.
//
// Locking: one lock guards the class and group tables, and it is never
// held while a callback runs. A request counts itself on its object while
// its callback runs; freeing an object first takes it out of its group
// (requests and broadcasts that arrive afterwards get -1 or skip it), then
// waits until every counted request has left, then calls free. An object
// whose create callback is still running answers no request. A request
// callback may run on several threads at once, and must not free its own
// object (the free would wait for that request).
//
// ClassMgrInit / ClassMgrDone bring the manager up and down (the second
// frees every object); until then every call is inert. Messages call the
// manager RPM and start with "Dunmorrow:" or "classmgr:".
#ifndef DMWCLIENT_CLASSMGR_H
#define DMWCLIENT_CLASSMGR_H

#include <cstdint>

#include "export.h"

// A class's callbacks, C calling convention; the table belongs to the
// class's owner and must outlive the class's registration.
typedef struct ClassCallbacks {
  // The object's data for the new object `id`; 0 refuses the object.
  void *(*Create)(int id, void *argument);
  int (*Request)(void *data, int method, void *parameter, void *buffer, int *length);
  void (*Free)(void *data);
} ClassCallbacks;

int ClassMgrInit();  // 0, or -1 when the tables can't be made
void ClassMgrDone();

extern "C" {

// 1 when added, 0 when the manager is not set up, the table is null or
// memory runs out. A tag may be registered twice; lookups find the first.
NETMON_EXPORT int _cmRegisterClass(uint32_t tag, const ClassCallbacks *callbacks);
// Frees every object of the tag in every group, then removes the tag's
// first class entry.
NETMON_EXPORT void _cmUnregisterClass(uint32_t tag);
// Frees every object of the group and removes the group.
NETMON_EXPORT void _cmClearObjects(int group);
// The new object's id, or -1 (not set up, bad group, unknown class, out of
// memory, a full group, or create refused the object).
NETMON_EXPORT int _ObjCreate(int group, uint32_t tag, void *argument);
NETMON_EXPORT void _ObjFree(int id);
// The request callback's result; -1 (and *length set to 0 when given) for
// a missing, unfinished or closing object; 0 when not set up.
NETMON_EXPORT int _ObjRequest(int id, int method, void *parameter, void *buffer, int *length);
// Calls the request callback of every live object whose tag shares a bit
// with the mask, with a null buffer; -1 when not set up or memory runs
// out, else 0.
NETMON_EXPORT int _ObjBroadcast(uint32_t mask, int method, void *parameter);

}  // extern "C"

// Queries over the live objects (created, and not being freed).
// The object's class tag, or -1 when there is no such object.
int64_t ObjClassTag(int id);
// A walk over the live objects whose tag shares a bit with the mask, group
// by group in slot order: each ObjIterNext gives the next one's id, -1 at
// the end. Objects made or freed during the walk may be seen or missed.
struct ObjIterator {
  uint32_t mask;
  int group;  // position in the group table
  int slot;
};
ObjIterator ObjIterCreate(uint32_t mask);
int ObjIterNext(ObjIterator *iterator);
// The number of live objects of a tag (-1: any tag) in a group (-1: any).
int ObjCount(int64_t tag, int group);
// The id of the first live object, in the walk's order, whose tag shares a
// bit with the mask and whose request callback answers method 0x80000001
// with `parameter` (null buffer) by a non-zero result; -1 when none does.
int ObjFindByQuery(uint32_t mask, void *parameter);

#endif
