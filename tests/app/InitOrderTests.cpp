#include <gtest/gtest.h>

#include "ChildProcess.h"

TEST(StartUp, ModulesInitialiseOnceInImportOrder) {
#ifdef _WIN32
    ChildResult r = RunChild(TestBinaryDirectory() + "/app_init_child.exe");
#else
    ChildResult r = RunChild(TestBinaryDirectory() + "/app_init_child");
#endif
    ASSERT_EQ(r.status, 0) << r.err;
    std::vector<std::string> order;
    for (size_t from = 0, p; (p = r.out.find('\n', from)) != std::string::npos; from = p + 1) {
        std::string line = r.out.substr(from, p - from);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        order.push_back(line);
    }
    std::vector<std::string> expected = {
        "core runtime", "linked list", "system-library bindings", "stream interface", "memory banks",
        "file system", "text streams", "standard input and output", "hooks, events", "system driver",
        "gadget model, GUI driver interface, GUI toolkit functions",
#ifdef _WIN32
        "Win32 GUI driver",
#endif
        "GUI platform selection", "sockets", "RAM and endian streams", "socket streams", "HTTP streams",
        "event queue", "classic string functions", "timers", "application"};
    EXPECT_EQ(order, expected);
}
