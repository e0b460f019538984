// Runs in its own process, so the order is the one a program sees.
#include <gtest/gtest.h>

#include <string>
#include <typeinfo>
#include <vector>

#include "runtime/Program.h"
#include "stream/Bank.h"
#include "stream/FileStream.h"
#include "stream/FileSystem.h"
#include "stream/RamStream.h"
#include "stream/TextStream.h"

TEST(StreamInitOrder, ModulesAndFactoriesComeUpInTheDocumentedOrder) {
    InitFileSystem();
    InitStandardIO();
    InitRamStream();
    InitRamStream();  // a second call changes nothing
    std::vector<std::string> order(ModuleInitOrder().begin(), ModuleInitOrder().end());
    EXPECT_EQ(order, (std::vector<std::string>{"core runtime", "linked list", "system-library bindings", "stream interface", "memory banks",
                                               "file system", "text streams", "standard input and output",
                                               "RAM and endian streams"}));
    std::vector<std::string> chain;
    for (Ref<TStreamFactory> f = StreamFactoryChain(); f; f = f->Successor()) chain.push_back(typeid(*f).name());
    EXPECT_EQ(chain, (std::vector<std::string>{typeid(TXEndianStreamFactory).name(), typeid(TRamStreamFactory).name(),
                                               typeid(TTextStreamFactory).name(), typeid(TBankStreamFactory).name()}));
    EXPECT_TRUE(ConsoleStream);
    EXPECT_EQ(ConsoleStream->Encoding(), TTextStream::UTF8);
}
