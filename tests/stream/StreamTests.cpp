#include <cmath>

#include "StreamTestSupport.h"

namespace {

String Text16(std::u16string_view units) { return String(units); }

}  // namespace

TEST(StreamReadLine, EndsAtLfOrNulDropsEveryCrAndReadsOneBytePerCall) {
    auto s = New<ScriptStream>(B(std::string("a\r\nb") + "\n" + "ab\rcd\n" + std::string("ab\0cd", 5)));
    EXPECT_EQ(s->ReadLine(), "a");
    EXPECT_EQ(s->reads, 3);  // 'a', CR, LF: one Read per byte, nothing read ahead
    EXPECT_EQ(s->ReadLine(), "b");
    EXPECT_EQ(s->ReadLine(), "abcd");
    EXPECT_EQ(s->ReadLine(), "ab");
    EXPECT_EQ(s->ReadLine(), "cd");  // last line without terminator comes whole
    EXPECT_EQ(s->ReadLine(), "");    // end of data: empty, never raises
}

TEST(StreamReadLine, HighBytesBecomeLatin1AndLongLinesComeWhole) {
    Bytes data(5000, 'x');
    data[0] = 0xE9;
    data.push_back('\n');
    auto s = BankStreamOf(data);
    String line = s->ReadLine();
    ASSERT_EQ(line.Length(), 5000);
    EXPECT_EQ(line[0], u'\u00E9');
    EXPECT_EQ(line[4999], u'x');
    EXPECT_EQ(s->Eof(), 1);
}

TEST(StreamWriteLine, TruncatesToLowByteAndReportsShortWrites) {
    auto s = New<ScriptStream>();
    EXPECT_EQ(s->WriteLine(Text16(u"a\u20AC")), 1);
    EXPECT_EQ(s->output, (Bytes{'a', 0xAC, 0x0D, 0x0A}));
    EXPECT_EQ(s->writes, 2);  // the text in one call, CR LF in another

    auto empty = New<ScriptStream>();
    EXPECT_EQ(empty->WriteLine(""), 1);
    EXPECT_EQ(empty->output, (Bytes{0x0D, 0x0A}));

    // Text cut short: result 0 and no terminator; terminator cut short: 0.
    auto shortText = New<ScriptStream>(Bytes{}, 1 << 30, 2);
    EXPECT_EQ(shortText->WriteLine("abc"), 0);
    EXPECT_EQ(shortText->output, B("ab"));
    EXPECT_EQ(shortText->writes, 1);
    auto shortEnd = New<ScriptStream>(Bytes{}, 1 << 30, 4);
    EXPECT_EQ(shortEnd->WriteLine("abc"), 0);
}

TEST(StreamBlocks, ShortTransfersRaiseStreamExceptionsNotRuntimeErrors) {
    auto s = New<ScriptStream>(Bytes{1, 2, 3});
    try {
        s->ReadInt();
        FAIL() << "no exception";
    } catch (const TVostleException&) {
        FAIL() << "caught as a runtime error";
    } catch (const TStreamException& e) {
        EXPECT_NE(dynamic_cast<const TStreamReadException*>(&e), nullptr);
        EXPECT_EQ(e.ToString(), "Error reading from stream");
    }
    EXPECT_EQ(s->pos, 3u);  // the bytes before the failure were consumed

    auto w = New<ScriptStream>(Bytes{}, 1 << 30, 5);
    w->WriteInt(7);
    EXPECT_THROW(w->WriteDouble(1.0), TStreamWriteException);
    EXPECT_EQ(TStreamWriteException().ToString(), "Error writing to stream");
    EXPECT_THROW(w->WriteString("x"), TStreamWriteException);
}

TEST(StreamBlocks, ReadBytesLoopsOverShortReadsAndZeroCountDoesNotRead) {
    Bytes data(3000);
    for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(i * 7);
    auto s = New<ScriptStream>(data, 7);
    Bytes got(2500);
    EXPECT_EQ(s->ReadBytes(got.data(), 0), 0);
    EXPECT_EQ(s->reads, 0);
    EXPECT_EQ(s->ReadBytes(got.data(), 2500), 2500);
    EXPECT_TRUE(std::equal(got.begin(), got.end(), data.begin()));
    EXPECT_EQ(s->SkipBytes(499), 499);
    EXPECT_EQ(s->ReadByte(), data[2999]);
    EXPECT_THROW(s->SkipBytes(1), TStreamReadException);
}

