#include "StreamTestSupport.h"

namespace {

struct TextFixture : ::testing::Test {
    Ref<TBankStream> raw = NewBankStream(Ref<TBank>());
    Ref<TTextStream> Over(int32_t encoding) { return TTextStream::Create(raw, encoding); }
    Bytes Written() { return BankBytes(raw->Bank()); }
    Ref<TTextStream> Reader(const Bytes& bytes, int32_t encoding) {
        return TTextStream::Create(BankStreamOf(bytes), encoding);
    }
};

}  // namespace

using TextStreams = TextFixture;

TEST_F(TextStreams, EncodingsWriteTheExpectedBytesAndReadThemBack) {
    struct Case {
        int32_t encoding;
        Bytes bytes;
    } cases[] = {
        {TTextStream::LATIN1, {'A', 0xE9, 0xAC}},
        {TTextStream::UTF8, {'A', 0xC3, 0xA9, 0xE2, 0x82, 0xAC}},
        {TTextStream::UTF16BE, {0, 'A', 0, 0xE9, 0x20, 0xAC}},
        {TTextStream::UTF16LE, {'A', 0, 0xE9, 0, 0xAC, 0x20}},
    };
    for (const Case& c : cases) {
        raw = NewBankStream(Ref<TBank>());
        Over(c.encoding)->WriteString(String(u"A\u00E9\u20AC"));
        EXPECT_EQ(Written(), c.bytes) << "encoding " << c.encoding;
        String expected = c.encoding == TTextStream::LATIN1 ? String(u"A\u00E9\u00AC") : String(u"A\u00E9\u20AC");
        EXPECT_EQ(Reader(c.bytes, c.encoding)->ReadFile(), expected) << "encoding " << c.encoding;
    }
    // No encoding: characters vanish when written and read as 0.
    raw = NewBankStream(Ref<TBank>());
    Over(0)->WriteString("abc");
    EXPECT_TRUE(Written().empty());
    EXPECT_EQ(Reader(B("x"), 0)->ReadChar(), 0);
}

TEST_F(TextStreams, Utf8DecodingIsArithmeticWithoutValidation) {
    // Surrogates go out one by one as three-byte forms and come back alike.
    Over(TTextStream::UTF8)->WriteString(String(u"\U0001F600"));
    EXPECT_EQ(Written(), (Bytes{0xED, 0xA0, 0xBD, 0xED, 0xB8, 0x80}));
    EXPECT_EQ(Reader(Written(), TTextStream::UTF8)->ReadFile(), String(u"\U0001F600"));
    // A lead byte of 0xF0 or more reads as 0 after three bytes, ending a line.
    auto r = Reader(Bytes{'a', 0xF0, 0x9F, 0x98, 0x80, 'b', '\n'}, TTextStream::UTF8);
    EXPECT_EQ(r->ReadLine(), "a");
    // The rest of that sequence (0x80) then pairs with 'b': (0x80-0xC0)*64 +
    // (0x62-0x80) = -4126, kept as 0xEFE2.
    EXPECT_EQ(r->ReadLine(), String(u"\uEFE2"));
    // A stray continuation byte gives a negative value, kept as its low 16 bits.
    EXPECT_EQ(Reader(Bytes{0x80, 0x80}, TTextStream::UTF8)->ReadChar(), (0x80 - 0xC0) * 64);
    // A sequence cut short by the end of data raises.
    EXPECT_THROW(Reader(Bytes{0xE2, 0x82}, TTextStream::UTF8)->ReadChar(), TStreamReadException);
    EXPECT_THROW(Reader(Bytes{'a', 0xC3}, TTextStream::UTF8)->ReadFile(), TStreamReadException);
}

TEST_F(TextStreams, LinesUseTheEncodingAndTestEofBeforeEachCharacter) {
    auto w = Over(TTextStream::UTF16BE);
    EXPECT_EQ(w->WriteLine("A"), 0);
    EXPECT_EQ(Written(), (Bytes{0, 'A', 0, 0x0D, 0, 0x0A}));

    auto r = Reader(Bytes{0, 'a', 0, 0x0D, 0, 'b', 0, 0x0A, 0, 'c'}, TTextStream::UTF16BE);
    EXPECT_EQ(r->ReadLine(), "ab");
    EXPECT_EQ(r->ReadLine(), "c");
    EXPECT_EQ(r->Eof(), 1);
    EXPECT_EQ(r->ReadLine(), "");  // at Eof: nothing read, nothing raised

    auto s = Reader(B("hello"), TTextStream::LATIN1);
    EXPECT_EQ(s->ReadString(3), "hel");
    EXPECT_THROW(s->ReadString(3), TStreamReadException);
}

TEST_F(TextStreams, NumbersTravelAsDecimalLines) {
    auto w = Over(TTextStream::UTF8);
    w->WriteInt(-5);
    w->WriteByte(300);
    w->WriteShort(70000);
    w->WriteLong(-9000000000LL);
    w->WriteFloat(1.5f);
    w->WriteDouble(0.1);
    EXPECT_EQ(Written(), B("-5\r\n300\r\n70000\r\n-9000000000\r\n1.50000000\r\n0.10000000000000001\r\n"));
    raw->Seek(0);
    auto r = Over(TTextStream::UTF8);
    EXPECT_EQ(r->ReadInt(), -5);
    EXPECT_EQ(r->ReadByte(), 300);  // no masking to 8 bits
    EXPECT_EQ(r->ReadShort(), 70000);
    EXPECT_EQ(r->ReadLong(), -9000000000LL);
    EXPECT_EQ(r->ReadFloat(), 1.5f);
    EXPECT_EQ(r->ReadDouble(), 0.1);
    EXPECT_EQ(Reader(B("junk\n"), TTextStream::LATIN1)->ReadDouble(), 0.0);
}

