#include "stream/Bank.h"

#include <cstdlib>
#include <cstring>
#include <limits>
#include <new>

#include "runtime/Errors.h"
#include "runtime/Program.h"
#include "runtime/ScopeExit.h"
#include "stream/Endian.h"

namespace {

constexpr int64_t kMaxSize = std::numeric_limits<int32_t>::max();

uint8_t* Allocate(int32_t bytes) {
    // calloc: callers must not rely on the contents, but reading them must
    // not be undefined either.
    void* p = std::calloc(bytes > 0 ? static_cast<size_t>(bytes) : 1, 1);
    if (!p) throw std::bad_alloc();
    return static_cast<uint8_t*>(p);
}

}  // namespace

TBank::~TBank() {
    if (_capacity >= 0) std::free(_buf);
}

uint8_t* TBank::Lock() {
    ++_locked;
    return _buf;
}

int32_t TBank::Unlock() {
    --_locked;
    return 0;
}

int32_t TBank::Resize(int32_t size) {
    if (size < 0) RaiseRuntimeError("Bank size must not be negative");
    if (size > _capacity) {
        int64_t capacity = static_cast<int64_t>(_capacity) * 3 / 2;
        if (capacity < size) capacity = size;
        if (capacity > kMaxSize) capacity = kMaxSize;
        uint8_t* buf = Allocate(static_cast<int32_t>(capacity));
        // A static bank (capacity -1) is copied even when it shrinks: never
        // more than the new block holds.
        int32_t kept = _size < size ? _size : size;
        if (kept > 0) std::memcpy(buf, _buf, static_cast<size_t>(kept));
        if (_capacity >= 0) std::free(_buf);
        _buf = buf;
        _capacity = static_cast<int32_t>(capacity);
    }
    _size = size;
    return 0;
}

uint8_t* TBank::Range(int32_t offset, int32_t width) {
    if (offset < 0 || width < 0 || static_cast<int64_t>(offset) + width > _size)
        RaiseRuntimeError("Bank offset out of range");
    return _buf + offset;
}

int32_t TBank::Read(const Ref<TStream>& stream, int32_t offset, int32_t count) {
    if (count <= 0) return 0;
    return stream->Read(Range(offset, count), count);
}

int32_t TBank::Write(const Ref<TStream>& stream, int32_t offset, int32_t count) {
    if (count <= 0) return 0;
    return stream->Write(Range(offset, count), count);
}

int32_t TBank::PeekByte(int32_t offset) { return *Range(offset, 1); }
int32_t TBank::PokeByte(int32_t offset, int32_t value) {
    *Range(offset, 1) = static_cast<uint8_t>(value);
    return 0;
}
int32_t TBank::PeekShort(int32_t offset) { return endian::LoadLittle<uint16_t>(Range(offset, 2)); }
int32_t TBank::PokeShort(int32_t offset, int32_t value) {
    endian::StoreLittle(Range(offset, 2), static_cast<uint16_t>(value));
    return 0;
}
int32_t TBank::PeekInt(int32_t offset) { return endian::LoadLittle<int32_t>(Range(offset, 4)); }
int32_t TBank::PokeInt(int32_t offset, int32_t value) {
    endian::StoreLittle(Range(offset, 4), value);
    return 0;
}
int64_t TBank::PeekLong(int32_t offset) { return endian::LoadLittle<int64_t>(Range(offset, 8)); }
int32_t TBank::PokeLong(int32_t offset, int64_t value) {
    endian::StoreLittle(Range(offset, 8), value);
    return 0;
}
float TBank::PeekFloat(int32_t offset) { return endian::LoadLittle<float>(Range(offset, 4)); }
int32_t TBank::PokeFloat(int32_t offset, float value) {
    endian::StoreLittle(Range(offset, 4), value);
    return 0;
}
double TBank::PeekDouble(int32_t offset) { return endian::LoadLittle<double>(Range(offset, 8)); }
int32_t TBank::PokeDouble(int32_t offset, double value) {
    endian::StoreLittle(Range(offset, 8), value);
    return 0;
}

int32_t TBank::Save(const Ref<Object>& url) {
    Ref<TStream> stream = OpenUrlForWriting(url);
    if (!stream) return 0;
    ScopeExit close([&] { stream->Close(); });
    stream->WriteBytes(_buf, _size);
    return 1;
}

Ref<TBank> TBank::Load(const Ref<Object>& url) {
    Ref<TStream> stream = OpenUrlForReading(url);
    if (!stream) return Ref<TBank>();
    ScopeExit close([&] { stream->Close(); });
    std::vector<uint8_t> bytes = SlurpBytes(Ref<Object>(stream));
    Ref<TBank> bank = Create(static_cast<int32_t>(bytes.size()));
    if (!bytes.empty()) std::memcpy(bank->_buf, bytes.data(), bytes.size());
    return bank;
}

Ref<TBank> TBank::Create(int32_t size) {
    if (size < 0) RaiseRuntimeError("Bank size must not be negative");
    Ref<TBank> bank = New<TBank>();
    bank->_buf = Allocate(size);
    bank->_size = size;
    bank->_capacity = size;
    return bank;
}

Ref<TBank> TBank::CreateStatic(uint8_t* buf, int32_t size) {
    if (size < 0) RaiseRuntimeError("Bank size must not be negative");
    Ref<TBank> bank = New<TBank>();
    bank->_buf = buf;
    bank->_size = size;
    bank->_capacity = -1;
    return bank;
}

// ---- TBankStream ----

int32_t TBankStream::Size() { return _bank->Size(); }

