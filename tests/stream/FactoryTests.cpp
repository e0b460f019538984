#include <typeinfo>

#include "StreamTestSupport.h"
#include "stream/FileStream.h"
#include "stream/RamStream.h"

namespace {

// Records what the chain hands to a factory; answers only its own protocol.
class ProbeFactory : public TStreamFactory {
public:
    Ref<TStream> CreateStream(const Ref<Object>& url, const String& proto, const String& path, int32_t readable,
                              int32_t writeable) override {
        ++calls;
        lastUrl = url;
        lastProto = proto;
        lastPath = path;
        lastFlags = readable * 10 + writeable;
        if (proto != "probe") return Ref<TStream>();
        return NewBankStream(Ref<TBank>());
    }
    int calls = 0;
    Ref<Object> lastUrl;
    String lastProto, lastPath;
    int32_t lastFlags = -1;
};

ProbeFactory& Probe() {
    static Ref<ProbeFactory> probe = [] {
        InitRamStream();
        return New<ProbeFactory>();
    }();
    return *probe;
}

}  // namespace

class Factories : public ScratchTest {
protected:
    void SetUp() override {
        ScratchTest::SetUp();
        InitRamStream();
        Probe();
    }
};

TEST_F(Factories, ChainIsSearchedNewestFirstInRegistrationOrder) {
    std::vector<std::string> names;
    for (Ref<TStreamFactory> f = StreamFactoryChain(); f; f = f->Successor()) names.push_back(typeid(*f).name());
    // The probe (newest) first, then the stream module's own, newest first.
    ASSERT_GE(names.size(), 5u);
    auto pos = [&](const std::type_info& t) {
        return std::find(names.begin(), names.end(), std::string(t.name())) - names.begin();
    };
    EXPECT_EQ(pos(typeid(ProbeFactory)), 0);
    EXPECT_LT(pos(typeid(TXEndianStreamFactory)), pos(typeid(TRamStreamFactory)));
    EXPECT_LT(pos(typeid(TRamStreamFactory)), pos(typeid(TTextStreamFactory)));
    EXPECT_LT(pos(typeid(TTextStreamFactory)), pos(typeid(TBankStreamFactory)));
    EXPECT_EQ(pos(typeid(TBankStreamFactory)), static_cast<long>(names.size()) - 1);
}

TEST_F(Factories, ProtocolIsSplitAtFirstDoubleColonAndLowerCased) {
    Ref<TStream> s = OpenUrlStream("PrObE::host/a::b", 1, 1);
    ASSERT_TRUE(s);
    EXPECT_EQ(Probe().lastProto, "probe");
    EXPECT_EQ(Probe().lastPath, "host/a::b");
    EXPECT_EQ(Probe().lastFlags, 11);
    String original;
    ASSERT_TRUE(String::FromObject(Probe().lastUrl, original));
    EXPECT_EQ(original, "PrObE::host/a::b");  // the caller's own object

    EXPECT_FALSE(OpenUrlForReading("ftp::host/file"));
    EXPECT_EQ(Probe().lastProto, "ftp");
    EXPECT_FALSE(OpenUrlForReading("::file"));
    EXPECT_EQ(Probe().lastProto, "");
    EXPECT_EQ(Probe().lastPath, "file");
}

TEST_F(Factories, PlainPathsAndEmptyStringsNeverReachTheChain) {
    int before = Probe().calls;
    EXPECT_FALSE(OpenUrlForReading(P("missing.dat")));
    EXPECT_EQ(PathKind(P("missing.dat")), 0);  // no file created
    WriteFile(P("c.bin"), B("x"));
    EXPECT_TRUE(OpenUrlForReading(P("c.bin")));
    EXPECT_EQ(Probe().calls, before);
    // The empty string parses as an empty protocol: factories are asked,
    // nobody answers, and no file is opened.
    EXPECT_FALSE(OpenUrlStream("", 1, 0));
    EXPECT_FALSE(OpenUrlStream(Ref<Object>(), 1, 0));
}

TEST_F(Factories, StreamsAreWrappedAndBanksServedInPlace) {
    auto inner = BankStreamOf(B("abc"));
    Ref<TStream> w = OpenUrlForReading(Ref<Object>(inner));
    ASSERT_TRUE(Cast<TStreamStream>(w));
    EXPECT_EQ(w->ReadByte(), 'a');
    w->Close();
    EXPECT_EQ(inner->ReadByte(), 'b');

    Ref<TBank> bank = TBank::Create(2);
    Ref<TBankStream> bs = Cast<TBankStream>(OpenUrlStream(Ref<Object>(bank), 0, 1));
    ASSERT_TRUE(bs);
    EXPECT_EQ(bs->Bank().Get(), bank.Get());
}

TEST_F(Factories, NestedProtocolsBigEndianUtf8OverAFile) {
    Ref<TStream> out = OpenUrlForWriting(String("BigEndian::utf8::") + P("n.txt"));
    ASSERT_TRUE(Cast<TXEndianStream>(out));
    // The swapped bytes travel through the text layer's raw-byte path
    // (hexadecimal); the next text line closes the open hex line.
    out->WriteInt(0x01020304);
    out->WriteLine(String(u"\u00E9"));
    out->Close();
    EXPECT_EQ(ReadFile(P("n.txt")), B("01020304\r\n\xC3\xA9\r\n"));

    Ref<TStream> in = OpenUrlForReading(String("bigendian::UTF8::") + P("n.txt"));
    ASSERT_TRUE(in);
    EXPECT_EQ(in->ReadInt(), 0x01020304);
    EXPECT_EQ(in->ReadLine(), String(u"\u00E9"));
    EXPECT_EQ(in->Eof(), 1);
    in->Close();

    WriteFile(P("le.bin"), Bytes{1, 0, 0, 0});
    Ref<TStream> le = OpenUrlForReading(String("littleendian::") + P("le.bin"));
    EXPECT_TRUE(Cast<TCStream>(le));  // the file stream itself, no wrapper
    EXPECT_FALSE(OpenUrlForReading(String("bigendian::") + P("missing.bin")));
    EXPECT_FALSE(OpenUrlForReading(String("utf8::") + P("missing.txt")));
}

