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

#ifndef _WIN32
#include <signal.h>
#include <sys/resource.h>
#endif

#include <algorithm>
#include <cstdio>
#include <thread>

#include "TestPrinters.h"
#include "WatcherFixture.h"
#include "app/Autosave.h"
#include "app/MainLoop.h"
#include "event/Event.h"
#include "platform/Checksum.h"
#include "platform/Files.h"
#include "stream/FileSystem.h"

using namespace apptest;

namespace {

// The names of "autosave.dat" and the files named after it, sorted.
std::vector<std::string> ListFiles() {
    std::vector<std::string> names;
    for (const String& name : ListDirectory(".", 1))
        if (name.HasPrefix("autosave.dat")) names.push_back(name.ToBytes8());
    std::sort(names.begin(), names.end());
    return names;
}

// The checksum a whole replacement carries in its name.
std::string Checksum(const std::string& bytes) {
    char text[17];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(platform::Fnv1a64(bytes)));
    return text;
}

}  // namespace

TEST(FixURL, SchemesAndPrefixes) {
    EXPECT_EQ(FixURL("http://forum.example/t?id=4"), String("http::forum.example/t?id=4"));
    EXPECT_EQ(FixURL("forum.example/t"), String("http::forum.example/t"));
    EXPECT_EQ(FixURL("https://forum.example/t"), String("https::forum.example/t"));
    EXPECT_EQ(FixURL("HTTPS://forum.example/"), String("http::HTTPS::forum.example/"));
    EXPECT_EQ(FixURL("ftp://x/?https://y"), String("http::ftp::x/?https::y"));
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
    server->Set("/empty", "");
    server->Set("/mixed", "a\r\nb\nno end");
    server->Set("/nul", std::string("a\0b\n", 4));
    server->Set("/huge", std::string(3 << 20, 'x'));  // one line of 3 MB
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
    const std::string stored = std::string(kDeadHost) + "/gone\r\nGone\r\n12\r\n" + kHost + "/a\r\nA\r\n3\r\n";
    WriteFileBytes("autosave.dat", stored);
    LoadList();
    CheckStoredPages();  // the start-up check
    std::vector<std::string> out = Output();
    ASSERT_EQ(out.size(), 2u);
    EXPECT_EQ(out[0], "Failed to connect to Gone.");
    EXPECT_EQ(out[1].rfind("Reason: ", 0), 0u) << out[1];  // why, in the engine's words
    EXPECT_EQ(Names(), (std::vector<std::string>{"Gone", "A"}));
    EXPECT_EQ(ReadFileBytes("autosave.dat"), stored);
    ThreadWatch::update();
    out = Output();
    ASSERT_EQ(out.size(), 4u);
    EXPECT_EQ(out[0], "Failed to connect to Gone.");
    EXPECT_EQ(std::vector<std::string>(out.begin() + 2, out.end()),
              (std::vector<std::string>{"Old count: 3", "New Count: 3"}));
    EXPECT_EQ(ReadFileBytes("autosave.dat"), stored);
}

TEST_F(WatcherTest, SaveWritesExactBytesAndReplacesTheFile) {
    SaveList();
    EXPECT_EQ(ReadFileBytes("autosave.dat"), "");
    ThreadWatch::Create(Url("/a"), "First");
    ThreadWatch::Create(String("http://") + kHost + "/b", String(u"Caf\u00E9 \u00FF"));
    EXPECT_TRUE(SaveList());
    // Text that fits in 8 bits is written as it always was.
    EXPECT_EQ(ReadFileBytes("autosave.dat"), std::string(kHost) + "/a\r\nFirst\r\n3\r\nhttp://" + kHost +
                                                 "/b\r\nCaf\xE9 \xFF\r\n5\r\n");
    EXPECT_EQ(ListFiles(), std::vector<std::string>{"autosave.dat"});  // nothing left behind
}

