#include "runtime/Errors.h"

#include <cstdio>
#include <exception>

String TNullObjectException::ToString() const { return "Attempt to access field or method of Null object"; }
String TNullMethodException::ToString() const { return "Attempt to call abstract method"; }
String TNullFunctionException::ToString() const { return "Attempt to call uninitialized function pointer"; }
String TArrayBoundsException::ToString() const { return "Attempt to index array element beyond array length"; }
String TOutOfDataException::ToString() const { return "Attempt to read beyond end of data"; }

void RaiseNullObject() { throw TNullObjectException(); }
void RaiseAbstractCall() { throw TNullMethodException(); }
void RaiseNullFunction() { throw TNullFunctionException(); }
void RaiseArrayBounds() { throw TArrayBoundsException(); }
void RaiseOutOfData() { throw TOutOfDataException(); }
void RaiseRuntimeError(const String& message) { throw TRuntimeException(message); }
void RaiseText(const String& text) { throw text; }

String DescribeCurrentException() {
    try {
        throw;
    } catch (const Object& object) {
        return object.ToString();
    } catch (const String& text) {
        return text;
    } catch (const std::bad_alloc&) {
        return "Out of memory";
    } catch (const std::exception& e) {
        return String(e.what());
    } catch (...) {
        return "Unknown exception";
    }
}
