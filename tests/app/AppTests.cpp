// The watcher's logic against a real loopback HTTP server and real files:
// records and their indexes, the autosave file, the update cycle and the
// event handling. The list box is a plain gadget so this runs without a
// window; questions go to a scripted system driver.
#include <gtest/gtest.h>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <share.h>
#endif

#include <deque>
#include <fstream>
#include <map>
#include <mutex>
#include <sstream>
#include <thread>

#include "NetTestSupport.h"
#include "TestPrinters.h"
#include "app/Autosave.h"
#include "app/MainWindow.h"
#include "app/ThreadWatch.h"
#include "event/Event.h"
#include "event/SystemDriver.h"
#include "net/HttpStream.h"
#include "stream/Bank.h"
#include "stream/FileStream.h"
#include "stream/FileSystem.h"
#include "stream/TextStream.h"

namespace {

const int32_t kServerIp = nettest::Ip(127, 0, 77, 1);
const char* const kHost = "127.0.77.1";
const char* const kDeadHost = "127.0.77.2";  // nothing listens there

// Answers questions from a script and records what the program asked for.
class ScriptedDriver : public TSystemDriver {
public:
    int32_t Confirm(const String& text, int32_t) override {
        questions.push_back(text.ToBytes8());
        if (answers.empty()) return 0;
        int32_t answer = answers.front();
        answers.pop_front();
        return answer;
    }
    int32_t OpenURL(const String& url) override {
        opened.push_back(url.ToBytes8());
        return 1;
    }
    int32_t Poll() override { return 0; }

