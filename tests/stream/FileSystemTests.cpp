#include <algorithm>

#include "StreamTestSupport.h"
#include "stream/RamStream.h"

#ifndef _WIN32
#include <unistd.h>
#endif

TEST(PathArithmetic, Normalise) {
    EXPECT_EQ(NormalisePath("C:foo\\bar"), "C:/foo/bar");
    EXPECT_EQ(NormalisePath("C:"), "C:/");
    EXPECT_EQ(NormalisePath("//server"), "//server/");
    EXPECT_EQ(NormalisePath("\\\\server\\share"), "//server/share");
    EXPECT_EQ(NormalisePath("http::host/page"), "http::host/page");
    EXPECT_EQ(NormalisePath("a/b:c"), "a/b:c");
    EXPECT_EQ(NormalisePath("C:/dir/", 1), "C:/dir");
    EXPECT_EQ(NormalisePath("C:/", 1), "C:/");
    EXPECT_EQ(NormalisePath("/", 1), "/");
    EXPECT_EQ(NormalisePath("//srv/", 1), "//srv/");
    EXPECT_EQ(NormalisePath("a/b/", 0), "a/b/");
    EXPECT_EQ(NormalisePath(""), "");
}

TEST(PathArithmetic, Roots) {
    EXPECT_EQ(PathRoot("C:/a/b"), "C:/");
    EXPECT_EQ(PathRoot("//srv/share/x"), "//srv/");
    EXPECT_EQ(PathRoot("//srv"), "");
    EXPECT_EQ(PathRoot("/usr"), "/");
    EXPECT_EQ(PathRoot("a/b"), "");
    EXPECT_EQ(PathRoot("a/b:/c"), "");
    EXPECT_EQ(IsPathRoot("C:/"), 1);
    EXPECT_EQ(IsPathRoot("C:"), 1);  // normalised first
    EXPECT_EQ(IsPathRoot("C:/x"), 0);
    EXPECT_EQ(IsPathRoot(""), 0);
    EXPECT_EQ(HasPathRoot("\\x"), 1);
    EXPECT_EQ(HasPathRoot("x/y"), 0);
}

TEST(PathArithmetic, AbsoluteAgainstAWorkingDirectory) {
    EXPECT_EQ(AbsolutePathAt("a/./b/../c", "C:/w"), "C:/w/a/c");
    EXPECT_EQ(AbsolutePathAt("/x", "C:/w"), "C:/x");
    EXPECT_EQ(AbsolutePathAt("\\x\\y", "C:/w"), "C:/x/y");
    EXPECT_EQ(AbsolutePathAt("x", "C:/"), "C:/x");
    EXPECT_EQ(AbsolutePathAt("", "C:/w"), "C:/w");
    EXPECT_EQ(AbsolutePathAt("D:\\a\\\\b\\", "C:/w"), "D:/a/b");
    // ".." one level below a root keeps the root's "/"; at the root it stops.
    EXPECT_EQ(AbsolutePathAt("..", "C:/a"), "C:/");
    EXPECT_EQ(AbsolutePathAt("../../../y", "C:/a"), "C:/y");
    EXPECT_EQ(AbsolutePathAt("//srv/share/../z", "C:/w"), "//srv/z");
    EXPECT_EQ(AbsolutePathAt("../q", "/a"), "/q");
    EXPECT_EQ(AbsolutePathAt("/x/../..", "/home/u"), "/");  // no drive: stays "/x"
    EXPECT_EQ(AbsolutePathAt("x", "/home/u/"), "/home/u/x");
}

