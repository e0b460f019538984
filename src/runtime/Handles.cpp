#include "runtime/Handles.h"

#include <cstdint>
#include <memory>

namespace {

constexpr int kBuckets = 1024;

struct Entry {
    int32_t handle;
    Ref<Object> object;
    Entry* nextByHandle;
    Entry* nextByObject;
};

// Two chained hash maps over the same entries: handle to object and object
// to handle.
struct HandleMaps {
    Entry* byHandle[kBuckets] = {};
    Entry* byObject[kBuckets] = {};
    uint32_t counter = 0;

    static int HandleBucket(int32_t handle) { return static_cast<int>(static_cast<uint32_t>(handle) % kBuckets); }
    static int ObjectBucket(const Object* object) {
        return static_cast<int>((reinterpret_cast<uintptr_t>(object) / 8) % kBuckets);
    }

    Entry* FindHandle(int32_t handle) const {
        for (Entry* e = byHandle[HandleBucket(handle)]; e; e = e->nextByHandle)
            if (e->handle == handle) return e;
        return nullptr;
    }
    Entry* FindObject(const Object* object) const {
        for (Entry* e = byObject[ObjectBucket(object)]; e; e = e->nextByObject)
            if (e->object.Get() == object) return e;
        return nullptr;
    }
    int32_t NextHandle() {
        // After a wrap-around, skip 0 and any handle still in use.
        for (;;) {
            int32_t h = static_cast<int32_t>(++counter);
            if (h != 0 && !FindHandle(h)) return h;
        }
    }
};

HandleMaps& Maps() {
    static HandleMaps maps;
    return maps;
}

template <class Next>
void Unchain(Entry** head, Entry* entry, Next next) {
    for (Entry** p = head; *p; p = &((*p)->*next)) {
        if (*p == entry) {
            *p = entry->*next;
            return;
        }
    }
}

}  // namespace

int32_t ObjectHandle(const Ref<Object>& object) {
    if (!object) return 0;
    HandleMaps& maps = Maps();
    if (Entry* e = maps.FindObject(object.Get())) return e->handle;
    auto* e = new Entry{maps.NextHandle(), object, nullptr, nullptr};
    Entry*& handleHead = maps.byHandle[HandleMaps::HandleBucket(e->handle)];
    e->nextByHandle = handleHead;
    handleHead = e;
    Entry*& objectHead = maps.byObject[HandleMaps::ObjectBucket(object.Get())];
    e->nextByObject = objectHead;
    objectHead = e;
    return e->handle;
}

Ref<Object> ObjectFromHandle(int32_t handle) {
    if (handle == 0) return nullptr;
    Entry* e = Maps().FindHandle(handle);
    return e ? e->object : nullptr;
}

void ReleaseObjectHandle(int32_t handle) {
    HandleMaps& maps = Maps();
    Entry* e = handle ? maps.FindHandle(handle) : nullptr;
    if (!e) return;
    Unchain(&maps.byHandle[HandleMaps::HandleBucket(handle)], e, &Entry::nextByHandle);
    Unchain(&maps.byObject[HandleMaps::ObjectBucket(e->object.Get())], e, &Entry::nextByObject);
    delete e;  // drops the handle's reference last, after the maps are consistent
}

void SetObjectHandleCounterForTests(uint32_t value) { Maps().counter = value; }