TEST_F(TextStreams, HexBlocksMixWithTextAndReadBack) {
    Bytes block(40);
    for (size_t i = 0; i < block.size(); ++i) block[i] = static_cast<uint8_t>(i * 13 + 1);
    auto w = Over(TTextStream::UTF16LE);
    w->WriteBytes(block.data(), 40);
    w->WriteLine("x");
    Bytes out = Written();
    // 64 digits, CR LF, 16 digits, CR LF (raw single bytes in every
    // encoding), then "x" CR LF in UTF-16LE.
    ASSERT_EQ(out.size(), 64u + 2 + 16 + 2 + 6);
    EXPECT_EQ(std::string(out.begin(), out.begin() + 4), "010E");
    EXPECT_EQ(out[64], 0x0D);
    EXPECT_EQ(out[65], 0x0A);
    EXPECT_EQ((Bytes(out.begin() + 84, out.end())), (Bytes{'x', 0, 0x0D, 0, 0x0A, 0}));

    raw->Seek(0);
    auto r = Over(TTextStream::UTF16LE);
    Bytes back(40);
    r->ReadBytes(back.data(), 40);
    EXPECT_EQ(back, block);
    EXPECT_EQ(r->ReadLine(), "x");
    EXPECT_EQ(r->Eof(), 1);

    raw = NewBankStream(Ref<TBank>());
    auto w2 = Over(TTextStream::LATIN1);
    uint8_t three[] = {0x00, 0xAB, 0xFF};
    w2->WriteBytes(three, 3);
    w2->WriteLine("");
    EXPECT_EQ(Written(), B("00ABFF\r\n\r\n"));
}

TEST_F(TextStreams, HexLineMustEndWithLfOrCrLf) {
    uint8_t b[2];
    auto lf = Reader(B("41\nz\n"), TTextStream::LATIN1);
    lf->ReadBytes(b, 1);
    EXPECT_EQ(b[0], 0x41);
    EXPECT_EQ(lf->ReadLine(), "z");

    auto bad = Reader(B("41\rz\n"), TTextStream::LATIN1);
    bad->ReadBytes(b, 1);
    try {
        bad->ReadLine();
        FAIL();
    } catch (const String& text) {
        EXPECT_EQ(text, "Malformed line terminator");
    }
    // A full line of 32 bytes is closed before the 33rd is read.
    Bytes text(64, 'F');
    text.push_back('X');
    text.push_back('0');
    auto full = Reader(text, TTextStream::LATIN1);
    Bytes buf(33);
    EXPECT_THROW(full->ReadBytes(buf.data(), 33), String);
}

class TextFiles : public ScratchTest {};

TEST_F(TextFiles, SlurpTextSniffsByteOrderMarks) {
    struct Case {
        Bytes bytes;
        std::u16string text;
    } cases[] = {
        {{0xEF, 0xBB, 0xBF, 0xC3, 0xA9}, u"\u00E9"},
        {{0xC3, 0xA9}, u"\u00C3\u00A9"},
        {{0xFF, 0xFE, 'A', 0}, u"A"},
        {{0xFE, 0xFF, 0, 'A', 0x20, 0xAC}, u"A\u20AC"},
        {{0xEF, 0xBB}, u"\u00EF\u00BB"},
        {{0xEF, 0xBB, 'x'}, u"\u00EF\u00BBx"},
        {{0xFF}, u"\u00FF"},
        {{0xFF, 0xFE}, u""},
        {{}, u""},
    };
    for (const Case& c : cases) {
        WriteFile(P("t"), c.bytes);
        EXPECT_EQ(SlurpText(P("t")), String(c.text)) << c.bytes.size() << " bytes";
    }
    Bytes big(3000, 'q');
    WriteFile(P("t"), big);
    EXPECT_EQ(SlurpText(P("t")).Length(), 3000);
    EXPECT_THROW(SlurpText(P("missing")), TStreamReadException);
}

TEST_F(TextFiles, DumpTextChoosesEightBitOrUtf16WithMark) {
    EXPECT_EQ(DumpText("abc", P("a")), 1);
    EXPECT_EQ(ReadFile(P("a")), B("abc"));
    EXPECT_EQ(DumpText(String(u"\u20AC"), P("e")), 1);
    EXPECT_EQ(ReadFile(P("e")), (Bytes{0xFF, 0xFE, 0xAC, 0x20}));
    EXPECT_EQ(SlurpText(P("e")), String(u"\u20AC"));
    EXPECT_THROW(DumpText(String(u"\u20AC"), P("no/dir/e")), TStreamWriteException);
}

TEST_F(TextFiles, FactoryOpensEncodingsByLowerCasedProtocol) {
    WriteFile(P("notes.txt"), Bytes{0xC3, 0xA9, '\n'});
    Ref<TTextStream> t = Cast<TTextStream>(OpenUrlForReading(String("UTF8::") + P("notes.txt")));
    ASSERT_TRUE(t);
    EXPECT_EQ(t->Encoding(), TTextStream::UTF8);
    EXPECT_EQ(t->ReadLine(), String(u"\u00E9"));
    EXPECT_FALSE(OpenUrlForReading(String("utf32::") + P("notes.txt")));
}