TEST(PathArithmetic, Parts) {
    EXPECT_EQ(DirectoryPart("C:/file.txt"), "C:/");
    EXPECT_EQ(DirectoryPart("a/b/c.txt"), "a/b");
    EXPECT_EQ(DirectoryPart("file.txt"), "");
    EXPECT_EQ(DirectoryPart(".."), "..");
    EXPECT_EQ(DirectoryPart("/x"), "/");
    EXPECT_EQ(DirectoryPart("//srv/x"), "//srv/");
    EXPECT_EQ(DirectoryPart("C:"), "C:/");
    EXPECT_EQ(FileNamePart("a\\b\\c.txt"), "c.txt");
    EXPECT_EQ(FileNamePart("plain"), "plain");
    EXPECT_EQ(ExtensionPart("a.b/c"), "");
    EXPECT_EQ(WithoutExtension("a.b/c"), "a.b/c");
    EXPECT_EQ(ExtensionPart("c.tar.gz"), "gz");
    EXPECT_EQ(WithoutExtension("d/c.tar.gz"), "d/c.tar");
    EXPECT_EQ(BareFileName("x/y/name.ext"), "name");
    EXPECT_EQ(WithoutTrailingSlash("a/b/"), "a/b");
    EXPECT_EQ(WithoutTrailingSlash("C:/"), "C:/");
    EXPECT_EQ(WithoutTrailingSlash("/"), "/");
}

TEST(PathArithmetic, WorkingDirectoryIsAbsoluteAndNormalised) {
    String wd = WorkingDirectory();
    EXPECT_EQ(HasPathRoot(wd), 1);
    EXPECT_EQ(wd.IndexOf("\\"), -1);
    EXPECT_TRUE(IsPathRoot(wd) || !wd.HasSuffix("/"));
    EXPECT_EQ(AbsolutePath("sub"), wd.HasSuffix("/") ? wd + "sub" : wd + "/sub");
#ifdef _WIN32
    EXPECT_EQ(WorkingDrive().Length(), 1);
    EXPECT_EQ(AbsolutePath("/x"), WorkingDrive() + ":/x");
#else
    EXPECT_EQ(WorkingDrive(), "");
    EXPECT_EQ(AbsolutePath("/x"), "/x");
#endif
}

class FileSystem : public ScratchTest {};

TEST_F(FileSystem, KindSizeTimeAndPermissions) {
    WriteFile(P("f.txt"), B("12345"));
    EXPECT_EQ(PathKind(P("f.txt")), 1);
    EXPECT_EQ(PathKind(dir), 2);
    EXPECT_EQ(PathKind(dir + "\\f.txt"), 1);
    EXPECT_EQ(PathKind(P("none")), 0);
    EXPECT_EQ(PathKind(P("f<.txt")), 0);
    EXPECT_EQ(PathKind(P("f>")), 0);
    EXPECT_EQ(PathKind(dir + "/f.txt" + String::FromCodeUnits(u"\0x", 2)), 0);
    EXPECT_EQ(PathByteSize(P("f.txt")), 5);
    EXPECT_EQ(PathByteSize(P("none")), -1);
    EXPECT_GT(PathModifiedTime(P("f.txt")), 1500000000);
    EXPECT_EQ(PathModifiedTime(P("none")), 0);
    EXPECT_EQ(PathPermissions(P("none")), -1);
    int32_t perms = PathPermissions(P("f.txt"));
    EXPECT_NE(perms & 0200, 0);
    EXPECT_EQ(SetPathPermissions(P("f.txt"), 0444), 0);
    EXPECT_EQ(PathPermissions(P("f.txt")) & 0222, 0);
    SetPathPermissions(P("f.txt"), perms);
}

TEST_F(FileSystem, CreateMoveAndRemoveFiles) {
    WriteFile(P("e"), B("old"));
    EXPECT_EQ(MakeEmptyFile(P("e")), 1);
    EXPECT_EQ(PathByteSize(P("e")), 0);
    EXPECT_EQ(MakeEmptyFile(P("no/dir/e")), 0);
    EXPECT_EQ(MovePath(P("e"), P("moved")), 1);
    EXPECT_EQ(PathKind(P("e")), 0);
    EXPECT_EQ(PathKind(P("moved")), 1);
    EXPECT_EQ(MovePath(P("e"), P("x")), 0);
    EXPECT_EQ(RemoveFile(P("moved")), 1);
    EXPECT_EQ(PathKind(P("moved")), 0);
    EXPECT_EQ(RemoveFile(P("moved")), 1);  // nothing there afterwards
    EXPECT_EQ(RemoveFile(dir), 0);         // a directory stays
}

