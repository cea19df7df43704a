#include "support/FileTestFolder.h"
#include "support/PipeTestSupport.h"

#include <gtest/gtest-spi.h>

#include <fcntl.h>
#include <string>
#include <unistd.h>

// The guard fails a load that opens its pipe, and the load returns: the test ends instead of hanging.
TEST(PipeGuard, ALoadThatOpensThePipeFailsTheTestAndIsLetGo) {
    trov::test::FileTestFolder folder;
    const std::string pipe = folder / "pipe.kmd";
    ASSERT_TRUE(trov::test::makePipe(pipe));
    int opened = -1;
    EXPECT_NONFATAL_FAILURE(trov::test::loadWithoutWaitingOn(pipe,
                                                             [&] {
                                                                 opened = ::open(pipe.c_str(), O_RDONLY);
                                                                 char byte = 0;
                                                                 while (::read(opened, &byte, 1) > 0) {
                                                                 }
                                                             }),
                            "the load opened the pipe " + pipe + " and waited for a writer");
    EXPECT_GE(opened, 0);
    ::close(opened);
}
