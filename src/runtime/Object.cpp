#include "runtime/Object.h"

#include "runtime/Errors.h"
#include "runtime/String.h"

String Object::ToString() const {
    // The address as the Windows C runtime prints a pointer: upper-case
    // hexadecimal, as many digits as a pointer has (eight on 32-bit), on
    // every platform alike.
    auto address = reinterpret_cast<uintptr_t>(this);
    if constexpr (sizeof address == 4) return HexText(static_cast<int32_t>(address));
    else return LongHexText(static_cast<int64_t>(address));
}

int32_t Object::Compare(const Object* other) const {
    auto a = reinterpret_cast<uintptr_t>(this);
    auto b = reinterpret_cast<uintptr_t>(other);
    // The sign of the address difference: the difference itself does not fit
    // 32 bits on 64-bit builds.
    return a < b ? -1 : (a > b ? 1 : 0);
}

Ref<Object> Object::PassMessage(const Ref<Object>&) { return nullptr; }

void Object::Reserved1() { RaiseText("Illegal call to reserved method"); }
void Object::Reserved2() { RaiseText("Illegal call to reserved method"); }
void Object::Reserved3() { RaiseText("Illegal call to reserved method"); }

int32_t CompareObjects(const Object* a, const Object* b) {
    if (!a || !b) return (a ? 1 : 0) - (b ? 1 : 0);
    return a->Compare(b);
}