TEST_F(WatcherTest, LineBreaksInTextCannotShiftRecords) {
    ThreadWatch::Create(Url("/a") + "\r\n", String("two\nlines") + String(std::u16string_view(u"\0x", 2)));
    SaveList();
    EXPECT_EQ(ReadFileBytes("autosave.dat"), std::string(kHost) + "/a  \r\ntwo lines x\r\n3\r\n");
}

// Saves that fail for good leave the old file and nothing else, and are not
// tried again and again: the window would not answer meanwhile.
TEST_F(WatcherTest, AFailedSaveLeavesTheOldFileAndDoesNotWait) {
    ThreadWatch::Listed(Url("/a"), "A", 3);
    ASSERT_TRUE(SaveList());
    ThreadWatch::Listed(Url("/b"), "B", 5);
#ifndef _WIN32
    {
        // Cut short while the new contents are written.
        const std::string before = ReadFileBytes("autosave.dat");
        signal(SIGXFSZ, SIG_IGN);
        rlimit old;
        getrlimit(RLIMIT_FSIZE, &old);
        rlimit small{16, old.rlim_max};
        setrlimit(RLIMIT_FSIZE, &small);
        bool saved = SaveList();
        setrlimit(RLIMIT_FSIZE, &old);
        EXPECT_FALSE(saved);
        EXPECT_EQ(ReadFileBytes("autosave.dat"), before);
        EXPECT_EQ(ListFiles(), std::vector<std::string>{"autosave.dat"});
    }
#endif
    // A folder where the file should be: access denied, to Windows. It goes
    // a moment later, but a save that found it does not wait for that.
    RemoveFile("autosave.dat");
    MakeDirectory("autosave.dat");
    std::thread clear([] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        platform::RemoveDir(u"autosave.dat");
    });
    bool saved = SaveList();
    clear.join();
    EXPECT_FALSE(saved);
    EXPECT_EQ(SaveRetryDueIn(), -1);  // and no try is waiting
    EXPECT_TRUE(ListFiles().empty());
}

#ifdef _WIN32
// Another program holds the file for a moment (a scanner, an editor): the
// save does not wait for it, and the main loop saves once the file is free.
TEST_F(WatcherTest, ASaveOfAHeldFileIsTriedAgainWithoutWaiting) {
    ThreadWatch::Listed(Url("/a"), "A", 3);
    ASSERT_TRUE(SaveList());
    // Reading shut out too, or only replacing.
    for (int share : {_SH_DENYRW, _SH_DENYNO}) {
        Ref<ThreadWatch> added = ThreadWatch::Listed(Url("/b"), String("B") + FormatInt(share), 5);
        int held = _wsopen(L"autosave.dat", _O_RDONLY | _O_BINARY, share);
        ASSERT_GE(held, 0);
        std::thread release([held] {
            std::this_thread::sleep_for(std::chrono::milliseconds(300));
            _close(held);
        });
        bool saved = SaveList();
        int32_t retry = SaveRetryDueIn();
        Attend([] { return SaveRetryDueIn() < 0; }, 5000);
        release.join();
        EXPECT_FALSE(saved) << "share " << share;
        EXPECT_GE(retry, 0) << "share " << share;
        EXPECT_NE(ReadFileBytes("autosave.dat").find(added->name.ToBytes8()), std::string::npos) << "share " << share;
    }
    // When the window closes it is gone at once, so the save waits, briefly.
    ThreadWatch::Listed(Url("/c"), "Closing", 7);
    int held = _wsopen(L"autosave.dat", _O_RDONLY | _O_BINARY, _SH_DENYNO);
    std::thread release([held] {
        std::this_thread::sleep_for(std::chrono::milliseconds(150));
        _close(held);
    });
    StoreForClosing();
    release.join();
    EXPECT_NE(ReadFileBytes("autosave.dat").find("Closing"), std::string::npos);
    EXPECT_TRUE(driver->notes.empty());
    EXPECT_EQ(ListFiles(), std::vector<std::string>{"autosave.dat"});
    // Held for longer than closing may take: the change is lost, and said so.
    ThreadWatch::Listed(Url("/d"), "Too late", 9);
    held = _wsopen(L"autosave.dat", _O_RDONLY | _O_BINARY, _SH_DENYNO);
    StoreForClosing();
    _close(held);
    EXPECT_EQ(ReadFileBytes("autosave.dat").find("Too late"), std::string::npos);
    ASSERT_EQ(driver->notes.size(), 1u);
    EXPECT_NE(driver->notes[0].find("could not be saved"), std::string::npos) << driver->notes[0];
    EXPECT_EQ(SaveRetryDueIn(), -1);
    EXPECT_TRUE(SaveList());  // the file free again ends the run of failures
}