TEST(StreamTyped, LittleEndianRoundTripAndZeroExtendedShorts) {
    auto s = NewBankStream(Ref<TBank>());
    WriteByte(s, 0x1FF);
    WriteShort(s, -1);
    WriteInt(s, -123456789);
    WriteLong(s, -0x123456789ABCDEFLL);
    WriteFloat(s, 1.5f);
    WriteDouble(s, -2.25);
    EXPECT_EQ(SizeOfStream(s), 1 + 2 + 4 + 8 + 4 + 8);
    Bytes raw = BankBytes(s->Bank());
    EXPECT_EQ(raw[0], 0xFF);
    EXPECT_EQ((Bytes(raw.begin() + 3, raw.begin() + 7)), (Bytes{0xEB, 0x32, 0xA4, 0xF8}));
    SeekInStream(s, 0);
    EXPECT_EQ(ReadByte(s), 255);
    EXPECT_EQ(ReadShort(s), 65535);
    EXPECT_EQ(ReadInt(s), -123456789);
    EXPECT_EQ(ReadLong(s), -0x123456789ABCDEFLL);
    EXPECT_EQ(ReadFloat(s), 1.5f);
    EXPECT_EQ(ReadDouble(s), -2.25);
    EXPECT_EQ(Eof(s), 1);
}

TEST(StreamStrings, ReadStringIsExactAndObjectsRaisePlainText) {
    auto s = New<ScriptStream>(Bytes{'h', 0xE9, 'y'});
    EXPECT_EQ(ReadString(s, 2), Text16(u"h\u00E9"));
    EXPECT_THROW(ReadString(s, 2), TStreamReadException);
    try {
        s->ReadObject();
        FAIL();
    } catch (const String& text) {
        EXPECT_EQ(text, "Unable to read object");
    }
    try {
        s->WriteObject(Ref<Object>());
        FAIL();
    } catch (const String& text) {
        EXPECT_EQ(text, "Unable to write object");
    }
}

TEST(StreamDefaults, BaseStreamIsNotReadableWritableNorAtEof) {
    auto s = New<TStream>();
    EXPECT_EQ(s->Eof(), 0);  // Pos -1, Size 0
    EXPECT_EQ(s->Seek(5), -1);
    try {
        s->ReadByte();
        FAIL();
    } catch (const TRuntimeException& e) {
        EXPECT_EQ(e.error, "Stream is not readable");
    }
    try {
        s->WriteLine("x");
        FAIL();
    } catch (const TRuntimeException& e) {
        EXPECT_EQ(e.error, "Stream is not writeable");
    }
}

TEST(StreamWrapper, ForwardsAndStreamStreamCloseDetaches) {
    auto inner = New<ScriptStream>(B("line1\nline2\n"));
    Ref<TStreamStream> w = TStreamStream::Create(inner);
    EXPECT_EQ(w->ReadLine(), "line1");
    w->WriteInt(5);
    EXPECT_EQ(inner->output.size(), 4u);
    w->Close();
    EXPECT_EQ(inner->closes, 0);
    EXPECT_EQ(inner->ReadLine(), "line2");  // still open and readable
    EXPECT_THROW(w->ReadLine(), TNullObjectException);
}

TEST(StreamWrapper, SetStreamKeepsTheNewStreamWhenItIsTheOldOne) {
    auto inner = New<ScriptStream>(B("x"));
    Ref<TStreamStream> w = TStreamStream::Create(inner);
    ScriptStream* raw = inner.Get();
    inner = Ref<ScriptStream>();
    w->SetStream(w->WrappedStream());  // must not free it in between
    EXPECT_EQ(w->WrappedStream().Get(), raw);
    EXPECT_EQ(w->ReadByte(), 'x');
}

TEST(StreamPump, CopiesUntilEofAndPumpBytesIsExact) {
    Bytes data(10000);
    for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(i);
    auto from = BankStreamOf(data);
    auto to = NewBankStream(Ref<TBank>());
    PumpStream(from, to, 333);
    EXPECT_EQ(BankBytes(to->Bank()), data);

    from->Seek(0);
    auto part = NewBankStream(Ref<TBank>());
    PumpBytes(from, part, 9000, 1000);
    EXPECT_EQ(part->Size(), 9000);
    EXPECT_THROW(PumpBytes(from, part, 1001, 1000), TStreamReadException);

    // A source whose Eof never turns 1 but that delivers nothing: the copy
    // stops there instead of spinning, and says it is not whole.
    auto endless = New<ScriptStream>(B("abc"));
    auto sink = NewBankStream(Ref<TBank>());
    EXPECT_THROW(PumpStream(endless, sink, 2), TStreamReadException);
    EXPECT_EQ(BankBytes(sink->Bank()), B("abc"));
}

TEST(StreamStrings, HugeLengthOnShortDataFailsWithoutHugeAllocation) {
    auto s = New<ScriptStream>(B("abc"));
    EXPECT_THROW(ReadString(s, 0x7FFFFFFF), TStreamReadException);
    auto big = BankStreamOf(Bytes(200000, 'k'));
    EXPECT_EQ(ReadString(big, 200000).Length(), 200000);
}