TEST_F(Factories, IncbinIsReadOnlyAndCaseSensitive) {
    static const uint8_t data[] = {'h', 'i', '\n'};
    EXPECT_EQ(RegisterIncbin("greeting", data, 3), 1);
    EXPECT_EQ(RegisterIncbin("greeting", data, 1), 0);
    Ref<TStream> s = OpenUrlForReading("incbin::greeting");
    ASSERT_TRUE(Cast<TRamStream>(s));
    EXPECT_EQ(s->ReadLine(), "hi");
    EXPECT_EQ(s->Eof(), 1);
    EXPECT_FALSE(OpenUrlForReading("incbin::Greeting"));
    EXPECT_FALSE(OpenUrlForWriting("incbin::greeting"));
    EXPECT_FALSE(OpenUrlStream("incbin::greeting", 1, 1));
}

TEST_F(Factories, SlurpAndDumpWholeResources) {
    Bytes big(5000);
    for (size_t i = 0; i < big.size(); ++i) big[i] = static_cast<uint8_t>(i * 31);
    DumpBytes(big, P("big.bin"));
    EXPECT_EQ(SlurpBytes(P("big.bin")), big);  // grows 1024 -> 1536 -> ... past 5000

    DumpText8(String(u"A\u00E9\u20AC"), P("t8.txt"));
    EXPECT_EQ(ReadFile(P("t8.txt")), (Bytes{'A', 0xE9, 0xAC}));
    EXPECT_EQ(SlurpText8(P("t8.txt")), String(u"A\u00E9\u00AC"));

    EXPECT_THROW(SlurpBytes(P("missing.bin")), TStreamReadException);
    EXPECT_THROW(SlurpText8("nope::x"), TStreamReadException);
    EXPECT_THROW(DumpBytes(big, P("no/such/dir/x.bin")), TStreamWriteException);
    EXPECT_THROW(DumpText8("x", "incbin::x"), TStreamWriteException);
    EXPECT_THROW(SlurpObject(P("big.bin")), String);
    EXPECT_THROW(DumpObject(Ref<Object>(), P("obj.bin")), String);
}

TEST_F(Factories, OpenFileStreamServesUnpositionedStreamsFromMemory) {
    auto source = New<ScriptStream>(B("one\r\ntwo\r\n"), 3);
    source->eofAtEnd = true;
    Ref<TStream> s = OpenFileForReading(Ref<Object>(source));
    Ref<TBankStream> bs = Cast<TBankStream>(s);
    ASSERT_TRUE(bs);
    EXPECT_EQ(bs->Size(), 10);
    EXPECT_EQ(s->ReadLine(), "one");
    EXPECT_EQ(s->Seek(5), 5);
    EXPECT_EQ(s->ReadLine(), "two");
    EXPECT_EQ(s->Eof(), 1);
    EXPECT_EQ(source->closes, 0);  // the caller's stream is not closed

    EXPECT_FALSE(OpenFileForReading(P("missing")));
    WriteFile(P("f.txt"), B("0123456789"));
    Ref<TStream> w = OpenFileForWriting(P("f.txt"));
    ASSERT_TRUE(Cast<TCStream>(w));
    EXPECT_EQ(w->Size(), 0);  // truncated at once
    CloseFileStream(w);
    EXPECT_EQ(PathByteSize(P("f.txt")), 0);
}

TEST_F(Factories, WholeResourceReadsRefuseASourceThatStopsShort) {
    struct Case {
        const char* name;
        void (*read)(const Ref<TStream>&);
    } cases[] = {
        {"PumpStream", [](const Ref<TStream>& s) { PumpStream(s, NewBankStream(Ref<TBank>()), 7); }},
        {"SlurpBytes", [](const Ref<TStream>& s) { SlurpBytes(Ref<Object>(s)); }},
        {"SlurpText", [](const Ref<TStream>& s) { SlurpText(Ref<Object>(s)); }},
        {"LoadBank", [](const Ref<TStream>& s) { LoadBank(Ref<Object>(s)); }},
    };
    for (const Case& c : cases) {
        // Delivers nothing more while its Eof still says 0.
        EXPECT_THROW(c.read(New<ScriptStream>(B("abc"))), TStreamReadException) << c.name;
        // A file cut short under a stream that is reading it (larger than
        // what stdio may have buffered already).
        WriteFile(P("f"), Bytes(100000, 'f'));
        Ref<TStream> file = OpenUrlForReading(P("f"));
        ASSERT_TRUE(file);
        OpenUrlForWriting(P("f"))->Close();
        EXPECT_THROW(c.read(file), TStreamReadException) << c.name;
        file->Close();
        // The same bytes from a source that reports its end are whole.
        auto ending = New<ScriptStream>(B("abc"), 2);
        ending->eofAtEnd = true;
        EXPECT_NO_THROW(c.read(ending)) << c.name;
        EXPECT_EQ(ending->pos, 3u) << c.name;
    }
}
