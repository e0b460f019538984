#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "event/SystemDriver.h"
#include "runtime/Program.h"

namespace {

TEST(FileRequest, PathSplitsIntoFolderAndName) {
    String folder, name;
    SplitRequestPath("C:/data/notes.txt", folder, name);
    EXPECT_EQ(String("C:\\data"), folder);
    EXPECT_EQ(String("notes.txt"), name);
    SplitRequestPath("plain.txt", folder, name);
    EXPECT_EQ(String(), folder);
    EXPECT_EQ(String("plain.txt"), name);
    SplitRequestPath("dir/", folder, name);
    EXPECT_EQ(String("dir"), folder);
    EXPECT_EQ(String(), name);
}

TEST(FileRequest, FilterIndexFindsTheGroupOfTheExtension) {
    const String groups = "Text:txt,LOG;Images:png,bmp;Pages:html";
    EXPECT_EQ(1, RequestFilterIndex(groups, "a/b/readme.TXT"));
    EXPECT_EQ(1, RequestFilterIndex(groups, "x.log"));
    EXPECT_EQ(2, RequestFilterIndex(groups, "x.bmp"));
    EXPECT_EQ(3, RequestFilterIndex(groups, "x.html"));  // the last group too
    EXPECT_EQ(0, RequestFilterIndex(groups, "x.htm"));   // no partial matches
    EXPECT_EQ(0, RequestFilterIndex(groups, "noext"));
    EXPECT_EQ(0, RequestFilterIndex(groups, "my.dir/noext"));  // a folder's dot is no extension
    EXPECT_EQ(1, RequestFilterIndex("txt,log", "f.log"));
    EXPECT_EQ(0, RequestFilterIndex(String(), "f.log"));
}

TEST(FileRequest, FilterListBecomesNativePairs) {
    using namespace std::string_literals;
    EXPECT_EQ(u"Text\0*.txt;*.log\0Images\0*.png\0"s, RequestFilterList("Text:txt,log;Images:png"));
    EXPECT_EQ(u"Files\0*.txt;*.log\0"s, RequestFilterList("txt,log"));
    EXPECT_EQ(u""s, RequestFilterList(String()));
}

TEST(OpenURLRewriting, AddressesPathsAndAnchors) {
    EXPECT_EQ(String("http://example.test/a"), ResolveURLForOpening("http://example.test/a"));
    EXPECT_EQ(String("HTTP://Example.test/"), ResolveURLForOpening("HTTP://Example.test/"));
    EXPECT_EQ(String("hTTps://x"), ResolveURLForOpening("hTTps://x"));
    EXPECT_EQ(String("File:whatever"), ResolveURLForOpening("File:whatever"));
    EXPECT_EQ(String("http:www.example.test/page#top"), ResolveURLForOpening("www.example.test/page#top"));
    EXPECT_EQ(String("http:#only"), ResolveURLForOpening("#only"));

    // An existing file becomes "file:" + its absolute path; the anchor stays.
    FILE* f = std::fopen("url_target.html", "wb");
    ASSERT_NE(nullptr, f);
    std::fclose(f);
    String resolved = ResolveURLForOpening("url_target.html#part");
    EXPECT_TRUE(resolved.HasPrefix("file:")) << resolved.ToUTF8();
    EXPECT_TRUE(resolved.HasSuffix("/url_target.html#part")) << resolved.ToUTF8();
    EXPECT_GT(resolved.Length(), String("file:/url_target.html#part").Length());
    std::remove("url_target.html");
}

TEST(SystemClock, TextsAndTicks) {
    String date = DateText();
    String time = TimeText();
    EXPECT_EQ(11, date.Length()) << date.ToUTF8();  // "08 Dec 2026"
    EXPECT_EQ(8, time.Length()) << time.ToUTF8();   // "18:02:33"
    EXPECT_EQ(u':', time[2]);
    int32_t before = TickMillis();
    SleepMillis(20);
    int32_t elapsed = TickMillis() - before;
    EXPECT_GE(elapsed, 18);
    EXPECT_LT(elapsed, 1000);
}

std::vector<int> g_calls;
void Record(void* a, void* b) {
    g_calls.push_back(static_cast<int>(reinterpret_cast<intptr_t>(a) * 1000 + reinterpret_cast<intptr_t>(b)));
}

TEST(MainThreadCalls, OtherThreadsCallsRunInOrderWhenPumped) {
    InitSystemDriver();
    g_calls.clear();
    std::thread poster([] {
        for (intptr_t i = 1; i <= 50; ++i) PostMainThreadCall(Record, reinterpret_cast<void*>(i), reinterpret_cast<void*>(7));
    });
    poster.join();
    EXPECT_TRUE(g_calls.empty());  // nothing runs until the main thread pumps
    PumpSystem();
    ASSERT_EQ(50u, g_calls.size());
    for (int i = 0; i < 50; ++i) EXPECT_EQ((i + 1) * 1000 + 7, g_calls[i]);

    // Waiting wakes for a call posted later.
    g_calls.clear();
    std::thread late([] {
        SleepMillis(30);
        PostMainThreadCall(Record, nullptr, reinterpret_cast<void*>(9));
    });
    AwaitSystem();
    late.join();
    PumpSystem();
    EXPECT_EQ(std::vector<int>{9}, g_calls);
}

}  // namespace