TEST_F(FileSystem, MakeDirectoryRecursiveStopsAtAFileInTheWay) {
    EXPECT_EQ(MakeDirectory(P("a/b/c")), 0);
    EXPECT_EQ(MakeDirectory(P("a/b/c"), 1), 1);
    EXPECT_EQ(PathKind(P("a/b/c")), 2);
    EXPECT_EQ(MakeDirectory(P("a/b/c/"), 1), 1);  // already there
    EXPECT_EQ(MakeDirectory(dir + "\\a\\d", 0), 1);

    WriteFile(P("x"), B("file"));
    EXPECT_EQ(MakeDirectory(P("x/y/z"), 1), 0);
    EXPECT_EQ(PathKind(P("x")), 1);
    EXPECT_EQ(PathKind(P("x/y")), 0);
    EXPECT_EQ(MakeDirectory(P("x"), 0), 0);
}

TEST_F(FileSystem, ListingsAndErase) {
    MakeDirectory(P("t/sub"), 1);
    WriteFile(P("t/one"), B("1"));
    WriteFile(P("t/sub/two"), B("2"));
    std::vector<String> names = ListDirectory(P("t/"), 1);
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<String>{"one", "sub"}));
    std::vector<String> all = ListDirectory(P("t"), 0);
    EXPECT_EQ(all.size(), 4u);  // "." and ".." are listed on both platforms
    EXPECT_TRUE(ListDirectory(P("missing"), 0).empty());

    Ref<TDirectoryListing> l = OpenDirectoryListing(P("t"));
    ASSERT_TRUE(l);
    int count = 0;
    while (!NextListingEntry(l).IsEmpty()) ++count;
    EXPECT_EQ(count, 4);
    EXPECT_EQ(NextListingEntry(l), "");
    CloseDirectoryListing(l);
    EXPECT_EQ(NextListingEntry(l), "");  // closed: nothing, no crash
    EXPECT_FALSE(OpenDirectoryListing(P("missing")));
    EXPECT_EQ(NextListingEntry(Ref<TDirectoryListing>()), "");

    EXPECT_EQ(EraseDirectory(P("t"), 0), 0);  // not empty
    EXPECT_EQ(PathKind(P("t/one")), 1);
    EXPECT_EQ(EraseDirectory(P("t"), 1), 1);
    EXPECT_EQ(PathKind(P("t")), 0);
    EXPECT_EQ(EraseDirectory(P("t"), 1), 0);  // no listing for a missing folder
}

TEST_F(FileSystem, DuplicateTrees) {
    MakeDirectory(P("src/deep/er"), 1);
    WriteFile(P("src/a.txt"), B("alpha"));
    WriteFile(P("src/deep/er/b.bin"), Bytes(10000, 0xAB));
    EXPECT_EQ(DuplicateDirectory(P("src"), P("dst")), 1);
    EXPECT_EQ(ReadFile(P("dst/a.txt")), B("alpha"));
    EXPECT_EQ(ReadFile(P("dst/deep/er/b.bin")), Bytes(10000, 0xAB));
    EXPECT_EQ(DuplicateDirectory(P("src/a.txt"), P("dst2")), 0);
    EXPECT_EQ(DuplicateDirectory(P("src"), P("src/inner")), 0);  // into itself
    EXPECT_EQ(PathKind(P("src/inner")), 0);
    WriteFile(P("blocker"), B("f"));
    EXPECT_EQ(DuplicateDirectory(P("src"), P("blocker")), 0);
}

