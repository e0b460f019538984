// What the window shows of each page: its state through checks, failures
// and recoveries, the marks of new activity and their file beside the list,
// the status bar and the Delete key. (Check now is driven end to end.)
#include <gtest/gtest.h>

#include <ctime>
#include <tuple>

#include "TestPrinters.h"
#include "WatcherFixture.h"
#include "app/Autosave.h"
#include "app/StateFile.h"
#include "app/WatchStatus.h"
#include "event/Event.h"
#include "stream/FileSystem.h"

using namespace apptest;

namespace {

// A local time, made without the code under test.
int64_t Local(int year, int month, int day, int hour, int minute) {
    std::tm t{};
    t.tm_year = year - 1900;
    t.tm_mon = month - 1;
    t.tm_mday = day;
    t.tm_hour = hour;
    t.tm_min = minute;
    t.tm_isdst = -1;
    return static_cast<int64_t>(std::mktime(&t));
}

std::string Utf8(const String& s) { return s.ToUTF8(); }

}  // namespace

TEST(PageStates, ChecksFailuresAndMarksGiveTheStateAndItsTimes) {
    int64_t now = Local(2024, 3, 5, 12, 0);
    EXPECT_EQ(Utf8(WhenText(now - 3600, now)), "11:00");
    EXPECT_EQ(Utf8(WhenText(Local(2024, 3, 4, 8, 5), now)), "4 Mar 08:05");
    EXPECT_EQ(Utf8(WhenText(Local(2023, 12, 31, 23, 59), now)), "31 Dec 2023 23:59");
    // o: fetched, f: failed, n: new activity, s: seen; at 12:<minute>
    const std::tuple<char, int, const char*> steps[] = {
        {'o', 0, "up to date"},
        {'f', 5, "failing since 12:05: the server answered 404 Not Found"},
        {'f', 10, "failing since 12:05: the server answered 404 Not Found"},  // since the first failure
        {'n', 10, "new activity \xC2\xB7 failing since 12:05: the server answered 404 Not Found"},
        {'o', 15, "new activity"},
        {'s', 15, "up to date"},
    };
    PageState s;
    EXPECT_EQ(Utf8(StateText(s, now)), "not checked yet");
    for (const auto& [what, minute, text] : steps) {
        int64_t at = Local(2024, 3, 5, 12, minute);
        if (what == 'o') s.CheckSucceeded(at);
        if (what == 'f') s.CheckFailed(at, "the server answered 404 Not Found");
        s.newActivity = what == 'n' || (s.newActivity && what != 's');
        EXPECT_EQ(Utf8(StateText(s, at)), text);
    }
    StateTally tally;
    EXPECT_EQ(Utf8(TallyText(tally)), "no pages");
    tally.Add(s);
    s.CheckFailed(now, "x");
    s.newActivity = true;
    tally.Add(s);  // counts as new and as failing
    tally.Add(PageState{});
    EXPECT_EQ(Utf8(TallyText(tally)), "1 up to date \xC2\xB7 1 new \xC2\xB7 1 failing \xC2\xB7 1 not checked yet");
}

TEST(PageStateFile, RecordsSurviveAndEveryCutOrBrokenRecordIsLeftOut) {
    PageState failing, marked;
    failing.CheckFailed(1709640000, String(u"the certificate of f\u00F6rum.example has expired"));
    marked.newActivity = true;
    marked.lastCheck = 1709640060;
    std::vector<PageStateRecord> records = {{"http://a/1", String(u"\U0001F600 caf\u00E9"), marked},
                                            {"end", "end", failing},
                                            {"http://a/1", "two\nlines", PageState{}}};
    std::string bytes = EncodePageStates(records);
    for (size_t cut = 0; cut <= bytes.size(); ++cut) {
        std::vector<PageStateRecord> back = DecodePageStates(bytes.substr(0, cut));
        ASSERT_LE(back.size(), records.size());
        for (size_t i = 0; i < back.size(); ++i) {
            EXPECT_EQ(back[i].url, records[i].url);
            EXPECT_EQ(back[i].state.newActivity, records[i].state.newActivity);
            EXPECT_EQ(back[i].state.lastCheck, records[i].state.lastCheck);
            EXPECT_EQ(back[i].state.failingSince, records[i].state.failingSince);
            EXPECT_EQ(back[i].state.reason, records[i].state.reason);
        }
    }
    EXPECT_EQ(DecodePageStates(bytes).size(), 3u);
    EXPECT_EQ(DecodePageStates(bytes)[2].name, String("two lines"));
    std::string header = std::string(kStateFileHeader) + "\r\n";
    const std::pair<std::string, size_t> broken[] = {
        {"Vostle Watch page states 2\r\nu\r\nn\r\n0 1 0\r\n\r\n", 0},
        {header + "u\r\nn\r\n2 1 0\r\n\r\nu\r\nn\r\n1 5 0\r\n\r\n", 1},  // a mark is 0 or 1
        {header + "u\r\nn\r\n0 -1 0\r\n\r\n", 0},
        {header + "u\r\nn\r\n0 1 0 0\r\n\r\n", 0},
        {header + "u\r\nn\r\n0 1234567890123456789 0\r\n\r\n", 0},
        {header + "u\r\nn\r\n0  1 0\r\n\r\n", 0},
        {std::string(1 << 16, '\xFF'), 0},
    };
    for (const auto& [text, count] : broken) EXPECT_EQ(DecodePageStates(text).size(), count) << text;
    // The n-th state of an address and name belongs to the n-th such page.
    PageState one, two, three;
    one.lastCheck = 1;
    two.lastCheck = 2;
    three.lastCheck = 3;
    std::vector<PageState> got = MatchStates({{"u", "A"}, {"u", "A"}, {"v", "B"}, {"w", "C"}},
                                             {{"u", "A", one}, {"x", "X", three}, {"u", "A", two}, {"v", "A", three}});
    ASSERT_EQ(got.size(), 4u);
    EXPECT_EQ(got[0].lastCheck, 1);
    EXPECT_EQ(got[1].lastCheck, 2);
    EXPECT_EQ(got[2].lastCheck, 0);
    EXPECT_EQ(got[3].lastCheck, 0);
}

