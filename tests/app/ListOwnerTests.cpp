// One running copy per list, between real processes: a second start on the
// same list, however its folder is spelt, gives way; one on another list
// runs; the claim ends with the process that held it.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "ChildProcess.h"
#include "stream/FileSystem.h"

namespace {

std::string ClaimChild() {
#ifdef _WIN32
    return TestBinaryDirectory() + "/claim_child.exe";
#else
    return TestBinaryDirectory() + "/claim_child";
#endif
}

template <class Change>
std::string Spelt(std::string path, Change change) {
    for (char& c : path) c = change(c);
    return path;
}

}  // namespace

TEST(OneCopyPerList, ASecondStartOnTheSameListGivesWay) {
    const std::string here = WorkingDirectory().ToBytes8() + "/";
    const std::string list = here + "claim-list", other = here + "claim-other";
    for (const std::string& folder : {list, other}) {
        EraseDirectory(folder.c_str(), 1);
        MakeDirectory(folder.c_str());
    }
    MakeDirectory((list + "/sub").c_str());
    ChildResult owner;
    std::thread first([&] { owner = RunChild(ClaimChild(), {list}); });
    for (int i = 0; i < 3000 && PathKind((list + "/claimed").c_str()) == 0; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    const std::string sameList[] = {
        list, list + "/", list + "/./", list + "/sub/..",
#ifdef _WIN32
        Spelt(list, [](char c) { return c == '/' ? '\\' : c; }),
        Spelt(list, [](char c) { return static_cast<char>(toupper(static_cast<unsigned char>(c))); }),
#endif
    };
    for (const std::string& spelling : sameList) EXPECT_EQ(RunChild(ClaimChild(), {spelling}).status, 3) << spelling;
    MakeEmptyFile((other + "/release").c_str());
    EXPECT_EQ(RunChild(ClaimChild(), {other}).status, 0);  // another list: runs beside it
    MakeEmptyFile((list + "/release").c_str());
    first.join();
    EXPECT_EQ(owner.status, 0) << owner.err;
    EXPECT_EQ(RunChild(ClaimChild(), {list}).status, 0);  // the claim went with its process
}
