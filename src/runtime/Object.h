// The root of every framework and application type: an intrusively
// reference-counted object, the smart reference that keeps it alive, and the
// checked cast. An empty Ref is the null object. Counts are not atomic:
// framework objects, strings included, are made, shared and released on the
// main thread only; worker threads keep to plain C++ data.
#pragma once

#include <cstddef>
#include <cstdint>
#include <type_traits>
#include <utility>

class String;
template <class T> class Ref;

// Raising lives with the error types; the reference needs it on a null access.
[[noreturn]] void RaiseNullObject();

class Object {
public:
    Object() noexcept { ++_live; }
    // A copy is a new object (exceptions are thrown by value): it starts with
    // no references of its own.
    Object(const Object&) noexcept { ++_live; }
    Object& operator=(const Object&) noexcept { return *this; }
    virtual ~Object() { --_live; }

    // Virtual operations in the order every class has them.
    virtual String ToString() const;
    // Orders two objects; the default is the order of their addresses.
    virtual int32_t Compare(const Object* other) const;
    virtual Ref<Object> PassMessage(const Ref<Object>& message);
    virtual void Reserved1();
    virtual void Reserved2();
    virtual void Reserved3();

    void AddRef() const noexcept { ++_refs; }
    void Release() const noexcept {
        if (--_refs == 0) delete this;
    }
    int32_t RefCount() const noexcept { return _refs; }

    // Objects alive right now; tests use it to prove that nothing leaks.
    static int64_t LiveCount() noexcept { return _live; }

protected:
    // For objects with static storage that must never be destroyed.
    struct Immortal {};
    constexpr explicit Object(Immortal, int32_t refs) noexcept : _refs(refs) {}
    // The static empty string names the tag while building its storage.
    friend struct EmptyStringStorage;

private:
    mutable int32_t _refs = 0;
    static inline int64_t _live = 0;
};

// Intrusive counted reference. Dereferencing the null object raises
// TNullObjectException instead of crashing.
template <class T>
class Ref {
public:
    constexpr Ref() noexcept = default;
    constexpr Ref(std::nullptr_t) noexcept {}
    Ref(T* p) noexcept : _p(p) {
        if (_p) _p->AddRef();
    }
    Ref(const Ref& o) noexcept : Ref(o._p) {}
    Ref(Ref&& o) noexcept : _p(std::exchange(o._p, nullptr)) {}
    template <class U, class = std::enable_if_t<std::is_convertible_v<U*, T*>>>
    Ref(const Ref<U>& o) noexcept : Ref(static_cast<T*>(o.Get())) {}
    template <class U, class = std::enable_if_t<std::is_convertible_v<U*, T*>>>
    Ref(Ref<U>&& o) noexcept : _p(static_cast<T*>(o.Detach())) {}
    ~Ref() {
        if (_p) _p->Release();
    }

    Ref& operator=(const Ref& o) noexcept {
        Ref(o).Swap(*this);
        return *this;
    }
    Ref& operator=(Ref&& o) noexcept {
        Ref(std::move(o)).Swap(*this);
        return *this;
    }

    T* operator->() const {
        if (!_p) RaiseNullObject();
        return _p;
    }
    T& operator*() const {
        if (!_p) RaiseNullObject();
        return *_p;
    }
    T* Get() const noexcept { return _p; }
    bool IsNull() const noexcept { return _p == nullptr; }
    explicit operator bool() const noexcept { return _p != nullptr; }

    // Gives up ownership without releasing (for moves across types).
    T* Detach() noexcept { return std::exchange(_p, nullptr); }
    void Swap(Ref& o) noexcept { std::swap(_p, o._p); }

    template <class U>
    bool operator==(const Ref<U>& o) const noexcept {
        return static_cast<const void*>(_p) == static_cast<const void*>(o.Get());
    }
    bool operator==(std::nullptr_t) const noexcept { return _p == nullptr; }

private:
    T* _p = nullptr;
};

template <class T, class... Args>
Ref<T> New(Args&&... args) {
    return Ref<T>(new T(std::forward<Args>(args)...));
}

// Checked cast: the object itself when it is a T (or derives from it), the
// null object otherwise.
template <class T, class U>
Ref<T> Cast(const Ref<U>& o) noexcept {
    return Ref<T>(dynamic_cast<T*>(o.Get()));
}

// Ordering used wherever two possibly-null objects are compared: the null
// object equals only itself and sorts first.
int32_t CompareObjects(const Object* a, const Object* b);
