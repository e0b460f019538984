#include "StreamTestSupport.h"
#include "stream/RamStream.h"

TEST(Banks, BankStreamGrowsByHalfAndClampsSeeks) {
    InitBank();
    Ref<TBankStream> s = NewBankStream(Ref<TBank>());
    Ref<TBank> bank = s->Bank();
    EXPECT_EQ(bank->Size(), 0);
    EXPECT_EQ(s->Eof(), 1);
    Bytes ten(10, 7);
    s->WriteBytes(ten.data(), 10);
    EXPECT_EQ(bank->Size(), 10);
    EXPECT_EQ(bank->Capacity(), 10);
    s->WriteByte(1);
    EXPECT_EQ(bank->Size(), 11);
    EXPECT_EQ(bank->Capacity(), 15);
    EXPECT_EQ(s->Seek(-4), 0);
    EXPECT_EQ(s->Seek(1000), 11);
    EXPECT_EQ(s->Read(ten.data(), 5), 0);
    s->Seek(9);
    EXPECT_EQ(s->Read(ten.data(), 5), 2);  // cut at the end

    // The bank shrunk under the stream: position past the end refuses both.
    s->Seek(5);
    bank->Resize(3);
    EXPECT_EQ(bank->Capacity(), 15);  // shrinking keeps the memory
    EXPECT_EQ(s->Write("x", 1), 0);
    EXPECT_EQ(s->Read(ten.data(), 1), 0);
    // Writing exactly at the end appends.
    s->Seek(3);
    EXPECT_EQ(s->Write("yz", 2), 2);
    EXPECT_EQ(bank->Size(), 5);
}

TEST(Banks, PeekAndPokeAreLittleEndianAndBoundsChecked) {
    Ref<TBank> bank = CreateBank(16);
    PokeInt(bank, 0, 1);
    EXPECT_EQ((Bytes(bank->Buf(), bank->Buf() + 4)), (Bytes{1, 0, 0, 0}));
    PokeShort(bank, 4, 0xFFFF);
    EXPECT_EQ(PeekShort(bank, 4), 65535);
    PokeByte(bank, 6, 0x1AB);
    EXPECT_EQ(PeekByte(bank, 6), 0xAB);
    PokeLong(bank, 7, -2);  // unaligned
    EXPECT_EQ(PeekLong(bank, 7), -2);
    PokeFloat(bank, 0, 0.25f);
    EXPECT_EQ(PeekFloat(bank, 0), 0.25f);
    PokeDouble(bank, 8, 3.5);
    EXPECT_EQ(PeekDouble(bank, 8), 3.5);

    EXPECT_THROW(PeekInt(bank, 13), TRuntimeException);
    EXPECT_THROW(PokeByte(bank, 16, 0), TRuntimeException);
    EXPECT_THROW(PeekByte(bank, -1), TRuntimeException);
    EXPECT_THROW(PeekDouble(bank, 0x7FFFFFFC), TRuntimeException);  // offset + width overflows
    EXPECT_NO_THROW(PeekDouble(bank, 8));
    EXPECT_THROW(ResizeBank(bank, -1), TRuntimeException);
    EXPECT_THROW(CreateBank(-1), TRuntimeException);
}

TEST(Banks, StaticBankBecomesOwnedWhenGrown) {
    uint8_t memory[4] = {1, 2, 3, 4};
    Ref<TBank> bank = CreateStaticBank(memory, 4);
    EXPECT_EQ(BankCapacity(bank), -1);
    EXPECT_EQ(BankBuf(bank), memory);
    ResizeBank(bank, 6);
    EXPECT_NE(BankBuf(bank), memory);
    EXPECT_EQ(BankCapacity(bank), 6);
    EXPECT_EQ((Bytes(bank->Buf(), bank->Buf() + 4)), (Bytes{1, 2, 3, 4}));
    bank->PokeByte(0, 9);
    EXPECT_EQ(memory[0], 1);  // the caller's memory is left alone
}

TEST(Banks, StaticBankResizedToAnySizeCopiesOnlyWhatFits) {
    uint8_t memory[64];
    for (int i = 0; i < 64; ++i) memory[i] = static_cast<uint8_t>(i + 1);
    for (int32_t size : {0, 1, 63, 64, 65}) {
        Ref<TBank> bank = CreateStaticBank(memory, 64);
        ResizeBank(bank, size);
        ASSERT_NE(BankBuf(bank), memory) << size;
        EXPECT_EQ(BankSize(bank), size);
        EXPECT_GE(BankCapacity(bank), size);
        int32_t kept = size < 64 ? size : 64;
        EXPECT_EQ(Bytes(bank->Buf(), bank->Buf() + kept), Bytes(memory, memory + kept)) << size;
    }
}

TEST(Banks, CopyRangeHandlesOverlapAndRefusesOutsideRanges) {
    Ref<TBank> a = CreateBank(8);
    for (int i = 0; i < 8; ++i) a->PokeByte(i, i);
    CopyBankRange(a, 0, a, 2, 6);
    EXPECT_EQ(BankBytes(a), (Bytes{0, 1, 0, 1, 2, 3, 4, 5}));
    Ref<TBank> b = CreateBank(4);
    CopyBankRange(a, 4, b, 0, 4);
    EXPECT_EQ(BankBytes(b), (Bytes{2, 3, 4, 5}));
    EXPECT_THROW(CopyBankRange(a, 5, b, 0, 4), TRuntimeException);
    EXPECT_THROW(CopyBankRange(a, 0, b, 1, 4), TRuntimeException);
    EXPECT_THROW(CopyBankRange(a, -1, b, 0, 1), TRuntimeException);
}

