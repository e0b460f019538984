// The runtime's error objects. Raising is a C++ throw of the object by value,
// so a handler catches a family by its base class: `catch (const
// TVostleException&)` takes every runtime error, `catch (const Object&)` every
// raised object. Plain-text errors are raised as a String.
#pragma once

#include "runtime/Object.h"
#include "runtime/String.h"

class TVostleException : public Object {};

class TNullObjectException : public TVostleException {
public:
    String ToString() const override;
};

class TNullMethodException : public TVostleException {
public:
    String ToString() const override;
};

class TNullFunctionException : public TVostleException {
public:
    String ToString() const override;
};

class TArrayBoundsException : public TVostleException {
public:
    String ToString() const override;
};

class TOutOfDataException : public TVostleException {
public:
    String ToString() const override;
};

class TRuntimeException : public TVostleException {
public:
    TRuntimeException() = default;
    explicit TRuntimeException(String error) : error(std::move(error)) {}
    static Ref<TRuntimeException> Create(const String& error) { return New<TRuntimeException>(error); }
    String ToString() const override { return error; }

    String error;
};

[[noreturn]] void RaiseAbstractCall();
[[noreturn]] void RaiseNullFunction();
[[noreturn]] void RaiseArrayBounds();
[[noreturn]] void RaiseOutOfData();
[[noreturn]] void RaiseRuntimeError(const String& message);
// Raises a plain string as the exception object.
[[noreturn]] void RaiseText(const String& text);

// The text of whatever was raised, for handlers that only report: the
// object's ToString, or the raised string itself. Call inside a catch block.
String DescribeCurrentException();
