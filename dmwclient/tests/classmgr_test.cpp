#include "classmgr.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;

// A gate that threads wait at until it is opened.
class Gate {
 public:
  void Open() {
    std::lock_guard<std::mutex> hold(mutex_);
    open_ = true;
    changed_.notify_all();
  }
  void Wait() {
    std::unique_lock<std::mutex> hold(mutex_);
    changed_.wait(hold, [this] { return open_; });
  }
  bool WaitFor(std::chrono::milliseconds limit) {
    std::unique_lock<std::mutex> hold(mutex_);
    return changed_.wait_for(hold, limit, [this] { return open_; });
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  bool open_ = false;
};

// What the test class's callbacks saw. The creation argument points here.
struct Probe {
  bool refuse = false;
  Gate *createGate = nullptr;   // create waits here when set
  Gate *createEntered = nullptr;
  Gate *requestGate = nullptr;  // requests of method 1 wait here when set
  Gate *requestEntered = nullptr;
  std::atomic<int> created{0};
  std::atomic<int> freed{0};
  std::atomic<int> freedWhileBusy{0};  // frees that met a request inside
  std::mutex mutex;
  std::vector<std::string> calls;
  void Note(const std::string &call) {
    std::lock_guard<std::mutex> hold(mutex);
    calls.push_back(call);
  }
};

struct Object {
  Probe *probe;
  int id;
  std::atomic<int> inside{0};  // requests inside the callback
};

void *CreateObject(int id, void *argument) {
  Probe *probe = static_cast<Probe *>(argument);
  if (probe->createEntered) probe->createEntered->Open();
  if (probe->createGate) probe->createGate->Wait();
  if (probe->refuse) return nullptr;
  probe->created++;
  Object *object = new Object;
  object->probe = probe;
  object->id = id;
  return object;
}

constexpr int kQuery = static_cast<int>(0x80000001u);

int RequestObject(void *data, int method, void *parameter, void *buffer, int *length) {
  Object *object = static_cast<Object *>(data);
  Probe *probe = object->probe;
  if (method == kQuery) {
    // "Are you in group <parameter>?"
    probe->Note("query " + std::to_string(object->id));
    return (object->id >> 16) == static_cast<int>(reinterpret_cast<intptr_t>(parameter));
  }
  object->inside++;
  probe->Note("request " + std::to_string(object->id) + " " + std::to_string(method));
  if (method == 1 && probe->requestGate) {
    probe->requestEntered->Open();
    probe->requestGate->Wait();
  }
  if (buffer && length && *length >= 4) {
    int answer = object->id + static_cast<int>(reinterpret_cast<intptr_t>(parameter));
    std::memcpy(buffer, &answer, 4);
    *length = 4;
  }
  object->inside--;
  return method * 10;
}

void FreeObject(void *data) {
  Object *object = static_cast<Object *>(data);
  if (object->inside != 0) object->probe->freedWhileBusy++;
  object->probe->freed++;
  object->probe->Note("free " + std::to_string(object->id));
  delete object;
}

const ClassCallbacks kCallbacks = {CreateObject, RequestObject, FreeObject};
constexpr uint32_t kTag = 0x1010;
constexpr uint32_t kOtherTag = 0x80000;

class ClassMgrTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(ClassMgrInit(), 0);
    ASSERT_EQ(_cmRegisterClass(kTag, &kCallbacks), 1);
    ASSERT_EQ(_cmRegisterClass(kOtherTag, &kCallbacks), 1);
  }
  void TearDown() override { ClassMgrDone(); }
  // The answer an object gives to a request of method 2.
  int Ask(int id, int *length = nullptr) {
    int answer = 0;
    int room = 4;
    int result = _ObjRequest(id, 2, nullptr, &answer, length ? length : &room);
    return result == 20 ? answer : result;
  }
  Probe probe;
};

