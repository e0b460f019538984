// Opening streams from URLs: a plain path opens a file, "proto::path" is
// offered to the chain of stream factories (newest first), an open stream is
// handed back in a detaching wrapper, and other objects (a memory bank) go to
// the factories with an empty protocol.
#pragma once

#include <cstdint>
#include <vector>

#include "runtime/Object.h"
#include "runtime/String.h"
#include "stream/Stream.h"

class TStreamFactory : public Object {
public:
    // Constructing a factory registers it at the head of the chain; factories
    // live for the whole run.
    TStreamFactory();

    // The stream for `url`, or the null object when this factory does not
    // accept it. `proto` is lower case, `path` the text after the first "::".
    // The base raises the abstract-method error.
    virtual Ref<TStream> CreateStream(const Ref<Object>& url, const String& proto, const String& path,
                                      int32_t readable, int32_t writeable);

    // The next factory in the chain (the null object at the end).
    const Ref<TStreamFactory>& Successor() const { return _succ; }

private:
    Ref<TStreamFactory> _succ;
};

// The most recently registered factory, where every search starts.
Ref<TStreamFactory> StreamFactoryChain();

// Every failure (missing file, unknown protocol, refused connection) gives the
// null object; nothing is raised.
Ref<TStream> OpenUrlStream(const Ref<Object>& url, int32_t readable, int32_t writeable);
Ref<TStream> OpenUrlStream(const String& url, int32_t readable, int32_t writeable);
Ref<TStream> OpenUrlForReading(const Ref<Object>& url);
Ref<TStream> OpenUrlForReading(const String& url);
Ref<TStream> OpenUrlForWriting(const Ref<Object>& url);
Ref<TStream> OpenUrlForWriting(const String& url);

// Whole-resource helpers: an URL that cannot be opened raises
// TStreamReadException (reading) or TStreamWriteException (writing).
std::vector<uint8_t> SlurpBytes(const Ref<Object>& url);
std::vector<uint8_t> SlurpBytes(const String& url);
String SlurpText8(const Ref<Object>& url);
String SlurpText8(const String& url);
int32_t DumpBytes(const std::vector<uint8_t>& bytes, const Ref<Object>& url);
int32_t DumpBytes(const std::vector<uint8_t>& bytes, const String& url);
int32_t DumpText8(const String& str, const Ref<Object>& url);
int32_t DumpText8(const String& str, const String& url);
Ref<Object> SlurpObject(const Ref<Object>& url);
int32_t DumpObject(const Ref<Object>& obj, const Ref<Object>& url);
