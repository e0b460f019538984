#include "ChildProcess.h"
#include "StreamTestSupport.h"

namespace {

std::string Child() { return TestBinaryDirectory() + "/stream_console_child"; }


}  // namespace

// Exactly CR LF also on Windows, where a text-mode stdout would add a CR.
TEST(Console, PrintLineWritesUtf8WithCrLf) {
    ChildResult r = RunChild(Child(), {"print"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "Countdown: 5\r\n\xC3\xA9\xE2\x82\xAC\r\n");
}

TEST(Console, PromptLineReadsUtf8LinesAndRaisesAtTheEnd) {
    InitFileSystem();
    String input = AbsolutePath("console_input.txt");
    DumpText8(String(u"first\r\n\u00C3\u00A9t\u00C3\u00A9\n"), input);
    ChildResult r = RunChild(Child(), {"prompt", input.ToUTF8()});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "> [first]\r\n> [\xC3\xA9t\xC3\xA9]\r\n> end\r\n");
    RemoveFile(input);
}