TEST_F(ClassMgrTest, IdsAreGroupAndSlotAndFreedSlotsAreReused) {
  EXPECT_EQ(_ObjCreate(3, kTag, &probe), 0x30000);
  EXPECT_EQ(_ObjCreate(3, kTag, &probe), 0x30001);
  EXPECT_EQ(_ObjCreate(0, kTag, &probe), 0);
  EXPECT_EQ(Ask(0x30001), 0x30001);
  _ObjFree(0x30000);
  EXPECT_EQ(probe.freed, 1);
  EXPECT_EQ(_ObjCreate(3, kOtherTag, &probe), 0x30000);
  EXPECT_EQ(Ask(0x30000), 0x30000);
}

TEST_F(ClassMgrTest, RequestsReachTheObjectAndMissingOnesFail) {
  int id = _ObjCreate(1, kTag, &probe);
  ASSERT_EQ(id, 0x10000);
  int answer = 0;
  int length = 4;
  EXPECT_EQ(_ObjRequest(id, 3, reinterpret_cast<void *>(intptr_t{5}), &answer, &length), 30);
  EXPECT_EQ(answer, 0x10005);
  EXPECT_EQ(length, 4);
  for (int missing : {0x10001, 0x20000, -1, 0x7FFFFFFF}) {
    length = 4;
    EXPECT_EQ(_ObjRequest(missing, 3, nullptr, &answer, &length), -1) << missing;
    EXPECT_EQ(length, 0);
  }
  EXPECT_EQ(_ObjRequest(0x10001, 3, nullptr, nullptr, nullptr), -1);
}

TEST_F(ClassMgrTest, RefusedCreateLeavesNoObject) {
  probe.refuse = true;
  EXPECT_EQ(_ObjCreate(3, kTag, &probe), -1);
  int length = 4;
  EXPECT_EQ(Ask(0x30000, &length), -1);
  EXPECT_EQ(length, 0);
  probe.refuse = false;
  EXPECT_EQ(_ObjCreate(3, kTag, &probe), 0x30000);
  EXPECT_EQ(probe.freed, 0);
}

TEST_F(ClassMgrTest, CreateIsRefusedForBadInput) {
  EXPECT_EQ(_ObjCreate(0, 0x4444, &probe), -1);  // unknown class
  EXPECT_EQ(_ObjCreate(-1, kTag, &probe), -1);
  EXPECT_EQ(_ObjCreate(0x8000, kTag, &probe), -1);
  EXPECT_EQ(_cmRegisterClass(0x4444, nullptr), 0);
  EXPECT_EQ(probe.created, 0);
}

TEST(ClassMgrNotSetUp, CallsAreInert) {
  Probe probe;
  EXPECT_EQ(_cmRegisterClass(kTag, &kCallbacks), 0);
  EXPECT_EQ(_ObjCreate(0, kTag, &probe), -1);
  EXPECT_EQ(_ObjRequest(0, 1, nullptr, nullptr, nullptr), 0);
  EXPECT_EQ(_ObjBroadcast(kTag, 1, nullptr), -1);
  _ObjFree(0);
  _cmClearObjects(0);
  _cmUnregisterClass(kTag);
  EXPECT_EQ(ObjClassTag(0), -1);
  ObjIterator walk = ObjIterCreate(kTag);
  EXPECT_EQ(ObjIterNext(&walk), -1);
  EXPECT_EQ(ObjCount(-1, -1), 0);
  EXPECT_EQ(ObjFindByQuery(kTag, nullptr), -1);
  ClassMgrDone();
}