TEST_F(WatcherTest, AFileThatCannotBeReadAtStartUpIsNotEmptied) {
    std::string stored = std::string(kHost) + "/a\r\nA\r\n3\r\n";
    WriteFileBytes("autosave.dat", stored);
    // Held so that others may write but not read it.
    int held = _wsopen(L"autosave.dat", _O_RDONLY | _O_BINARY, _SH_DENYRD);
    ASSERT_GE(held, 0);
    LoadList();
    EXPECT_EQ(ThreadList->Count(), 0);
    EXPECT_EQ(driver->notes.size(), 1u);  // told once
    ThreadWatch::Listed(Url("/b"), "B", 5);
    EXPECT_FALSE(SaveList());
    _close(held);
    EXPECT_EQ(ReadFileBytes("autosave.dat"), stored);
    // Once it can be read, its pages come back after the ones added meanwhile.
    EXPECT_TRUE(SaveList());
    EXPECT_EQ(Names(), (std::vector<std::string>{"B", "A"}));
    EXPECT_EQ(ReadFileBytes("autosave.dat"), std::string(kHost) + "/b\r\nB\r\n5\r\n" + stored);
    EXPECT_EQ(driver->notes.size(), 1u);
}

#endif

TEST_F(WatcherTest, UpdateReportsAsksAndKeepsNewCounts) {
    Ref<ThreadWatch> a = ThreadWatch::Create(Url("/a"), "A");
    Ref<ThreadWatch> b = ThreadWatch::Create(String("http://") + kHost + "/b", "B");
    Ref<ThreadWatch> c = ThreadWatch::Create(Url("/c"), "C");
    server->Set("/b", Lines(6));
    server->Set("/c", Lines(2));
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
    URLField->SetText(Url("/a"));
    NameField->SetText("A");
    // A text change, or Enter in the name field, adds nothing: no Add may
    // even start, as it would merge with the one that counts.
    for (auto [field, key] : {std::pair{URLField, 0}, std::pair{NameField, 13}, std::pair{NameField, 0}}) {
        Deliver(EventGadgetAction, field, key);
        EXPECT_FALSE(AddsPending()) << key;
    }
    Deliver(EventGadgetAction, URLField, 13);
    EXPECT_TRUE(AddsPending());
    Attend([] { return !AddsPending(); }, 30000);
    EXPECT_EQ(Names(), (std::vector<std::string>{"A"}));
    EXPECT_EQ(URLField->GetText(), String("URL"));
    EXPECT_EQ(NameField->GetText(), String("name"));
    EXPECT_EQ(ReadFileBytes("autosave.dat"), std::string(kHost) + "/a\r\nA\r\n3\r\n");
    EXPECT_TRUE(driver->notes.empty());
}

// When an Add ends, the focus goes back to the address field only from
// where that Add was asked for, or from a field it reset: never from a
// field where the next Add is being typed.
TEST_F(WatcherTest, AnEndingAddTakesTheFocusOnlyFromWhereItWasAsked) {
    struct Case {
        const char* path;
        Ref<TGadget> focus;
        const char* typedMeanwhile;  // in the name field while the page was fetched
        bool toAddress;
    };
    const Case cases[] = {
        {"/a", AddButton, nullptr, true},     {"/a", NameField, nullptr, true},
        {"/a", NameField, "Next", false},     {"/a", RemoveButton, nullptr, false},
        {"/missing", AddButton, nullptr, true}, {"/missing", NameField, nullptr, false},
    };
    for (const Case& c : cases) {
        URLField->SetText(Url(c.path));
        NameField->SetText("A");
        Deliver(EventGadgetAction, AddButton, 0);
        CommandGadget(c.focus);
        if (c.typedMeanwhile) NameField->SetText(c.typedMeanwhile);
        Attend([] { return !AddsPending(); }, 30000);
        EXPECT_EQ(ActiveGadget(), c.toAddress ? URLField : c.focus) << c.path << " " << c.typedMeanwhile;
    }
}

