#include "classmgr.h"

#include <cstdlib>

#include "collection.h"
#include "log.h"
#include "os.h"
#include "oswrap.h"
#include "semguard.h"

#if defined(_WIN32) && !defined(_WIN64)
static_assert(sizeof(ClassCallbacks) == 12, "the host's callback table is three pointers");
#endif

namespace {

constexpr char kProduct[] = "Dunmorrow";
constexpr int kMaxGroup = 0x7FFF;  // ids stay positive, so -1 is never one
constexpr int kMaxSlot = 0xFFFF;
constexpr uint32_t kDrainPollMs = 100;
constexpr int kQueryMethod = static_cast<int>(0x80000001u);  // ObjFindByQuery's question

struct ClassEntry {
  uint32_t tag;
  const ClassCallbacks *callbacks;
};

// One object. `pending` counts the requests inside it and, while its
// create callback runs, the creation itself. Whoever takes the object
// out of its group sets `closing` and releases it (ReleaseObject).
struct ObjectEntry {
  uint32_t tag;
  const ClassCallbacks *callbacks;
  int id;
  void *data;  // create's result; 0 while create runs
  bool closing;
  int pending;
  ObjectEntry *nextTaken;  // chains the objects one call takes out
};

struct GroupEntry {
  int number;
  Collection *objects;  // of ObjectEntry; slots freed by _ObjFree are null
};

// The tables; null while the manager is not set up. Guarded by Lock().
// Every call that may release items (and so run callbacks) is made on
// tables or groups already taken out, outside the lock.
Collection *gGroups;
Collection *gClasses;

// Kept as long as the library, so that a call racing the
// tear-down never meets a closed lock.
Sem *Lock() {
  static LibraryLock lock;
  return lock.sem;
}

// Waits until no request (or creation) is inside the object; its data.
void *WaitUntilIdle(ObjectEntry *object) {
  for (;;) {
    int pending;
    void *data;
    {
      SemGuard lock(Lock());
      pending = object->pending;
      data = object->data;
    }
    if (pending == 0) return data;
    os::SleepMs(kDrainPollMs);
  }
}

// Frees an object that was taken out of its group (closing is set).
void ReleaseObject(void *item) {
  ObjectEntry *object = static_cast<ObjectEntry *>(item);
  void *data = WaitUntilIdle(object);
  if (data) object->callbacks->Free(data);
  std::free(object);
}

void ReleaseTaken(ObjectEntry *first) {
  while (first) {
    ObjectEntry *next = first->nextTaken;
    ReleaseObject(first);
    first = next;
  }
}

void FreeGroup(void *item) {
  GroupEntry *group = static_cast<GroupEntry *>(item);
  _Co_Free(group->objects);
  std::free(group);
}

GroupEntry *GroupAt(int index) { return static_cast<GroupEntry *>(_Co_Get(gGroups, index)); }

ObjectEntry *ObjectAt(GroupEntry *group, int slot) {
  return static_cast<ObjectEntry *>(_Co_Get(group->objects, slot));
}

// An object that answers requests: created and not being freed.
bool Live(const ObjectEntry *object) { return object && object->data && !object->closing; }

bool SharesBit(const ObjectEntry *object, uint32_t mask) { return (object->tag & mask) != 0; }

int FindGroup(int number) {
  for (int i = 0; i < gGroups->Count; i++)
    if (GroupAt(i) && GroupAt(i)->number == number) return i;
  return -1;
}

GroupEntry *FindOrAddGroup(int number) {
  int index = FindGroup(number);
  if (index >= 0) return GroupAt(index);
  GroupEntry *group = static_cast<GroupEntry *>(std::calloc(1, sizeof(GroupEntry)));
  if (!group) return nullptr;
  group->number = number;
  group->objects = _Co_Create(1, 1, ReleaseObject);
  if (!group->objects) {
    std::free(group);
    return nullptr;
  }
  return _Co_Add(gGroups, group) >= 0 ? group : nullptr;  // a refused group is released
}

const ClassEntry *FindClass(uint32_t tag) {
  for (int i = 0; i < gClasses->Count; i++) {
    const ClassEntry *entry = static_cast<const ClassEntry *>(_Co_Get(gClasses, i));
    if (entry && entry->tag == tag) return entry;
  }
  return nullptr;
}

ObjectEntry *FindObject(int id) {
  if (id < 0) return nullptr;
  int group = FindGroup(id >> 16);
  return group < 0 ? nullptr : ObjectAt(GroupAt(group), id & kMaxSlot);
}

// Takes the object in `slot` out of its group (the slot stays, empty).
ObjectEntry *TakeObject(GroupEntry *group, int slot) {
  ObjectEntry *object = ObjectAt(group, slot);
  if (!object) return nullptr;
  group->objects->Items[slot] = nullptr;
  object->closing = true;
  return object;
}

void MarkGroupClosing(GroupEntry *group) {
  for (int slot = 0; slot < group->objects->Count; slot++)
    if (ObjectEntry *object = ObjectAt(group, slot)) object->closing = true;
}

// Puts the object into the group's first free slot; the slot, or -1 when
// the group is full or can't grow. The array grows before the object is
// added, so a refused add never releases it here.
int PlaceObject(GroupEntry *group, ObjectEntry *object) {
  Collection *objects = group->objects;
  for (int slot = 0; slot < objects->Count; slot++)
    if (!objects->Items[slot]) {
      objects->Items[slot] = object;
      return slot;
    }
  if (objects->Count > kMaxSlot) return -1;
  if (objects->Count + 1 >= objects->Capacity &&
      !_Co_SetCapacity(objects, objects->Capacity + objects->Delta))
    return -1;
  return _Co_Add(objects, object);
}

// The objects whose tag shares a bit with the mask, counted as pending so
// that none is freed before the caller has let go of it (ReleasePins).
struct Pins {
  ObjectEntry **objects = nullptr;
  int count = 0;
};

// Calls visit(object) for every object in the tables, group by group in
// slot order; the caller holds the lock.
template <typename Visit>
void ForEachObject(Visit visit) {
  for (int g = 0; g < gGroups->Count; g++)
    for (int slot = 0; GroupAt(g) && slot < GroupAt(g)->objects->Count; slot++)
      if (ObjectEntry *object = ObjectAt(GroupAt(g), slot)) visit(object);
}

bool PinMatching(uint32_t mask, Pins *pins) {
  int matching = 0;
  ForEachObject([&](ObjectEntry *object) {
    if (Live(object) && SharesBit(object, mask)) matching++;
  });
  if (matching == 0) return true;
  pins->objects = static_cast<ObjectEntry **>(std::malloc(matching * sizeof(ObjectEntry *)));
  if (!pins->objects) return false;
  ForEachObject([&](ObjectEntry *object) {
    if (!Live(object) || !SharesBit(object, mask)) return;
    object->pending++;
    pins->objects[pins->count++] = object;
  });
  return true;
}

enum class Visited { kAll, kNotSetUp, kNoMemory };

// Calls visit(object) outside the lock for every live object whose tag
// shares a bit with the mask, in table order, until visit returns true.
// Each such object is pinned meanwhile, so that none is freed under a
// callback; one freed before its turn is left out.
template <typename Visit>
Visited VisitMatching(uint32_t mask, Visit visit) {
  Pins pins;
  {
    SemGuard lock(Lock());
    if (!gGroups) return Visited::kNotSetUp;
    if (!PinMatching(mask, &pins)) return Visited::kNoMemory;
  }
  bool stopped = false;
  for (int i = 0; i < pins.count; i++) {
    ObjectEntry *object = pins.objects[i];
    bool live;
    {
      SemGuard lock(Lock());
      live = !object->closing;
    }
    if (live && !stopped) stopped = visit(object);
    SemGuard lock(Lock());
    object->pending--;
  }
  std::free(pins.objects);
  return Visited::kAll;
}

// Calls an object's request callback the way broadcasts and queries do:
// a null buffer and a scratch length.
int AskObject(ObjectEntry *object, int method, void *parameter) {
  int scratch = 0;
  return object->callbacks->Request(object->data, method, parameter, nullptr, &scratch);
}

}  // namespace