    std::deque<int32_t> answers;
    std::vector<std::string> questions, opened;
};

// Holds its text as a field does (the bare gadget model keeps none).
struct TextGadget : TGadget {
    int32_t SetText(const String& t) override {
        text = t;
        return 1;
    }
    String GetText() override { return text; }
    String text;
};

std::string ReadFileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

void WriteFileBytes(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

std::string Lines(int n) {
    std::string body;
    for (int i = 0; i < n; ++i) body += "line " + std::to_string(i) + "\n";
    return body;
}

class WatcherTest : public ::testing::Test {
protected:
    void SetUp() override {
        InitHttpStream();
        InitStandardIO();
        InitFileSystem();
        InitEventQueue();
        InitSystemDriver();
        savedDriver = SystemDriver;
        driver = New<ScriptedDriver>();
        SystemDriver = driver;
        savedConsole = ConsoleStream;
        output = CreateBank(0);
        ConsoleStream = TTextStream::Create(NewBankStream(output), TTextStream::UTF8);
        ThreadList = New<TList>();
        NextIndex = 0;
        LinkBox = New<TGadget>();
        SelectedIndex = -1;
        RemoveFile("autosave.dat");
        server = std::make_unique<nettest::FakeServer>(kServerIp, 80, [this](platform::SocketHandle client,
                                                                            const std::string& head) {
            std::string path = head.substr(4, head.find(' ', 4) - 4);
            std::string body;
            {
                std::lock_guard<std::mutex> lock(pagesMutex);
                body = pages[path];
            }
            nettest::SendAll(client, "HTTP/1.0 200 OK\r\nContent-Type: text/html\r\n\r\n" + body);
        });
        ASSERT_TRUE(server->Ok());
        SetPage("/a", Lines(3));
        SetPage("/b", Lines(5));
        SetPage("/c", Lines(7));
    }

    void TearDown() override {
        SystemDriver = savedDriver;
        ConsoleStream = savedConsole;
        LinkBox = nullptr;
        ThreadList = nullptr;
    }

    void SetPage(const std::string& path, const std::string& body) {
        std::lock_guard<std::mutex> lock(pagesMutex);
        pages[path] = body;
    }

    static String Url(const char* path) { return String(kHost) + path; }

    std::vector<std::string> Output() {
        std::string text(reinterpret_cast<const char*>(BankBuf(output)), static_cast<size_t>(BankSize(output)));
        std::vector<std::string> lines;
        for (size_t from = 0, p; (p = text.find("\r\n", from)) != std::string::npos; from = p + 2)
            lines.push_back(text.substr(from, p - from));
        ResizeBank(output, 0);
        ConsoleStream = TTextStream::Create(NewBankStream(output), TTextStream::UTF8);
        return lines;
    }

    std::vector<std::string> Names() {
        std::vector<std::string> names;
        for (int32_t i = 0; i < LinkBox->ItemCount(); ++i) names.push_back(LinkBox->ItemText(i).ToBytes8());
        return names;
    }

    // Posts an event the way a gadget does and lets the application poll it.
    void Deliver(int32_t id, const Ref<TGadget>& source, int32_t data) {
        DispatchEvent(MakeEvent(id, source, data));
        PollOnce();
    }

    Ref<ScriptedDriver> driver;
    Ref<TSystemDriver> savedDriver;
    Ref<TTextStream> savedConsole;
    Ref<TBank> output;
    std::mutex pagesMutex;
    std::map<std::string, std::string> pages;
    std::unique_ptr<nettest::FakeServer> server;
};

}  // namespace

TEST(FixURL, SchemesAndPrefixes) {
    EXPECT_EQ(FixURL("http://forum.example/t?id=4"), String("http::forum.example/t?id=4"));
    EXPECT_EQ(FixURL("forum.example/t"), String("http::forum.example/t"));
    EXPECT_EQ(FixURL("https://forum.example/t"), String("http::https::forum.example/t"));
    EXPECT_EQ(FixURL("HTTP://forum.example/"), String("http::HTTP::forum.example/"));
    EXPECT_EQ(FixURL("forum.example/?next=http://x"), String("forum.example/?next=http::x"));
    EXPECT_EQ(FixURL("a://b://c"), String("http::a::b::c"));
    EXPECT_EQ(FixURL(""), String("http::"));
}

TEST_F(WatcherTest, IndexesStayInStepThroughAddRemoveAdd) {
    Ref<ThreadWatch> a = ThreadWatch::Create(Url("/a"), "A");
    Ref<ThreadWatch> b = ThreadWatch::Create(Url("/b"), "B");
    Ref<ThreadWatch> c = ThreadWatch::Create(Url("/c"), "C");
    ASSERT_TRUE(a && b && c);
    EXPECT_EQ(a->Length, 3);
    EXPECT_EQ(c->Length, 7);
    EXPECT_EQ(c->streamURL, String("http::") + Url("/c"));
    EXPECT_EQ(c->index, 2);
    EXPECT_EQ(c->first, 1);
    ThreadWatch::getbyindex(1)->remove();
    EXPECT_EQ(a->index, 0);
    EXPECT_EQ(c->index, 1);
    EXPECT_EQ(NextIndex, 2);
    EXPECT_EQ(Names(), (std::vector<std::string>{"A", "C"}));
    Ref<ThreadWatch> d = ThreadWatch::Create(Url("/a"), "D");
    ASSERT_TRUE(d);
    EXPECT_EQ(d->index, 2);
    EXPECT_EQ(ThreadWatch::getbyindex(2), d);
    EXPECT_TRUE(ThreadWatch::getbyindex(3).IsNull());
    for (int32_t i = 2; i >= 0; --i) ThreadWatch::getbyindex(i)->remove();
    EXPECT_EQ(NextIndex, 0);
    EXPECT_TRUE(ThreadList->IsEmpty());
    EXPECT_EQ(LinkBox->ItemCount(), 0);
}

TEST_F(WatcherTest, UnreachablePageAddsNothing) {
    ThreadWatch::Create(Url("/a"), "A");
    EXPECT_TRUE(ThreadWatch::Create(String(kDeadHost) + "/x", "X").IsNull());
    EXPECT_EQ(NextIndex, 1);
    EXPECT_EQ(ThreadList->Count(), 1);
    EXPECT_EQ(LinkBox->ItemCount(), 1);
}

TEST_F(WatcherTest, LineCountsFollowReadLine) {
    SetPage("/empty", "");
    SetPage("/mixed", "a\r\nb\nno end");
    SetPage("/nul", std::string("a\0b\n", 4));
    SetPage("/huge", std::string(3 << 20, 'x'));  // one line of 3 MB
    EXPECT_EQ(ThreadWatch::Create(Url("/empty"), "e")->Length, 0);
    EXPECT_EQ(ThreadWatch::Create(Url("/mixed"), "m")->Length, 3);
    EXPECT_EQ(ThreadWatch::Create(Url("/nul"), "n")->Length, 2);
    EXPECT_EQ(ThreadWatch::Create(Url("/huge"), "h")->Length, 1);
}

TEST_F(WatcherTest, MissingFileIsCreatedEmpty) {
    LoadList();
    EXPECT_EQ(PathKind("autosave.dat"), 1);
    EXPECT_EQ(ReadFileBytes("autosave.dat"), "");
    EXPECT_EQ(LinkBox->ItemCount(), 0);
}

TEST_F(WatcherTest, LoadingReadsCountsTheWayParseIntDoes) {
    std::string file = std::string(kHost) + "/a\r\nA\r\n  17\r\n" + kHost + "/b\nB\n+4\n" + kHost + "/c\r\nC\r\n$1F\r\n" +
                       kHost + "/a\nA2\n%101\n" + kHost + "/b\nB2\n12abc\n\n";
    WriteFileBytes("autosave.dat", file);
    LoadList();
    std::vector<int32_t> counts;
    for (Ref<Object> o : *ThreadList) counts.push_back(Cast<ThreadWatch>(o)->Length);
    // The stored counts replace the fetched ones; the extra empty line at the
    // end gives an entry with no address, which is dropped.
    EXPECT_EQ(counts, (std::vector<int32_t>{17, 4, 31, 5, 12}));
    EXPECT_EQ(Names(), (std::vector<std::string>{"A", "B", "C", "A2", "B2"}));
    EXPECT_EQ(Cast<ThreadWatch>(ThreadList->Last())->URL, Url("/b"));
}

TEST_F(WatcherTest, TruncatedLastRecordReadsMissingLinesAsEmpty) {
    WriteFileBytes("autosave.dat", std::string(kHost) + "/a\r\nA\r\n3\r\n" + kHost + "/b\r\n");
    LoadList();
    ASSERT_EQ(ThreadList->Count(), 2);
    auto last = Cast<ThreadWatch>(ThreadList->Last());
    EXPECT_EQ(last->name, String(""));
    EXPECT_EQ(last->Length, 0);
}

TEST_F(WatcherTest, EntriesThatCannotBeFetchedAtStartUpAreKept) {
    WriteFileBytes("autosave.dat", std::string(kDeadHost) + "/gone\r\nGone\r\n12\r\n" + kHost + "/a\r\nA\r\n3\r\n");
    LoadList();
    EXPECT_EQ(Names(), (std::vector<std::string>{"Gone", "A"}));
    ThreadWatch::update();
    EXPECT_EQ(Output(), (std::vector<std::string>{"Failed to connect to Gone.", "Old count: 3", "New Count: 3"}));
    EXPECT_EQ(ReadFileBytes("autosave.dat"),
              std::string(kDeadHost) + "/gone\r\nGone\r\n12\r\n" + kHost + "/a\r\nA\r\n3\r\n");
}

TEST_F(WatcherTest, SaveWritesExactBytesAndReplacesTheFile) {
    SaveList();
    EXPECT_EQ(ReadFileBytes("autosave.dat"), "");
    ThreadWatch::Create(Url("/a"), "First");
    ThreadWatch::Create(String("http://") + kHost + "/b", String(u"Caf\u00E9 \u20AC"));
    EXPECT_TRUE(SaveList());
    EXPECT_EQ(ReadFileBytes("autosave.dat"), std::string(kHost) + "/a\r\nFirst\r\n3\r\nhttp://" + kHost +
                                                 "/b\r\nCaf\xE9 \xAC\r\n5\r\n");
    EXPECT_EQ(PathKind("autosave.dat.new"), 0);  // nothing left behind
}

TEST_F(WatcherTest, LineBreaksInTextCannotShiftRecords) {
    ThreadWatch::Create(Url("/a") + "\r\n", String("two\nlines") + String(std::u16string_view(u"\0x", 2)));
    SaveList();
    EXPECT_EQ(ReadFileBytes("autosave.dat"), std::string(kHost) + "/a  \r\ntwo lines x\r\n3\r\n");
}

TEST_F(WatcherTest, FailedSaveLeavesTheOldFile) {
    ThreadWatch::Create(Url("/a"), "A");
    SaveList();
    std::string before = ReadFileBytes("autosave.dat");
    ThreadWatch::Create(Url("/b"), "B");
    MakeDirectory("autosave.dat.new", 0);  // the temporary file cannot be written
    EXPECT_FALSE(SaveList());
    EXPECT_EQ(ReadFileBytes("autosave.dat"), before);
    EraseDirectory("autosave.dat.new");
}

#ifdef _WIN32
TEST_F(WatcherTest, SaveWaitsBrieflyForAFileHeldByAnotherProgram) {
    ThreadWatch::Create(Url("/a"), "A");
    SaveList();
    // Another program holds the file without sharing it, then lets go.
    int held = _wsopen(L"autosave.dat", _O_RDONLY | _O_BINARY, _SH_DENYRW);
    ASSERT_GE(held, 0);
    std::thread release([held] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        _close(held);
    });
    ThreadWatch::Create(Url("/b"), "B");
    bool saved = SaveList();
    release.join();
    EXPECT_TRUE(saved);
    EXPECT_EQ(ReadFileBytes("autosave.dat"), std::string(kHost) + "/a\r\nA\r\n3\r\n" + kHost + "/b\r\nB\r\n5\r\n");
}