// A page that cannot be added says why and keeps what was typed.
TEST_F(WatcherTest, AddThatFailsSaysWhyAndKeepsTheFields) {
    struct Case {
        String url;
        std::string note;  // empty: whatever the engine says, after the name
    };
    const Case cases[] = {
        {Url("/missing"), "Could not add My thread: the server answered 404 Not Found."},
        {"", "Could not add My thread: the address has no host name."},
        {"http://", "Could not add My thread: the address has no host name."},
        {"http:///x", "Could not add My thread: the address has no host name."},
        {String(kDeadHost) + "/x", ""},
    };
    for (const Case& c : cases) {
        driver->notes.clear();
        AddThroughWindow(c.url, "My thread");
        ASSERT_EQ(driver->notes.size(), 1u) << c.url.ToBytes8();
        if (!c.note.empty()) {
            EXPECT_EQ(driver->notes[0], c.note);
        }
        EXPECT_EQ(driver->notes[0].rfind("Could not add My thread: ", 0), 0u) << driver->notes[0];
        EXPECT_EQ(URLField->GetText(), c.url);
        EXPECT_EQ(NameField->GetText(), String("My thread"));
        EXPECT_EQ(ThreadList->Count(), 0);
    }
}

TEST_F(WatcherTest, RemoveAsksAndSavesAtOnce) {
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

// A stored list may come from anyone: what is no web address never reaches
// the shell, the user is told, and the page stays marked; nor is a shell
// that opens nothing taken for the page seen.
TEST_F(WatcherTest, OnlyWebAddressesAreOpenedAndAFailedOpenIsTold) {
    PageState marked;
    marked.newActivity = true;
    ThreadWatch::Listed("C:\\windows\\system32\\notepad.exe", "Harmless forum", 3, marked);
    Ref<ThreadWatch> scheming = ThreadWatch::Listed(Url("/a"), "A", 3, marked);
    Deliver(EventGadgetSelect, LinkBox, 0);
    Deliver(EventGadgetAction, LinkBox, 0);
    driver->openResult = 0;
    Deliver(EventGadgetAction, LinkBox, 1);
    EXPECT_TRUE(scheming->state.newActivity);
    driver->openResult = 1;
    Deliver(EventGadgetAction, LinkBox, 1);
    EXPECT_FALSE(scheming->state.newActivity);
    EXPECT_TRUE(ThreadWatch::getbyindex(0)->state.newActivity);
    std::string url = std::string("http://") + kHost + "/a";
    EXPECT_EQ(driver->opened, (std::vector<std::string>{url, url}));
    EXPECT_EQ(driver->notes,
              (std::vector<std::string>{
                  "Could not open Harmless forum: \"C:\\windows\\system32\\notepad.exe\" is not a web address.",
                  "Could not open A: the browser could not be started."}));
}

// Names and addresses in any script come back unchanged, and no character
// can end a line of the file: each record keeps its place.
TEST_F(WatcherTest, EveryScriptSurvivesASaveAndALoad) {
    const std::u16string texts[] = {
        u"\u4E0A\u6D77 forum",           // low byte 0x0A: a line end in 8 bits
        u"\u0E0A\u0E32",                 // Thai
        u"\u040A\u0430\u0431",           // Cyrillic
        u"a\u3000b",                     // ideographic space: low byte 0x00
        u"\u00E9t\u00E9 \u0100",         // Latin-1 and just past it
        u"\U0001F600 smile",             // beyond 16 bits: a surrogate pair
        u"\u00EF\u00BB\u00BFnot a mark",  // 8-bit text that begins like the UTF-8 mark
    };
    for (const std::u16string& text : texts) {
        ThreadList = New<TList>();
        NextIndex = 0;
        LinkBox = New<TGadget>();
        ThreadWatch::Listed(String(text) + "/p", String(text), 4);
        ThreadWatch::Listed(Url("/a"), "after", 3);
        ASSERT_TRUE(SaveList());
        ThreadList = New<TList>();
        NextIndex = 0;
        LinkBox = New<TGadget>();
        LoadList();
        ASSERT_EQ(ThreadList->Count(), 2);
        auto first = Cast<ThreadWatch>(ThreadList->First());
        auto second = Cast<ThreadWatch>(ThreadList->Last());
        EXPECT_EQ(first->name, String(text));
        EXPECT_EQ(first->URL, String(text) + "/p");
        EXPECT_EQ(first->Length, 4);
        EXPECT_EQ(second->name, String("after"));
        EXPECT_EQ(second->Length, 3);
    }
}

TEST(WatchListCodec, ReadsBothFormsAndWritesTheNarrowOneWhenItFits) {
    struct Case {
        std::string bytes;
        std::u16string url, name;
    };
    const Case cases[] = {
        {"u\r\nCaf\xE9\r\n1\r\n", u"u", u"Caf\u00E9"},                 // 8-bit, as always
        {"\xEF\xBB\xBFu\r\nCaf\xC3\xA9\r\n1\r\n", u"u", u"Caf\u00E9"},  // UTF-8 after the mark
        // Written so by the old program when an address began with those
        // three characters: what follows is not UTF-8, so all of it is 8-bit.
        {"\xEF\xBB\xBFu\r\nCaf\xE9 \xFF\r\n1\r\n", u"\u00EF\u00BB\u00BFu", u"Caf\u00E9 \u00FF"},
        {"\xEF\xBB\xBFu\nok\n1\n\xEF\xBB\xBF\n\xC3\n1\n", u"\u00EF\u00BB\u00BFu", u"ok"},  // cut sequence
    };
    for (const Case& c : cases) {
        std::vector<StoredPage> pages = DecodeWatchList(c.bytes);
        ASSERT_GE(pages.size(), 1u);
        EXPECT_EQ(pages[0].url, String(c.url)) << c.bytes;
        EXPECT_EQ(pages[0].name, String(c.name)) << c.bytes;
        EXPECT_EQ(pages[0].length, 1);
    }
    EXPECT_EQ(EncodeWatchList({{"u", String(u"Caf\u00E9"), 1}}), "u\r\nCaf\xE9\r\n1\r\n");
    EXPECT_EQ(EncodeWatchList({{"u", String(u"\u4E0A"), 1}}), "\xEF\xBB\xBFu\r\n\xE4\xB8\x8A\r\n1\r\n");
    EXPECT_EQ(EncodeWatchList({}), "");
}

// One message when saving starts to fail, none while it goes on failing,
// and one again after a save in between worked.
TEST_F(WatcherTest, AFailedSaveIsShownOncePerRunOfFailures) {
    ThreadWatch::Listed(Url("/a"), "A", 3);
    MakeDirectory("autosave.dat", 0);  // where the file should be
    EXPECT_FALSE(SaveList());
    EXPECT_FALSE(SaveList());
    ASSERT_EQ(driver->notes.size(), 1u);
    EXPECT_NE(driver->notes[0].find("could not be saved"), std::string::npos) << driver->notes[0];
    EraseDirectory("autosave.dat");
    EXPECT_TRUE(SaveList());
    RemoveFile("autosave.dat");
    MakeDirectory("autosave.dat", 0);
    EXPECT_FALSE(SaveList());
    EXPECT_EQ(driver->notes.size(), 2u);
}

// Replacements of the list cut off before their last step, found at start-up
// beside a missing list: only one that can be shown whole is the list.
TEST_F(WatcherTest, AReplacementLeftBesideAMissingListIsLoadedOnlyWhenWhole) {
    const std::string whole = EncodeWatchList({{Url("/a"), "A", 3}, {Url("/b"), "B", 5}});
    const std::string ours = "autosave.dat.00000000000000aa." + Checksum(whole) + ".new";
    struct Case {
        std::string file, bytes;
        bool loaded;
    };
    const Case cases[] = {
        {ours, whole, true},
        {ours, whole.substr(0, whole.size() - 5), false},        // cut inside the second record
        {ours, whole.substr(0, whole.find("3\r\n") + 3), false},  // cut at the end of a record
        {"autosave.dat.new", whole.substr(0, whole.size() - 5), false},  // an older version's
        {"autosave.dat.new", whole, false},  // whole, but nothing can show it
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file + ", " + std::to_string(c.bytes.size()) + " bytes");
        StartAgain();
        RemoveListFiles();
        driver->notes.clear();
        WriteFileBytes(c.file, c.bytes);
        LoadList();
        EXPECT_EQ(Names().size(), c.loaded ? 2u : 0u);
        EXPECT_EQ(ReadFileBytes("autosave.dat"), c.loaded ? whole : "");
        // One that is not loaded is kept as it is, and the user told where.
        EXPECT_EQ(ReadFileBytes(c.file), c.loaded ? "" : c.bytes);
        ASSERT_EQ(driver->notes.size(), c.loaded ? 0u : 1u);
        if (!c.loaded) {
            EXPECT_NE(driver->notes[0].find(c.file), std::string::npos) << driver->notes[0];
        }
    }
    // Beside a list that is there, a whole one is older or lost the race to
    // it: it goes, so it can never come back in the list's place later.
    RemoveListFiles();
    WriteFileBytes("autosave.dat", EncodeWatchList({{Url("/c"), "C", 7}}));
    WriteFileBytes(ours, whole);
    StartAgain();
    LoadList();
    EXPECT_EQ(Names(), std::vector<std::string>{"C"});
    EXPECT_EQ(ListFiles(), std::vector<std::string>{"autosave.dat"});
}

