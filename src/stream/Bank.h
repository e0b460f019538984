// Growable memory blocks and the seekable stream over them.
#pragma once

#include <cstdint>

#include "runtime/Object.h"
#include "stream/Stream.h"
#include "stream/StreamFactory.h"

class TBank : public Object {
public:
    ~TBank() override;

    virtual int32_t _pad() { return 0; }
    virtual uint8_t* Buf() { return _buf; }
    virtual uint8_t* Lock();
    virtual int32_t Unlock();
    virtual int32_t Size() { return _size; }
    // -1 for a static bank over memory it does not own.
    virtual int32_t Capacity() { return _capacity; }
    // Grows the capacity by 3/2 (at least to `size`); a static bank becomes
    // owned. Shrinking keeps the memory. Pointers from Buf/Lock are stale
    // after growing.
    virtual int32_t Resize(int32_t size);
    // The stream's Read/Write into or from the bank at `offset`.
    virtual int32_t Read(const Ref<TStream>& stream, int32_t offset, int32_t count);
    virtual int32_t Write(const Ref<TStream>& stream, int32_t offset, int32_t count);
    // Little-endian values at any offset; an access outside 0 .. Size()
    // raises a TRuntimeException instead of touching foreign memory.
    virtual int32_t PeekByte(int32_t offset);
    virtual int32_t PokeByte(int32_t offset, int32_t value);
    virtual int32_t PeekShort(int32_t offset);
    virtual int32_t PokeShort(int32_t offset, int32_t value);
    virtual int32_t PeekInt(int32_t offset);
    virtual int32_t PokeInt(int32_t offset, int32_t value);
    virtual int64_t PeekLong(int32_t offset);
    virtual int32_t PokeLong(int32_t offset, int64_t value);
    virtual float PeekFloat(int32_t offset);
    virtual int32_t PokeFloat(int32_t offset, float value);
    virtual double PeekDouble(int32_t offset);
    virtual int32_t PokeDouble(int32_t offset, double value);
    // 1 when the whole bank was written, 0 when the URL cannot be opened.
    virtual int32_t Save(const Ref<Object>& url);

    // The null object when the URL cannot be opened.
    static Ref<TBank> Load(const Ref<Object>& url);
    static Ref<TBank> Create(int32_t size);
    static Ref<TBank> CreateStatic(uint8_t* buf, int32_t size);

private:
    uint8_t* Range(int32_t offset, int32_t width);

    uint8_t* _buf = nullptr;
    int32_t _size = 0;
    int32_t _capacity = 0;
    int32_t _locked = 0;
};

class TBankStream : public TStream {
public:
    int32_t Pos() override { return _pos; }
    int32_t Size() override;
    // Clamped to 0 .. bank size.
    int32_t Seek(int32_t pos) override;
    int32_t Read(void* buf, int32_t count) override;
    // Grows the bank when writing past its end; 0 at a position past the end.
    int32_t Write(const void* buf, int32_t count) override;

    static Ref<TBankStream> Create(const Ref<TBank>& bank);
    const Ref<TBank>& Bank() const { return _bank; }

private:
    int32_t _pos = 0;
    Ref<TBank> _bank;
};

// Accepts a TBank object as the URL, whatever the protocol.
class TBankStreamFactory : public TStreamFactory {
public:
    Ref<TStream> CreateStream(const Ref<Object>& url, const String& proto, const String& path, int32_t readable,
                              int32_t writeable) override;
};

// A stream over `bank`, or over a new empty bank when it is the null object.
Ref<TBankStream> NewBankStream(const Ref<TBank>& bank);

// Module-level bank functions.
Ref<TBank> CreateBank(int32_t size);
Ref<TBank> CreateStaticBank(uint8_t* buf, int32_t size);
Ref<TBank> LoadBank(const Ref<Object>& url);
Ref<TBank> LoadBank(const String& url);
int32_t SaveBank(const Ref<TBank>& bank, const Ref<Object>& url);
int32_t SaveBank(const Ref<TBank>& bank, const String& url);
uint8_t* BankBuf(const Ref<TBank>& bank);
uint8_t* LockBank(const Ref<TBank>& bank);
int32_t UnlockBank(const Ref<TBank>& bank);
int32_t BankSize(const Ref<TBank>& bank);
int32_t BankCapacity(const Ref<TBank>& bank);
int32_t ResizeBank(const Ref<TBank>& bank, int32_t size);
int32_t ReadBank(const Ref<TBank>& bank, const Ref<TStream>& stream, int32_t offset, int32_t count);
int32_t WriteBank(const Ref<TBank>& bank, const Ref<TStream>& stream, int32_t offset, int32_t count);
int32_t PeekByte(const Ref<TBank>& bank, int32_t offset);
int32_t PokeByte(const Ref<TBank>& bank, int32_t offset, int32_t value);
int32_t PeekShort(const Ref<TBank>& bank, int32_t offset);
int32_t PokeShort(const Ref<TBank>& bank, int32_t offset, int32_t value);
int32_t PeekInt(const Ref<TBank>& bank, int32_t offset);
int32_t PokeInt(const Ref<TBank>& bank, int32_t offset, int32_t value);
int64_t PeekLong(const Ref<TBank>& bank, int32_t offset);
int32_t PokeLong(const Ref<TBank>& bank, int32_t offset, int64_t value);
float PeekFloat(const Ref<TBank>& bank, int32_t offset);
int32_t PokeFloat(const Ref<TBank>& bank, int32_t offset, float value);
double PeekDouble(const Ref<TBank>& bank, int32_t offset);
int32_t PokeDouble(const Ref<TBank>& bank, int32_t offset, double value);
// Copies `count` bytes between (possibly overlapping) ranges; both ranges must
// lie inside their banks, else a TRuntimeException.
int32_t CopyBankRange(const Ref<TBank>& srcBank, int32_t srcOffset, const Ref<TBank>& dstBank, int32_t dstOffset,
                      int32_t count);

// Module initialiser of memory banks and bank streams (creates the bank
// stream factory).
void InitBank();