int32_t TBankStream::Seek(int32_t pos) {
    int32_t size = _bank->Size();
    _pos = pos < 0 ? 0 : pos > size ? size : pos;
    return _pos;
}

int32_t TBankStream::Read(void* buf, int32_t count) {
    int32_t size = _bank->Size();
    if (count <= 0 || _pos >= size) return 0;
    if (count > size - _pos) count = size - _pos;
    std::memcpy(buf, _bank->Buf() + _pos, static_cast<size_t>(count));
    _pos += count;
    return count;
}

int32_t TBankStream::Write(const void* buf, int32_t count) {
    int32_t size = _bank->Size();
    if (count <= 0 || _pos > size) return 0;
    if (static_cast<int64_t>(_pos) + count > kMaxSize) RaiseRuntimeError("Bank would outgrow 2 GiB");
    if (_pos + count > size) _bank->Resize(_pos + count);
    std::memcpy(_bank->Buf() + _pos, buf, static_cast<size_t>(count));
    _pos += count;
    return count;
}

Ref<TBankStream> TBankStream::Create(const Ref<TBank>& bank) {
    Ref<TBankStream> s = New<TBankStream>();
    s->_bank = bank;
    return s;
}

Ref<TBankStream> NewBankStream(const Ref<TBank>& bank) {
    return TBankStream::Create(bank ? bank : TBank::Create(0));
}

Ref<TStream> TBankStreamFactory::CreateStream(const Ref<Object>& url, const String&, const String&, int32_t,
                                              int32_t) {
    if (Ref<TBank> bank = Cast<TBank>(url)) return NewBankStream(bank);
    return Ref<TStream>();
}

// ---- module-level ----

Ref<TBank> CreateBank(int32_t size) { return TBank::Create(size); }
Ref<TBank> CreateStaticBank(uint8_t* buf, int32_t size) { return TBank::CreateStatic(buf, size); }
Ref<TBank> LoadBank(const Ref<Object>& url) { return TBank::Load(url); }
Ref<TBank> LoadBank(const String& url) { return TBank::Load(Ref<Object>(url)); }
int32_t SaveBank(const Ref<TBank>& bank, const Ref<Object>& url) { return bank->Save(url); }
int32_t SaveBank(const Ref<TBank>& bank, const String& url) { return bank->Save(Ref<Object>(url)); }
uint8_t* BankBuf(const Ref<TBank>& bank) { return bank->Buf(); }
uint8_t* LockBank(const Ref<TBank>& bank) { return bank->Lock(); }
int32_t UnlockBank(const Ref<TBank>& bank) { return bank->Unlock(); }
int32_t BankSize(const Ref<TBank>& bank) { return bank->Size(); }
int32_t BankCapacity(const Ref<TBank>& bank) { return bank->Capacity(); }
int32_t ResizeBank(const Ref<TBank>& bank, int32_t size) { return bank->Resize(size); }
int32_t ReadBank(const Ref<TBank>& bank, const Ref<TStream>& stream, int32_t offset, int32_t count) {
    return bank->Read(stream, offset, count);
}
int32_t WriteBank(const Ref<TBank>& bank, const Ref<TStream>& stream, int32_t offset, int32_t count) {
    return bank->Write(stream, offset, count);
}
int32_t PeekByte(const Ref<TBank>& bank, int32_t offset) { return bank->PeekByte(offset); }
int32_t PokeByte(const Ref<TBank>& bank, int32_t offset, int32_t value) { return bank->PokeByte(offset, value); }
int32_t PeekShort(const Ref<TBank>& bank, int32_t offset) { return bank->PeekShort(offset); }
int32_t PokeShort(const Ref<TBank>& bank, int32_t offset, int32_t value) { return bank->PokeShort(offset, value); }
int32_t PeekInt(const Ref<TBank>& bank, int32_t offset) { return bank->PeekInt(offset); }
int32_t PokeInt(const Ref<TBank>& bank, int32_t offset, int32_t value) { return bank->PokeInt(offset, value); }
int64_t PeekLong(const Ref<TBank>& bank, int32_t offset) { return bank->PeekLong(offset); }
int32_t PokeLong(const Ref<TBank>& bank, int32_t offset, int64_t value) { return bank->PokeLong(offset, value); }
float PeekFloat(const Ref<TBank>& bank, int32_t offset) { return bank->PeekFloat(offset); }
int32_t PokeFloat(const Ref<TBank>& bank, int32_t offset, float value) { return bank->PokeFloat(offset, value); }
double PeekDouble(const Ref<TBank>& bank, int32_t offset) { return bank->PeekDouble(offset); }
int32_t PokeDouble(const Ref<TBank>& bank, int32_t offset, double value) { return bank->PokeDouble(offset, value); }

int32_t CopyBankRange(const Ref<TBank>& srcBank, int32_t srcOffset, const Ref<TBank>& dstBank, int32_t dstOffset,
                      int32_t count) {
    if (count <= 0) return 0;
    auto inside = [](const Ref<TBank>& bank, int32_t offset, int32_t n) {
        return offset >= 0 && static_cast<int64_t>(offset) + n <= bank->Size();
    };
    if (!inside(srcBank, srcOffset, count) || !inside(dstBank, dstOffset, count))
        RaiseRuntimeError("Bank offset out of range");
    std::memmove(dstBank->Buf() + dstOffset, srcBank->Buf() + srcOffset, static_cast<size_t>(count));
    return 0;
}

void InitBank() {
    static bool done = false;
    if (done) return;
    done = true;
    InitStream();
    New<TBankStreamFactory>();
    RecordModuleInit("memory banks");
}
