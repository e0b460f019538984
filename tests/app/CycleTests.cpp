// Pages fetched on worker threads while the window goes on: results applied
// in list order, several fetches at once, and adds and removes at any moment
// of a cycle never putting a result on the wrong entry.
#include <gtest/gtest.h>

#include <map>
#include <random>
#include <set>

#include "TestPrinters.h"
#include "WatcherFixture.h"
#include "app/Autosave.h"
#include "app/FetchQueue.h"
#include "app/MainLoop.h"
#include "event/Event.h"

using namespace apptest;

TEST_F(WatcherTest, CycleAppliesResultsInListOrderWhateverOrderTheyFinish) {
    server->Set("/slow", Lines(4), 400);
    server->Set("/fast", Lines(2));
    server->Set("/same", Lines(6), 150);
    ThreadWatch::Listed(Url("/slow"), "Slow", 1);
    ThreadWatch::Listed(Url("/missing"), "Missing", 8);
    ThreadWatch::Listed(Url("/fast"), "Fast", 1);
    ThreadWatch::Listed(String(kDeadHost) + "/x", "Dead", 9);
    ThreadWatch::Listed(Url("/same"), "Same", 6);
    ThreadWatch::update();
    std::vector<std::string> out = Output();
    ASSERT_EQ(out.size(), 10u);
    out[7] = out[7].substr(0, 8);  // the reason for a refused connection is the engine's
    EXPECT_EQ(out, (std::vector<std::string>{"Old count: 1", "New Count: 4", "Failed to connect to Missing.",
                                             "Reason: the server answered 404 Not Found.", "Old count: 1",
                                             "New Count: 2", "Failed to connect to Dead.", "Reason: ",
                                             "Old count: 6", "New Count: 6"}));
    EXPECT_EQ(driver->questions,
              (std::vector<std::string>{"Someone commented on Slow. Would you like to visit that page?",
                                        "Someone commented on Fast. Would you like to visit that page?"}));
    // A failed fetch keeps the stored count.
    EXPECT_EQ(ReadFileBytes("autosave.dat"),
              EncodeWatchList({{Url("/slow"), "Slow", 4}, {Url("/missing"), "Missing", 8}, {Url("/fast"), "Fast", 2},
                               {String(kDeadHost) + "/x", "Dead", 9}, {Url("/same"), "Same", 6}}));
}

TEST_F(WatcherTest, UpToEightPagesAreFetchedAtOnceAndTwoOfOneHost) {
    // Five hosts with four slow pages each, listed host by host: a queue
    // that took pages in list order would hold three hosts' workers idle.
    std::vector<std::unique_ptr<PageServer>> hosts;
    for (uint32_t h = 0; h < 5; ++h) {
        hosts.push_back(std::make_unique<PageServer>(kServerIp + 10 + h));
        ASSERT_TRUE(hosts.back()->Ok());
        for (int i = 0; i < 4; ++i) {
            std::string path = "/p" + std::to_string(i);
            hosts.back()->Set(path, Lines(i), 300);
            String url = String("127.0.77.") + FormatInt(11 + static_cast<int32_t>(h)) + path.c_str();
            ThreadWatch::Listed(url, String("P") + FormatInt(static_cast<int32_t>(h * 4) + i), i);
        }
    }
    ThreadWatch::update();
    for (auto& host : hosts) EXPECT_EQ(host->TakeMostAtOnce(), FetchQueue::kFetchesPerHost);
    EXPECT_TRUE(driver->questions.empty());
}

TEST_F(WatcherTest, APageWhoseServerAsksForAPauseIsLeftAloneUntilItIsOver) {
    server->Set("/busy", "HTTP/1.1 429 Too Many Requests\r\nRetry-After: 3600\r\n\r\n");
    server->Set("/fine", Lines(2));
    ThreadWatch::Listed(Url("/busy"), "Busy", 5);
    ThreadWatch::Listed(Url("/fine"), "Fine", 2);
    ThreadWatch::update();
    std::vector<std::string> out = Output();
    ASSERT_EQ(out.size(), 4u);
    EXPECT_EQ(out[0], "Failed to connect to Busy.");
    EXPECT_EQ(out[1].rfind("Reason: the server answered 429 Too Many Requests and asks to wait until ", 0), 0u) << out[1];
    EXPECT_EQ(out[1].substr(out[1].size() - 7), " (1 h).") << out[1];
    std::string reason = out[1].substr(8);
    server->Set("/fine", "HTTP/1.1 404 Not Found\r\n\r\n");  // so only a request to /busy could succeed
    server->Set("/busy", Lines(9));
    ThreadWatch::update();
    out = Output();
    EXPECT_EQ(out, (std::vector<std::string>{"Not checking Busy yet: " + reason, "Failed to connect to Fine.",
                                             "Reason: the server answered 404 Not Found."}));
    EXPECT_TRUE(driver->questions.empty());
    EXPECT_EQ(ReadFileBytes("autosave.dat"), EncodeWatchList({{Url("/busy"), "Busy", 5}, {Url("/fine"), "Fine", 2}}));
}