int ClassMgrInit() {
  if (!Lock()) {
    _msg("%s:\t Can't initialize RPM (possible low on memory)\n", kProduct);
    return -1;
  }
  {
    SemGuard lock(Lock());
    if (gGroups) return 0;
    gGroups = _Co_Create(10, 10, FreeGroup);
    gClasses = _Co_Create(10, 5, nullptr);
    if (gGroups && gClasses) return 0;
    _Co_Free(gGroups);  // both empty: nothing is called back
    _Co_Free(gClasses);
    gGroups = gClasses = nullptr;
  }
  _msg("%s:\t Can't initialize RPM (possible low on memory)\n", kProduct);
  return -1;
}

void ClassMgrDone() {
  if (!Lock()) return;
  Collection *groups;
  Collection *classes;
  {
    SemGuard lock(Lock());
    groups = gGroups;
    classes = gClasses;
    gGroups = gClasses = nullptr;
    for (int g = 0; groups && g < groups->Count; g++)
      if (GroupEntry *group = static_cast<GroupEntry *>(_Co_Get(groups, g)))
        MarkGroupClosing(group);
  }
  _Co_Free(groups);
  _Co_Free(classes);
}

extern "C" {

int _cmRegisterClass(uint32_t tag, const ClassCallbacks *callbacks) {
  if (!callbacks || !Lock()) return 0;
  SemGuard lock(Lock());
  if (!gClasses) return 0;
  ClassEntry *entry = static_cast<ClassEntry *>(std::malloc(sizeof(ClassEntry)));
  if (!entry) return 0;
  *entry = ClassEntry{tag, callbacks};
  return _Co_Add(gClasses, entry) >= 0 ? 1 : 0;
}

void _cmUnregisterClass(uint32_t tag) {
  if (!Lock()) return;
  ObjectEntry *taken = nullptr;
  {
    SemGuard lock(Lock());
    if (!gClasses) return;
    for (int g = 0; g < gGroups->Count; g++)
      for (int slot = 0; GroupAt(g) && slot < GroupAt(g)->objects->Count; slot++) {
        ObjectEntry *object = ObjectAt(GroupAt(g), slot);
        if (!object || object->tag != tag) continue;
        TakeObject(GroupAt(g), slot)->nextTaken = taken;
        taken = object;
      }
    for (int i = 0; i < gClasses->Count; i++) {
      const ClassEntry *entry = static_cast<const ClassEntry *>(_Co_Get(gClasses, i));
      if (entry && entry->tag == tag) {
        _Co_Delete(gClasses, i);  // heap release, no callback
        break;
      }
    }
  }
  ReleaseTaken(taken);
}

void _cmClearObjects(int group) {
  if (!Lock()) return;
  GroupEntry *entry = nullptr;
  {
    SemGuard lock(Lock());
    int index = gGroups ? FindGroup(group) : -1;
    if (index < 0) return;
    entry = GroupAt(index);
    _Co_RemoveItem(gGroups, index);
    MarkGroupClosing(entry);
  }
  FreeGroup(entry);
}

int _ObjCreate(int group, uint32_t tag, void *argument) {
  if (group < 0 || group > kMaxGroup || !Lock()) return -1;
  ObjectEntry *object = static_cast<ObjectEntry *>(std::calloc(1, sizeof(ObjectEntry)));
  if (!object) return -1;
  GroupEntry *owner = nullptr;
  int slot = -1;
  {
    SemGuard lock(Lock());
    const ClassEntry *entry = gClasses ? FindClass(tag) : nullptr;
    if (entry) {
      object->tag = tag;
      object->callbacks = entry->callbacks;
      object->pending = 1;  // the creation
      owner = FindOrAddGroup(group);
      slot = owner ? PlaceObject(owner, object) : -1;
      object->id = group << 16 | slot;
    }
  }
  if (slot < 0) {
    if (owner) _errmsg("%s:\t Can't create RP thread (low on memory)\n", kProduct);
    std::free(object);
    return -1;
  }
  int id = group << 16 | slot;
  void *data = object->callbacks->Create(id, argument);
  bool closed;
  {
    SemGuard lock(Lock());
    object->data = data;
    object->pending--;
    closed = object->closing;  // then whoever took it out releases it
    if (!closed && !data) TakeObject(owner, slot);  // still in its group: not closing
  }
  if (closed) {
    _DebugOut(2, "classmgr: object %x freed while it was created\n", static_cast<unsigned>(id));
    return -1;
  }
  if (!data) {
    ReleaseObject(object);
    _errmsg("%s:\t Process not created (PTag:%x)\n", kProduct, static_cast<unsigned>(tag));
    return -1;
  }
  return id;
}

void _ObjFree(int id) {
  if (!Lock()) return;
  ObjectEntry *object = nullptr;
  {
    SemGuard lock(Lock());
    int group = gGroups && id >= 0 ? FindGroup(id >> 16) : -1;
    if (group >= 0) object = TakeObject(GroupAt(group), id & kMaxSlot);
  }
  if (object) ReleaseObject(object);
}

int _ObjRequest(int id, int method, void *parameter, void *buffer, int *length) {
  if (!Lock()) return 0;
  ObjectEntry *object;
  int pending = 0;
  {
    SemGuard lock(Lock());
    if (!gGroups) return 0;
    object = FindObject(id);
    if (object && !object->closing && object->data)
      pending = ++object->pending;
  }
  if (pending == 0) {
    if (length) *length = 0;
    return -1;
  }
  if (pending > 1) _DebugOut(9, "classmgr: Pending requests %d\n", pending);
  int result = object->callbacks->Request(object->data, method, parameter, buffer, length);
  SemGuard lock(Lock());
  object->pending--;
  return result;
}

int _ObjBroadcast(uint32_t mask, int method, void *parameter) {
  if (!Lock()) return -1;
  Visited visited = VisitMatching(mask, [&](ObjectEntry *object) {
    AskObject(object, method, parameter);
    return false;
  });
  if (visited == Visited::kNoMemory)
    _errmsg("%s:\t broadcast %d refused (low on memory)\n", kProduct, method);
  return visited == Visited::kAll ? 0 : -1;
}

}  // extern "C"