TEST_F(ClassMgrTest, BroadcastReachesEveryObjectOfTheMask) {
  int a = _ObjCreate(0, kTag, &probe);
  int b = _ObjCreate(5, kTag, &probe);
  int other = _ObjCreate(5, kOtherTag, &probe);
  ASSERT_GE(a, 0);
  ASSERT_GE(other, 0);
  EXPECT_EQ(_ObjBroadcast(0x1010, 4, nullptr), 0);
  EXPECT_EQ(probe.calls, (std::vector<std::string>{"request " + std::to_string(a) + " 4",
                                                   "request " + std::to_string(b) + " 4"}));
  probe.calls.clear();
  EXPECT_EQ(_ObjBroadcast(0x10, 6, nullptr), 0);  // one bit in common is enough
  EXPECT_EQ(probe.calls.size(), 2u);
  probe.calls.clear();
  EXPECT_EQ(_ObjBroadcast(0x2000, 6, nullptr), 0);
  EXPECT_TRUE(probe.calls.empty());
}

std::vector<int> Walk(uint32_t mask) {
  std::vector<int> ids;
  ObjIterator walk = ObjIterCreate(mask);
  for (int id = ObjIterNext(&walk); id != -1; id = ObjIterNext(&walk)) ids.push_back(id);
  EXPECT_EQ(ObjIterNext(&walk), -1) << "a finished walk stays finished";
  return ids;
}

void *GroupArgument(int group) { return reinterpret_cast<void *>(intptr_t{group}); }

TEST_F(ClassMgrTest, QueriesSeeTheLiveObjects) {
  int a = _ObjCreate(3, kTag, &probe);
  int b = _ObjCreate(3, kOtherTag, &probe);
  int c = _ObjCreate(5, kTag, &probe);
  ASSERT_EQ(std::vector<int>({a, b, c}), std::vector<int>({0x30000, 0x30001, 0x50000}));

  EXPECT_EQ(ObjClassTag(a), kTag);
  EXPECT_EQ(ObjClassTag(b), kOtherTag);
  for (int missing : {0x30002, 0x40000, -1}) EXPECT_EQ(ObjClassTag(missing), -1) << missing;

  EXPECT_EQ(Walk(kTag), std::vector<int>({a, c}));
  EXPECT_EQ(Walk(kTag | kOtherTag), std::vector<int>({a, b, c}));
  EXPECT_EQ(Walk(0x10), std::vector<int>({a, c})) << "one bit in common is enough";
  EXPECT_TRUE(Walk(0x2000).empty());

  const struct {
    int64_t tag;
    int group;
    int count;
  } counts[] = {{-1, -1, 3}, {kTag, -1, 2}, {kTag, 3, 1}, {-1, 5, 1}, {kOtherTag, 5, 0},
                {0x10, -1, 0}, {-1, 9, 0}};
  for (const auto &count : counts)
    EXPECT_EQ(ObjCount(count.tag, count.group), count.count) << count.tag << " in " << count.group;

  // The question goes to each matching object in turn, up to the first yes.
  EXPECT_EQ(ObjFindByQuery(kTag | kOtherTag, GroupArgument(5)), c);
  EXPECT_EQ(probe.calls, (std::vector<std::string>{"query " + std::to_string(a),
                                                   "query " + std::to_string(b),
                                                   "query " + std::to_string(c)}));
  probe.calls.clear();
  EXPECT_EQ(ObjFindByQuery(kTag | kOtherTag, GroupArgument(3)), a);
  EXPECT_EQ(probe.calls.size(), 1u);
  EXPECT_EQ(ObjFindByQuery(kOtherTag, GroupArgument(5)), -1);
  EXPECT_EQ(ObjFindByQuery(0x2000, GroupArgument(3)), -1);

  _ObjFree(a);
  EXPECT_EQ(ObjClassTag(a), -1);
  EXPECT_EQ(Walk(kTag), std::vector<int>({c}));
  EXPECT_EQ(ObjCount(-1, 3), 1);
  EXPECT_EQ(ObjFindByQuery(kTag | kOtherTag, GroupArgument(3)), b);
}