// Random adds and removes at every pump of many cycles, against a server
// that answers each request after a random delay. Every page's line count
// names the page and the cycle, so a result on the wrong entry shows.
TEST_F(WatcherTest, AddsAndRemovesDuringCyclesNeverMisplaceAResult) {
    constexpr int kPages = 24, kCycles = 6;
    const uint32_t seed = std::random_device()();
    SCOPED_TRACE("seed " + std::to_string(seed));
    std::mt19937 random(seed);
    server->SetRandomDelay(40, seed);
    auto count = [](int page, int cycle) { return 1 + page + 100 * cycle; };
    auto serve = [&](int cycle) {
        for (int p = 0; p < kPages; ++p) server->Set("/r" + std::to_string(p), Lines(count(p, cycle)));
    };
    // "r<page> #<serial>" names each entry once.
    auto pageOf = [](const String& name) { return std::stoi(name.ToBytes8().substr(1)); };
    int serial = 0;
    auto entryName = [&](int page) { return String("r") + FormatInt(page) + " #" + FormatInt(serial++); };
    serve(0);
    for (int p = 0; p < 6; ++p) ThreadWatch::Listed(Url(("/r" + std::to_string(p)).c_str()), entryName(p), count(p, 0));
    ThreadWatch::Listed(Url("/gone"), "gone #x", 77);  // always 404: keeps its count

    int actions = 0;
    driver->onPoll = [&] {
        if (actions >= 12 || random() % 4 != 0) return;
        ++actions;
        if (random() % 3 != 0 || NextIndex < 3) {
            int page = static_cast<int>(random() % kPages);
            URLField->SetText(Url(("/r" + std::to_string(page)).c_str()));
            NameField->SetText(entryName(page));
            DispatchEvent(MakeEvent(EventGadgetAction, AddButton, 0));
        } else {
            DispatchEvent(MakeEvent(EventGadgetSelect, LinkBox, static_cast<int32_t>(random() % NextIndex)));
            DispatchEvent(MakeEvent(EventGadgetAction, RemoveButton, 0));
        }
    };
    for (int cycle = 1; cycle <= kCycles; ++cycle) {
        serve(cycle);
        actions = 0;
        std::set<std::string> before;
        for (int32_t i = 0; i < LinkBox->ItemCount(); ++i) before.insert(LinkBox->ItemText(i).ToBytes8());
        driver->questions.clear();
        driver->answers.assign(1000, 1);  // removals confirmed; changed pages: OK, opened
        driver->opened.clear();
        ThreadWatch::update();
        Attend([] { return !AddsPending(); }, 30000);
        ASSERT_FALSE(AddsPending());

        std::vector<StoredPage> listed;
        int32_t i = 0;
        for (Ref<Object> o : *ThreadList) {
            Ref<ThreadWatch> r = Cast<ThreadWatch>(o);
            SCOPED_TRACE("cycle " + std::to_string(cycle) + ", entry " + r->name.ToBytes8());
            ASSERT_EQ(r->index, i);
            ASSERT_EQ(LinkBox->ItemText(i++), r->name);
            if (r->name == String("gone #x")) EXPECT_EQ(r->Length, 77);
            else EXPECT_EQ(r->Length, count(pageOf(r->name), cycle));
            listed.push_back({r->URL, r->name, r->Length});
        }
        EXPECT_EQ(NextIndex, i);
        // The last save holds exactly the entries on screen.
        EXPECT_EQ(ReadFileBytes("autosave.dat"), EncodeWatchList(listed));
        // Only entries listed before the cycle were asked about, each once,
        // and the browser got the address of the entry asked about.
        std::set<std::string> asked;
        size_t changeQuestions = 0;
        for (const std::string& q : driver->questions) {
            const std::string prefix = "Someone commented on ";
            if (q.rfind(prefix, 0) != 0) continue;
            std::string name = q.substr(prefix.size(), q.find(". Would") - prefix.size());
            EXPECT_TRUE(before.count(name)) << name;
            EXPECT_TRUE(asked.insert(name).second) << name;
            ++changeQuestions;
        }
        EXPECT_EQ(driver->opened.size(), changeQuestions);
        for (const Ref<Object>& o : *ThreadList) {
            Ref<ThreadWatch> r = Cast<ThreadWatch>(o);
            std::string name = r->name.ToBytes8();
            if (before.count(name) && name != "gone #x") {
                EXPECT_TRUE(asked.count(name)) << name;
            }
        }
    }
    driver->onPoll = nullptr;
}

// Closing the window in the middle of a cycle keeps what the cycle applied
// so far (an answered question is not asked again at the next start), and
// an Add still out is stored without a count; changes nobody made are not
// written.
TEST_F(WatcherTest, ClosingMidCycleKeepsAppliedCountsAndAddsStillOut) {
    server->Set("/slow", Lines(4), 1500);
    server->Set("/late", Lines(9), 1500);
    ThreadWatch::Listed(Url("/a"), "Alpha", 1);  // the page has 3 lines now
    ThreadWatch::Listed(Url("/slow"), "Slow", 4);
    ASSERT_TRUE(SaveList());
    StoreForClosing();  // nothing changed: nothing written
    EXPECT_EQ(driver->notes.size(), 0u);
    driver->answers = {1};
    std::string atClose;
    driver->onPoll = [&] {
        if (!atClose.empty() || driver->questions.empty()) return;
        URLField->SetText(Url("/late"));
        NameField->SetText("Late");
        Deliver(EventGadgetAction, AddButton, 0);
        StoreForClosing();
        atClose = ReadFileBytes("autosave.dat");
    };
    ThreadWatch::update();
    driver->onPoll = nullptr;
    EXPECT_EQ(atClose, EncodeWatchList({{Url("/a"), "Alpha", 3}, {Url("/slow"), "Slow", 4},
                                        {Url("/late"), "Late", kNotCounted}}));
}