int64_t ObjClassTag(int id) {
  if (!Lock()) return -1;
  SemGuard lock(Lock());
  ObjectEntry *object = gGroups ? FindObject(id) : nullptr;
  return Live(object) ? int64_t{object->tag} : -1;
}

ObjIterator ObjIterCreate(uint32_t mask) { return ObjIterator{mask, 0, 0}; }

int ObjIterNext(ObjIterator *iterator) {
  if (!iterator || !Lock()) return -1;
  SemGuard lock(Lock());
  for (; gGroups && iterator->group < gGroups->Count; iterator->group++, iterator->slot = 0) {
    GroupEntry *group = GroupAt(iterator->group);
    while (group && iterator->slot < group->objects->Count) {
      ObjectEntry *object = ObjectAt(group, iterator->slot++);
      if (Live(object) && SharesBit(object, iterator->mask)) return object->id;
    }
  }
  return -1;
}

int ObjCount(int64_t tag, int group) {
  if (!Lock()) return 0;
  SemGuard lock(Lock());
  if (!gGroups) return 0;
  int count = 0;
  ForEachObject([&](ObjectEntry *object) {
    if (Live(object) && (tag == -1 || object->tag == tag) &&
        (group == -1 || object->id >> 16 == group))
      count++;
  });
  return count;
}

int ObjFindByQuery(uint32_t mask, void *parameter) {
  if (!Lock()) return -1;
  int found = -1;
  VisitMatching(mask, [&](ObjectEntry *object) {
    if (AskObject(object, kQueryMethod, parameter) == 0) return false;
    found = object->id;
    return true;
  });
  return found;
}