TEST_F(ClassMgrTest, AnObjectBeingCreatedIsNotYetLive) {
  Gate createGate, createEntered;
  probe.createGate = &createGate;
  probe.createEntered = &createEntered;
  std::atomic<int> id{-1};
  std::thread creating([&] { id = _ObjCreate(4, kTag, &probe); });
  ASSERT_TRUE(createEntered.WaitFor(10s));
  EXPECT_EQ(ObjClassTag(0x40000), -1);
  EXPECT_EQ(ObjCount(kTag, 4), 0);
  EXPECT_TRUE(Walk(kTag).empty());
  EXPECT_EQ(ObjFindByQuery(kTag, GroupArgument(4)), -1);
  createGate.Open();
  creating.join();
  EXPECT_EQ(id, 0x40000);
  EXPECT_EQ(ObjCount(kTag, 4), 1);
  EXPECT_EQ(ObjFindByQuery(kTag, GroupArgument(4)), 0x40000);
}

TEST_F(ClassMgrTest, UnregisterFreesTheClassObjectsInEveryGroup) {
  ASSERT_GE(_ObjCreate(1, kTag, &probe), 0);
  ASSERT_GE(_ObjCreate(2, kTag, &probe), 0);
  int other = _ObjCreate(2, kOtherTag, &probe);
  _cmUnregisterClass(kTag);
  EXPECT_EQ(probe.freed, 2);
  EXPECT_EQ(_ObjCreate(1, kTag, &probe), -1);
  EXPECT_EQ(Ask(other), other);
}

TEST_F(ClassMgrTest, ClearObjectsFreesOneGroup) {
  ASSERT_GE(_ObjCreate(1, kTag, &probe), 0);
  ASSERT_GE(_ObjCreate(1, kOtherTag, &probe), 0);
  int kept = _ObjCreate(2, kTag, &probe);
  _cmClearObjects(1);
  EXPECT_EQ(probe.freed, 2);
  EXPECT_EQ(Ask(0x10000), -1);
  EXPECT_EQ(Ask(kept), kept);
  EXPECT_EQ(_ObjCreate(1, kTag, &probe), 0x10000);  // the group comes back
}

TEST_F(ClassMgrTest, TearDownFreesEveryObject) {
  ASSERT_GE(_ObjCreate(1, kTag, &probe), 0);
  ASSERT_GE(_ObjCreate(9, kOtherTag, &probe), 0);
  ClassMgrDone();
  EXPECT_EQ(probe.freed, 2);
  EXPECT_EQ(_ObjCreate(1, kTag, &probe), -1);
}

// A class whose callbacks call the manager back: create and free ask the
// object gNestedTarget, request creates and frees an object of kTag.
int gNestedTarget = -1;
std::atomic<int> gNestedAnswers{0};
Probe *gNestedProbe;

int AskTarget() {
  int answer = 0;
  int length = 4;
  return _ObjRequest(gNestedTarget, 2, nullptr, &answer, &length) == 20 ? answer : -1;
}

void *CreateNesting(int, void *) {
  if (AskTarget() == gNestedTarget) gNestedAnswers++;
  return &gNestedAnswers;
}

int RequestNesting(void *, int, void *, void *, int *) {
  int id = _ObjCreate(7, kTag, gNestedProbe);
  _ObjFree(id);
  return id;
}

void FreeNesting(void *) {
  if (AskTarget() == gNestedTarget) gNestedAnswers++;
}

TEST_F(ClassMgrTest, CallbacksMayCallTheManager) {
  const ClassCallbacks nesting = {CreateNesting, RequestNesting, FreeNesting};
  ASSERT_EQ(_cmRegisterClass(0x4000, &nesting), 1);
  gNestedProbe = &probe;
  gNestedTarget = _ObjCreate(1, kTag, &probe);
  int id = _ObjCreate(2, 0x4000, nullptr);
  ASSERT_EQ(id, 0x20000);
  EXPECT_EQ(_ObjRequest(id, 1, nullptr, nullptr, nullptr), 0x70000);
  EXPECT_EQ(_ObjBroadcast(0x4000, 1, nullptr), 0);
  _cmUnregisterClass(0x4000);
  EXPECT_EQ(gNestedAnswers, 2);
  EXPECT_EQ(probe.created, 3);
  EXPECT_EQ(probe.freed, 2);
}