TEST_F(WatcherTest, AFileThatCannotBeReadAtStartUpIsNotEmptied) {
    std::string stored = std::string(kHost) + "/a\r\nA\r\n3\r\n";
    WriteFileBytes("autosave.dat", stored);
    // Held so that others may write but not read it.
    int held = _wsopen(L"autosave.dat", _O_RDONLY | _O_BINARY, _SH_DENYRD);
    ASSERT_GE(held, 0);
    LoadList();
    _close(held);
    EXPECT_EQ(ThreadList->Count(), 0);
    EXPECT_EQ(ReadFileBytes("autosave.dat"), stored);
}
#endif

TEST_F(WatcherTest, UpdateReportsAsksAndKeepsNewCounts) {
    Ref<ThreadWatch> a = ThreadWatch::Create(Url("/a"), "A");
    Ref<ThreadWatch> b = ThreadWatch::Create(String("http://") + kHost + "/b", "B");
    Ref<ThreadWatch> c = ThreadWatch::Create(Url("/c"), "C");
    SetPage("/b", Lines(6));
    SetPage("/c", Lines(2));
    driver->answers = {1, 0};  // OK for B, Cancel for C
    ThreadWatch::update();
    EXPECT_EQ(Output(), (std::vector<std::string>{"Old count: 3", "New Count: 3", "Old count: 5", "New Count: 6",
                                                  "Old count: 7", "New Count: 2"}));
    EXPECT_EQ(driver->questions,
              (std::vector<std::string>{"Someone commented on B. Would you like to visit that page?",
                                        "Someone commented on C. Would you like to visit that page?"}));
    EXPECT_EQ(driver->opened, (std::vector<std::string>{std::string("http://") + kHost + "/b"}));
    EXPECT_EQ(b->Length, 6);
    EXPECT_EQ(c->Length, 2);  // updated although the answer was Cancel
    EXPECT_EQ(ReadFileBytes("autosave.dat"), std::string(kHost) + "/a\r\nA\r\n3\r\nhttp://" + kHost +
                                                 "/b\r\nB\r\n6\r\n" + kHost + "/c\r\nC\r\n2\r\n");
    ThreadWatch::update();  // nothing changed: nothing asked
    EXPECT_EQ(driver->questions.size(), 2u);
}