TEST(Banks, BankReadAndWriteGoThroughTheStream) {
    Ref<TBank> bank = CreateBank(4);
    auto src = BankStreamOf(B("wxyz"));
    EXPECT_EQ(ReadBank(bank, src, 1, 3), 3);
    EXPECT_EQ(BankBytes(bank)[1], 'w');
    auto dst = NewBankStream(Ref<TBank>());
    EXPECT_EQ(WriteBank(bank, dst, 1, 3), 3);
    EXPECT_EQ(BankBytes(dst->Bank()), B("wxy"));
    EXPECT_THROW(ReadBank(bank, src, 2, 3), TRuntimeException);
}

class BankFiles : public ScratchTest {};

TEST_F(BankFiles, SaveAndLoad) {
    Ref<TBank> bank = CreateBank(3);
    bank->PokeByte(0, 'a');
    bank->PokeByte(1, 0);
    bank->PokeByte(2, 0xFF);
    EXPECT_EQ(SaveBank(bank, P("b.bin")), 1);
    Ref<TBank> back = LoadBank(P("b.bin"));
    ASSERT_TRUE(back);
    EXPECT_EQ(BankBytes(back), BankBytes(bank));
    EXPECT_FALSE(LoadBank(P("missing")));
    EXPECT_EQ(SaveBank(bank, P("no/dir/b")), 0);
    // Loading from an open stream reads the rest and leaves it open.
    auto s = New<ScriptStream>(B("hello"));
    s->eofAtEnd = true;
    s->pos = 1;
    Ref<TBank> fromStream = LoadBank(Ref<Object>(s));
    EXPECT_EQ(BankBytes(fromStream), B("ello"));
    EXPECT_EQ(s->closes, 0);
}

TEST(RamStreams, FixedRangeWithPermissions) {
    uint8_t memory[4] = {'a', 'b', 'c', 'd'};
    Ref<TRamStream> rw = TRamStream::Create(memory, 4, 1, 1);
    rw->Seek(2);
    EXPECT_EQ(rw->Write("XYZ", 3), 2);  // the range never grows
    EXPECT_EQ(memory[3], 'Y');
    EXPECT_EQ(rw->Seek(99), 4);
    EXPECT_EQ(rw->Seek(-1), 0);
    uint8_t buf[8];
    EXPECT_EQ(rw->Read(buf, 8), 4);
    EXPECT_EQ(rw->Read(buf, 8), 0);

    Ref<TRamStream> ro = TRamStream::Create(memory, 4, 1, 0);
    EXPECT_EQ(ro->Write("q", 1), 0);
    Ref<TRamStream> wo = TRamStream::Create(memory, 4, 0, 1);
    EXPECT_EQ(wo->Read(buf, 1), 0);
}

TEST(EndianStreams, BigEndianSwapsTypedValuesOnly) {
    auto raw = NewBankStream(Ref<TBank>());
    Ref<TStream> be = WrapBigEndian(raw);
    be->WriteInt(1);
    be->WriteShort(0x1234);
    be->WriteLong(0x0102030405060708LL);
    be->WriteFloat(1.0f);
    be->WriteDouble(2.0);
    be->WriteByte(0xAB);
    be->WriteLine("ok");
    EXPECT_EQ(BankBytes(raw->Bank()),
              (Bytes{0, 0, 0, 1, 0x12, 0x34, 1, 2, 3, 4, 5, 6, 7, 8, 0x3F, 0x80, 0, 0, 0x40, 0, 0, 0, 0, 0, 0, 0,
                     0xAB, 'o', 'k', 0x0D, 0x0A}));
    raw->Seek(0);
    EXPECT_EQ(be->ReadInt(), 1);
    EXPECT_EQ(be->ReadShort(), 0x1234);
    EXPECT_EQ(be->ReadLong(), 0x0102030405060708LL);
    EXPECT_EQ(be->ReadFloat(), 1.0f);
    EXPECT_EQ(be->ReadDouble(), 2.0);
    EXPECT_EQ(be->ReadByte(), 0xAB);
    EXPECT_EQ(be->ReadLine(), "ok");

    auto shorty = BankStreamOf(Bytes{0xFF, 0xFE});
    EXPECT_EQ(WrapBigEndian(shorty)->ReadShort(), 0xFFFE);  // zero-extended
    EXPECT_EQ(WrapLittleEndian(shorty).Get(), shorty.Get());
    EXPECT_FALSE(WrapBigEndian(Ref<TStream>()));
}

TEST(Banks, GrowingPastTwoGibibytesIsRefusedBeforeTouchingMemory) {
    uint8_t memory[4] = {};
    // A bank that claims almost 2 GiB over 4 real bytes: the write must be
    // refused on the size alone.
    Ref<TBank> bank = CreateStaticBank(memory, 0x7FFFFFF0);
    Ref<TBankStream> s = TBankStream::Create(bank);
    EXPECT_EQ(s->Seek(0x7FFFFFF0), 0x7FFFFFF0);
    uint8_t data[32] = {};
    EXPECT_THROW(s->Write(data, 32), TRuntimeException);
    EXPECT_EQ(bank->Size(), 0x7FFFFFF0);
    EXPECT_EQ(bank->Capacity(), -1);
}