// Waits (bounded) until the object no longer answers.
bool BecomesUnreachable(int id) {
  for (int i = 0; i < 1000; i++) {
    int length = 4;
    int answer;
    if (_ObjRequest(id, 2, nullptr, &answer, &length) == -1) return true;
    std::this_thread::sleep_for(5ms);
  }
  return false;
}

TEST_F(ClassMgrTest, FreeWaitsForTheRequestInsideAndRefusesNewOnes) {
  Gate requestGate, requestEntered;
  probe.requestGate = &requestGate;
  probe.requestEntered = &requestEntered;
  int id = _ObjCreate(0, kTag, &probe);
  ASSERT_EQ(id, 0);

  std::thread inside([&] { EXPECT_EQ(_ObjRequest(id, 1, nullptr, nullptr, nullptr), 10); });
  ASSERT_TRUE(requestEntered.WaitFor(10s));
  std::atomic<bool> freeReturned{false};
  std::thread freeing([&] {
    _ObjFree(id);
    freeReturned = true;
  });
  ASSERT_TRUE(BecomesUnreachable(id));  // closing: new requests get -1
  size_t callsWhileClosing;
  {
    std::lock_guard<std::mutex> hold(probe.mutex);
    callsWhileClosing = probe.calls.size();
  }
  EXPECT_EQ(Ask(id), -1);
  EXPECT_EQ(_ObjBroadcast(kTag, 7, nullptr), 0);
  std::this_thread::sleep_for(150ms);
  EXPECT_FALSE(freeReturned);
  EXPECT_EQ(probe.freed, 0);
  {
    std::lock_guard<std::mutex> hold(probe.mutex);
    EXPECT_EQ(probe.calls.size(), callsWhileClosing);  // nothing reached the callback
  }
  requestGate.Open();
  inside.join();
  freeing.join();
  EXPECT_EQ(probe.freed, 1);
  EXPECT_EQ(probe.freedWhileBusy, 0);
}

TEST_F(ClassMgrTest, UnregisterDuringCreateFreesTheNewObjectOnce) {
  Gate createGate, createEntered;
  probe.createGate = &createGate;
  probe.createEntered = &createEntered;
  std::atomic<int> id{0};
  std::thread creating([&] { id = _ObjCreate(0, kTag, &probe); });
  ASSERT_TRUE(createEntered.WaitFor(10s));
  EXPECT_EQ(Ask(0), -1);  // not created yet: no requests
  std::thread unregistering([&] { _cmUnregisterClass(kTag); });
  std::this_thread::sleep_for(50ms);
  createGate.Open();
  creating.join();
  unregistering.join();
  EXPECT_EQ(id, -1);
  EXPECT_EQ(probe.created, 1);
  EXPECT_EQ(probe.freed, 1);
}

TEST_F(ClassMgrTest, ConcurrentRequestsAndFreesNeverMeetAFreedObject) {
  constexpr int kObjects = 8;
  std::vector<int> ids;
  for (int i = 0; i < kObjects; i++) ids.push_back(_ObjCreate(i % 2, kTag, &probe));
  std::atomic<bool> stop{false};
  std::vector<std::thread> askers;
  for (int t = 0; t < 3; t++)
    askers.emplace_back([&] {
      while (!stop)
        for (int id : ids) Ask(id);
    });
  std::thread broadcaster([&] {
    while (!stop) _ObjBroadcast(kTag, 5, nullptr);
  });
  for (int id : ids) {
    std::this_thread::sleep_for(2ms);
    _ObjFree(id);
  }
  stop = true;
  for (auto &asker : askers) asker.join();
  broadcaster.join();
  EXPECT_EQ(probe.freed, kObjects);
  EXPECT_EQ(probe.freedWhileBusy, 0);
}

}  // namespace