TEST_F(WatcherTest, AddActionsFromButtonAndEnterOnly) {
    URLField = New<TextGadget>();
    NameField = New<TextGadget>();
    AddButton = New<TGadget>();
    RemoveButton = New<TGadget>();
    URLField->SetText(Url("/a"));
    NameField->SetText("A");
    Deliver(EventGadgetAction, URLField, 0);  // a text change adds nothing
    Deliver(EventGadgetAction, NameField, 13);
    EXPECT_EQ(ThreadList->Count(), 0);
    Deliver(EventGadgetAction, URLField, 13);
    EXPECT_EQ(Names(), (std::vector<std::string>{"A"}));
    EXPECT_EQ(URLField->GetText(), String("URL"));
    EXPECT_EQ(NameField->GetText(), String("name"));
    EXPECT_EQ(ReadFileBytes("autosave.dat"), std::string(kHost) + "/a\r\nA\r\n3\r\n");
    Deliver(EventGadgetAction, AddButton, 0);  // the placeholders name no reachable page
    EXPECT_EQ(ThreadList->Count(), 1);
}

TEST_F(WatcherTest, RemoveAsksAndSavesAtOnce) {
    RemoveButton = New<TGadget>();
    ThreadWatch::Create(Url("/a"), "A");
    ThreadWatch::Create(Url("/b"), "B");
    SaveList();
    Deliver(EventGadgetAction, RemoveButton, 0);  // no selection yet
    EXPECT_TRUE(driver->questions.empty());
    Deliver(EventGadgetSelect, LinkBox, 1);
    EXPECT_EQ(SelectedIndex, 1);
    driver->answers = {0, 1};
    Deliver(EventGadgetAction, RemoveButton, 0);
    EXPECT_EQ(ThreadList->Count(), 2);
    Deliver(EventGadgetAction, RemoveButton, 0);
    EXPECT_EQ(driver->questions, (std::vector<std::string>{"Are you sure you want to remove the link to B?",
                                                           "Are you sure you want to remove the link to B?"}));
    EXPECT_EQ(Names(), (std::vector<std::string>{"A"}));
    EXPECT_EQ(ReadFileBytes("autosave.dat"), std::string(kHost) + "/a\r\nA\r\n3\r\n");
    Deliver(EventGadgetAction, RemoveButton, 0);  // position 1 is empty now: nothing
    EXPECT_EQ(driver->questions.size(), 2u);
}

TEST_F(WatcherTest, ActivatingAnItemOpensItsAddressAsTyped) {
    ThreadWatch::Create(Url("/a"), "A");
    ThreadWatch::Create(String("http://") + kHost + "/b", "B");
    Deliver(EventGadgetAction, LinkBox, 1);  // no selection reported yet
    EXPECT_TRUE(driver->opened.empty());
    Deliver(EventGadgetSelect, LinkBox, 0);
    Deliver(EventGadgetAction, LinkBox, 1);  // the reported position counts
    EXPECT_EQ(driver->opened, (std::vector<std::string>{std::string("http://") + kHost + "/b"}));
}