TEST_F(WatcherTest, RowsAndStatusFollowEachCheckAndMarksAndFailuresSurviveARestart) {
    server->Set("/c", Lines(7));
    ThreadWatch::Listed(Url("/a"), "A", 3);
    ThreadWatch::Listed(Url("/gone"), "Gone", 5);
    ThreadWatch::Listed(Url("/c"), "C", 2);
    ThreadWatch::Listed(Url("/b"), "B", 1);
    EXPECT_EQ(Row(0), (std::vector<std::string>{"A", "", "not checked yet"}));
    driver->answers = {0, 1};  // C: Cancel, B: OK
    ThreadWatch::update();
    int64_t checked = Cast<ThreadWatch>(ThreadList->First())->state.lastCheck;
    std::string now = WhenText(checked, checked).ToUTF8();
    EXPECT_EQ(Row(0), (std::vector<std::string>{"A", now, "up to date"}));
    EXPECT_EQ(Row(1), (std::vector<std::string>{"Gone", now, "failing since " + now + ": the server answered 404 Not Found"}));
    EXPECT_EQ(Row(2), (std::vector<std::string>{"C", now, "new activity"}));
    EXPECT_EQ(Row(3)[2], "up to date");  // opened at once
    CountdownAt(kCountdownSteps);
    EXPECT_EQ(Status(), "Next check in 5:00 \xC2\xB7 2 up to date \xC2\xB7 1 new \xC2\xB7 1 failing");
    // The list file keeps its three-line records.
    EXPECT_EQ(ReadFileBytes("autosave.dat"), EncodeWatchList({{Url("/a"), "A", 3}, {Url("/gone"), "Gone", 5},
                                                              {Url("/c"), "C", 7}, {Url("/b"), "B", 5}}));
    for (int start = 0; start < 2; ++start) {
        StartAgain();
        LoadList();
        EXPECT_EQ(Row(1)[2], "failing since " + now + ": the server answered 404 Not Found");
        EXPECT_EQ(Row(2)[2], start == 0 ? "new activity" : "up to date");
        EXPECT_EQ(Row(3)[2], "up to date");
        // Opened from the list: seen, and saved as seen.
        Deliver(EventGadgetSelect, LinkBox, 2);
        Deliver(EventGadgetAction, LinkBox, 2);
        EXPECT_EQ(Row(2)[2], "up to date");
    }
    server->Set("/gone", Lines(5));
    ThreadWatch::update();
    EXPECT_EQ(Row(1)[2], "up to date");
    EXPECT_EQ(driver->questions.size(), 2u);
}

TEST_F(WatcherTest, AStateFileThatIsMissingBrokenOrUnreadableNeverCostsAPage) {
    std::string list = EncodeWatchList({{Url("/a"), "A", 3}, {Url("/b"), "B", 5}});
    std::string good = EncodePageStates({{Url("/b"), "B", PageState{0, 0, String(), true}}});
    for (const std::string& state : {std::string(), std::string("garbage"), good.substr(0, good.size() - 1),
                                     std::string("dir"), good}) {
        StartAgain();
        WriteFileBytes("autosave.dat", list);
        RemoveFile("pagestate.dat");
        if (state == "dir") MakeDirectory("pagestate.dat");
        else if (!state.empty()) WriteFileBytes("pagestate.dat", state);
        LoadList();
        EXPECT_EQ(Names(), (std::vector<std::string>{"A", "B"})) << state;
        EXPECT_EQ(Row(1)[2], state == good ? "new activity" : "not checked yet") << state;
        EraseDirectory("pagestate.dat");
    }
}

TEST_F(WatcherTest, DeleteInTheListRemovesTheSelectedPageAfterAsking) {
    ThreadWatch::Listed(Url("/a"), "A", 3);
    ThreadWatch::Listed(Url("/b"), "B", 5);
    constexpr int32_t kDelete = 0x2E;
    Deliver(EventKeyDown, LinkBox, kDelete);  // nothing selected yet
    Deliver(EventGadgetSelect, LinkBox, 1);
    Deliver(EventKeyDown, URLField, kDelete);  // Delete while typing
    EXPECT_TRUE(driver->questions.empty());
    driver->answers = {1};
    Deliver(EventKeyDown, LinkBox, kDelete);
    EXPECT_EQ(driver->questions, (std::vector<std::string>{"Are you sure you want to remove the link to B?"}));
    EXPECT_EQ(Names(), (std::vector<std::string>{"A"}));
}