TEST_F(FileSystem, DuplicateFileReportsFailuresAsZero) {
    WriteFile(P("s"), Bytes(100, 'z'));
    EXPECT_EQ(DuplicateFile(P("s"), String("utf16le::") + P("t")), 1);
    // Through a text stream raw bytes become hex digits: 200 digits and a
    // CR LF after each full line of 32 bytes (the open last line stays open).
    EXPECT_EQ(PathByteSize(P("t")), 200 + 3 * 2);
    WriteFile(P("keep"), B("precious"));
    EXPECT_EQ(DuplicateFile(P("missing"), P("keep")), 0);
    EXPECT_EQ(ReadFile(P("keep")), B("precious"));  // target untouched
    EXPECT_EQ(DuplicateFile(P("s"), P("no/dir/t")), 0);

    // A target that fills up part-way: the write error becomes 0.
    static uint8_t small[16];
    static bool registered = [] {
        struct SmallFactory : TStreamFactory {
            Ref<TStream> CreateStream(const Ref<Object>&, const String& proto, const String&, int32_t,
                                      int32_t) override {
                if (proto != "small") return Ref<TStream>();
                return TRamStream::Create(small, sizeof small, 1, 1);
            }
        };
        New<SmallFactory>();
        return true;
    }();
    ASSERT_TRUE(registered);
    EXPECT_EQ(DuplicateFile(P("s"), "small::x"), 0);
    EXPECT_EQ(small[15], 'z');
}

TEST_F(FileSystem, DuplicateFileOntoItselfUnderAnySpellingLeavesItAlone) {
    WriteFile(P("s"), B("precious"));
    std::vector<String> spellings = {P("s"), "./" + P("s"), P("./s"), String("utf16le::") + P("s"),
                                     AbsolutePath(P("s"))};
#ifdef _WIN32
    spellings.push_back(P("S"));
#else
    ASSERT_EQ(link(P("s").ToUTF8().c_str(), P("hard").ToUTF8().c_str()), 0);
    ASSERT_EQ(symlink(AbsolutePath(P("s")).ToUTF8().c_str(), P("soft").ToUTF8().c_str()), 0);
    spellings.push_back(P("hard"));
    spellings.push_back(P("soft"));
#endif
    for (const String& to : spellings) {
        EXPECT_EQ(DuplicateFile(P("s"), to), 0) << to.ToUTF8();
        EXPECT_EQ(ReadFile(P("s")), B("precious")) << to.ToUTF8();
    }
    EXPECT_EQ(DuplicateFile(P("s"), P("copy")), 1);  // a different file still works
    EXPECT_EQ(ReadFile(P("copy")), B("precious"));
}

TEST_F(FileSystem, EnterDirectoryChangesWhereRelativePathsGo) {
    String before = WorkingDirectory();
    MakeDirectory(P("w"), 1);
    ASSERT_EQ(EnterDirectory(P("w/")), 1);
    WriteFile("here.txt", B("h"));
    EXPECT_EQ(WorkingDirectory(), AbsolutePathAt(P("w"), before));
    ASSERT_EQ(EnterDirectory(before), 1);
    EXPECT_EQ(PathKind(P("w/here.txt")), 1);
    EXPECT_EQ(EnterDirectory(P("missing")), 0);
}

#ifndef _WIN32
TEST_F(FileSystem, EraseRemovesLinksWithoutFollowingThem) {
    MakeDirectory(P("outside"), 1);
    WriteFile(P("outside/keep"), B("k"));
    MakeDirectory(P("tree"), 1);
    std::string target = AbsolutePath(P("outside")).ToUTF8();
    std::string link = AbsolutePath(P("tree/link")).ToUTF8();
    ASSERT_EQ(symlink(target.c_str(), link.c_str()), 0);
    EXPECT_EQ(EraseDirectory(P("tree"), 1), 1);
    EXPECT_EQ(PathKind(P("outside/keep")), 1);
}
#endif
