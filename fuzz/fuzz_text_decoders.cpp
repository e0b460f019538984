// Character decoding in the four encodings, byte-order-mark sniffing and the
// encoders' round trips.
#include "FuzzCommon.h"
#include "stream/StreamFactory.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzInit();
    if (size < 1) return 0;
    int32_t encoding = 1 + data[0] % 4;
    data++;
    size--;

    // Whole-text decoding: a truncated last character is the only failure.
    String text;
    bool complete = true;
    try {
        text = TTextStream::Create(FuzzStream(data, size), encoding)->ReadFile();
    } catch (const TStreamReadException&) {
        complete = false;
    }
    if (encoding == TTextStream::LATIN1) FUZZ_CHECK(complete && static_cast<size_t>(text.Length()) == size);
    if (encoding >= TTextStream::UTF16BE) {
        FUZZ_CHECK(complete == (size % 2 == 0));
        if (complete) {
            // UTF-16 and Latin-1 are lossless: encoding again gives the input.
            auto out = NewBankStream(Ref<TBank>());
            TTextStream::Create(out, encoding)->WriteString(text);
            FUZZ_CHECK(out->Size() == static_cast<int32_t>(size));
            FUZZ_CHECK(size == 0 || std::memcmp(out->Bank()->Buf(), data, size) == 0);
        }
    }
    if (encoding == TTextStream::UTF8 && complete) {
        // Whatever was decoded encodes and decodes back to the same units.
        auto out = NewBankStream(Ref<TBank>());
        TTextStream::Create(out, encoding)->WriteString(text);
        out->Seek(0);
        String again = TTextStream::Create(out, encoding)->ReadFile();
        FUZZ_CHECK(again == text);
    }

    // Sniffing over a bank (no file): either text or a short-read failure.
    Ref<TBank> bank = TBank::Create(static_cast<int32_t>(size));
    if (size) std::memcpy(bank->Buf(), data, size);
    try {
        String sniffed = SlurpText(Ref<Object>(bank));
        FUZZ_CHECK(static_cast<size_t>(sniffed.Length()) <= size);
    } catch (const TStreamReadException&) {
    }
    return 0;
}
