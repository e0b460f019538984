// Whole-process behaviour of the start-up: uncaught errors, the working
// directory, exit handlers.
#include <gtest/gtest.h>

#include <filesystem>

#include "ChildProcess.h"
#include "runtime/Program.h"

namespace {

#ifdef _WIN32
const char* kChild = "runtime_child.exe";
const int kStatusMinusOne = -1;
#else
const char* kChild = "runtime_child";
const int kStatusMinusOne = 255;  // -1 as a POSIX parent sees it
#endif

std::string ChildPath() { return TestBinaryDirectory() + "/" + kChild; }

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    size_t from = 0;
    for (size_t p; (p = text.find('\n', from)) != std::string::npos; from = p + 1) {
        std::string line = text.substr(from, p - from);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

}  // namespace

TEST(UncaughtError, RuntimeExceptionTextGoesToStandardErrorWithStatusMinusOne) {
    ChildResult r = RunChild(ChildPath(), {"raise"});
    EXPECT_EQ(r.err, "Stream is not readable \xE9");  // 8-bit, no line end
    EXPECT_EQ(r.status, kStatusMinusOne);
    EXPECT_EQ(r.out, "");
}

TEST(UncaughtError, PlainStringAndNullAccessAreReportedTheSameWay) {
    ChildResult text = RunChild(ChildPath(), {"raise-text"});
    EXPECT_EQ(text.err, "plain text error");
    EXPECT_EQ(text.status, kStatusMinusOne);
    ChildResult null = RunChild(ChildPath(), {"null"});
    EXPECT_EQ(null.err, "Attempt to access field or method of Null object");
    EXPECT_EQ(null.status, kStatusMinusOne);
}

TEST(StartUp, CurrentDirectoryBecomesTheExecutablesDirectory) {
    std::filesystem::path elsewhere = std::filesystem::temp_directory_path() / "vw-launch-dir";
    std::filesystem::create_directories(elsewhere);
    ChildResult r = RunChild(ChildPath(), {"where", "x y"}, elsewhere.string());
    ASSERT_EQ(r.status, 0) << r.err;
    std::vector<std::string> lines = Lines(r.out);
    ASSERT_EQ(lines.size(), 5u) << r.out;
    std::string binDir = TestBinaryDirectory();
    for (char& c : binDir) if (c == '\\') c = '/';
    EXPECT_EQ(lines[0], binDir);  // the process really changed directory
    EXPECT_EQ(lines[1], binDir);
    std::string launched = elsewhere.string();
    for (char& c : launched) if (c == '\\') c = '/';
    EXPECT_EQ(lines[2], launched);
    EXPECT_EQ(lines[3], "Corvane Application");
    EXPECT_EQ(lines[4], "3");  // the program itself and two arguments
}

TEST(StartUp, ExitHandlersRunInReverseOrderOnEndProgram) {
    ChildResult r = RunChild(ChildPath(), {"exit"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(Lines(r.out), (std::vector<std::string>{"second registered", "first registered"}));
}

TEST(StartUp, ApplicationDirectoryKeepsTheSlashOfADriveRoot) {
    EXPECT_EQ(DirectoryOfExecutable("C:/watch.exe"), String("C:/"));
    EXPECT_EQ(DirectoryOfExecutable("C:/Programs/watch.exe"), String("C:/Programs"));
    EXPECT_EQ(DirectoryOfExecutable("//server/share/watch.exe"), String("//server/share"));
    EXPECT_EQ(DirectoryOfExecutable("watch.exe"), String(""));
    EXPECT_EQ(DirectoryOfExecutable("/watch"), String(""));
}