// A page stored before its count came back (an Add still out when the
// program ended) is counted by the start-up check, without a question; one
// that cannot be fetched then stays, without a count, until it can.
TEST_F(WatcherTest, APageStoredWithoutACountIsCountedAtTheNextStart) {
    WriteFileBytes("autosave.dat", EncodeWatchList({{Url("/a"), "A", kNotCounted}, {Url("/gone"), "Gone", kNotCounted}}));
    LoadList();
    CheckStoredPages();
    EXPECT_EQ(ReadFileBytes("autosave.dat"),
              EncodeWatchList({{Url("/a"), "A", 3}, {Url("/gone"), "Gone", kNotCounted}}));
    EXPECT_EQ(Output()[0], "Failed to connect to Gone.");
    server->Set("/gone", Lines(2));
    ThreadWatch::update();
    EXPECT_TRUE(driver->questions.empty());
    EXPECT_EQ(Output(), (std::vector<std::string>{"Old count: 3", "New Count: 3"}));
    EXPECT_EQ(ReadFileBytes("autosave.dat"), EncodeWatchList({{Url("/a"), "A", 3}, {Url("/gone"), "Gone", 2}}));
}

// An entry stored without a host is kept, and never fetched from the local
// machine.
TEST_F(WatcherTest, AStoredAddressWithoutHostIsKeptAndNotFetched) {
    WriteFileBytes("autosave.dat", "http://\r\nNo host\r\n5\r\n");
    LoadList();
    ThreadWatch::update();
    EXPECT_EQ(Output(), (std::vector<std::string>{"Failed to connect to No host.",
                                                  "Reason: the address has no host name."}));
    EXPECT_EQ(ReadFileBytes("autosave.dat"), "http://\r\nNo host\r\n5\r\n");
}
