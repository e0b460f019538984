// Where the watch list lives: portable copies beside the executable,
// installed ones in the user's data folder, and the take-over of a list
// left beside an installed copy. Real folders under the test's own.
#include <gtest/gtest.h>

#include <cstdlib>

#include "TestPrinters.h"
#include "WatcherFixture.h"
#include "app/ListFolder.h"
#include "app/ListPlace.h"
#include "app/StateFile.h"
#include "runtime/Program.h"
#include "stream/FileSystem.h"

using namespace apptest;

namespace {

const std::string kList = "http::a/\r\nA\r\n3\r\n";

class ListPlaceTest : public ::testing::Test {
protected:
    void SetUp() override {
        InitFileSystem();
        EraseDirectory(kRoot, 1);
        ASSERT_EQ(MakeDirectory(kProgram, 1), 1);
        base = AbsolutePath(kRoot) + "/";
    }
    void TearDown() override { EraseDirectory(kRoot, 1); }

    static std::string Path(const String& path) { return path.ToUTF8(); }

    const String kRoot = "place";
    const String kProgram = "place/program";
    const String kData = "place/data/Vostle Watch";
    String base;
};

TEST_F(ListPlaceTest, MarkerBesideTheProgramChoosesTheDataFolder) {
    String program = base + "program";
    EXPECT_EQ(ChooseListFolder(program, base + "data"), program + "/") << "no marker: portable";
    WriteFileBytes(Path(kProgram + "/" + kInstalledMarker), "installed");
    EXPECT_EQ(ChooseListFolder(program, base + "data"), base + "data/Vostle Watch/");
    EXPECT_EQ(ChooseListFolder(program + "/", base + "data/"), base + "data/Vostle Watch/");
    EXPECT_EQ(ChooseListFolder(program.ReplaceAll("/", "\\"), (base + "data").ReplaceAll("/", "\\")),
              base + "data/Vostle Watch/");
    EXPECT_EQ(ChooseListFolder(program, ""), program + "/") << "no data folder known";
}

TEST_F(ListPlaceTest, TakeOverCopiesOnlyIntoAFolderWithoutAList) {
    struct Case {
        const char* what;
        const char* already;  // file already in the data folder, or nullptr
        bool sourceList;
        TakeOver want;
    } cases[] = {
        {"first start", nullptr, true, TakeOver::Copied},
        {"list already there", "autosave.dat", true, TakeOver::Nothing},
        {"cut-off replacement there", "autosave.dat.new", true, TakeOver::Nothing},
        {"nothing to take over", nullptr, false, TakeOver::Nothing},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EraseDirectory("place/data", 1);
        RemoveFile(kProgram + "/autosave.dat");
        if (c.sourceList) WriteFileBytes(Path(kProgram + "/autosave.dat"), kList);
        WriteFileBytes(Path(kProgram + "/pagestate.dat"), EncodePageStates({{"u", "n", PageState{}}}));
        if (c.already) {
            MakeDirectory(kData, 1);
            WriteFileBytes(Path(kData + "/" + c.already), "kept");
        }
        EXPECT_EQ(TakeOverList(kProgram, kData + "/"), c.want);
        if (c.sourceList) {
            EXPECT_EQ(ReadFileBytes(Path(kProgram + "/autosave.dat")), kList) << "the original stays";
        } else {
            EXPECT_EQ(PathKind("place/data"), PATH_NONE) << "nothing made without a list";
        }
        std::string copied = c.want == TakeOver::Copied ? kList : "";
        std::string in = c.already ? c.already : "autosave.dat";
        EXPECT_EQ(ReadFileBytes(Path(kData + "/" + in.c_str())), c.already ? "kept" : copied);
        // The pages' states come with the list, and only with it.
        EXPECT_EQ(PathKind(kData + "/pagestate.dat"), c.want == TakeOver::Copied ? PATH_FILE : PATH_NONE);
    }
}

TEST_F(ListPlaceTest, FailedTakeOverKeepsUsingTheListWhereItIs) {
    WriteFileBytes(Path(kProgram + "/autosave.dat"), kList);
    WriteFileBytes("place/data", "a file where the folder should be");
    String savedDirectory = ApplicationDirectory;
    ApplicationDirectory = base + "program";
    SetListFolder(base + "data/Vostle Watch/");
    String note = TakeOverLeftList();
    EXPECT_EQ(ListFolder(), base + "program/");
    EXPECT_TRUE(note.ContainsText("could not be copied")) << note.ToUTF8();
    EXPECT_EQ(ReadFileBytes(Path(kProgram + "/autosave.dat")), kList);

    RemoveFile("place/data");
    SetListFolder(base + "data/Vostle Watch/");
    note = TakeOverLeftList();
    EXPECT_EQ(ListFile("autosave.dat"), base + "data/Vostle Watch/autosave.dat");
    EXPECT_TRUE(note.ContainsText("was copied")) << note.ToUTF8();
    EXPECT_EQ(TakeOverLeftList(), String()) << "only the first start takes over";
    ApplicationDirectory = savedDirectory;
    SetListFolder("");
}

#ifndef _WIN32
// Natively the user's data folder comes from XDG_DATA_HOME, so a test can
// point it at a folder of its own; the Windows one is checked by the
// installer's end-to-end test.
TEST_F(ListPlaceTest, AnInstalledCopyMakesItsDataFolderOnItsFirstStart) {
    WriteFileBytes(Path(kProgram + "/" + kInstalledMarker), "installed");
    String savedDirectory = ApplicationDirectory;
    const char* savedData = std::getenv("XDG_DATA_HOME");
    std::string keep = savedData ? savedData : "";
    ApplicationDirectory = base + "program/";
    setenv("XDG_DATA_HOME", Path(base + "data").c_str(), 1);
    PlaceWatchList();
    EXPECT_EQ(ListFolder(), base + "data/Vostle Watch/");
    EXPECT_EQ(PathKind(kData), PATH_DIRECTORY);
    EXPECT_EQ(TakeOverLeftList(), String()) << "nothing to take over";
    if (savedData) setenv("XDG_DATA_HOME", keep.c_str(), 1);
    else unsetenv("XDG_DATA_HOME");
    ApplicationDirectory = savedDirectory;
    SetListFolder("");
}
#endif

}  // namespace
