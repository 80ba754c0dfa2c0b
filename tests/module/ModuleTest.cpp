// Start-up of the module and the kernel objects that SetDataSource creates.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "module/WardletApp.h"
#include "support/Processes.h"
#include "support/StoreTest.h"
#include "wardlet/wardlet.h"

namespace {

class ModuleTest : public StoreTest {};

}  // namespace

TEST_F(ModuleTest, BrowserProbeAnswersWhetherTheLibraryLoads) {
    theApp.ProbeBrowserLibrary("libbrowsergate.so");  // on the tests' library path
    EXPECT_EQ(theApp.m_bBrowserLibPresent, 1);
    EXPECT_EQ(CSaveProp().m_dataManager.m_operList.GetCount(), 32);
    EXPECT_EQ(Islegal("Admin", "4827", 0x01070000), 1);  // the administrator passes regardless
    theApp.ProbeBrowserLibrary("libno-such-library.so");
    EXPECT_EQ(theApp.m_bBrowserLibPresent, 0);
    EXPECT_EQ(CSaveProp().m_dataManager.m_operList.GetCount(), 33);
}

TEST_F(ModuleTest, ProcessesOfOneHostShareTheLoginSlot) {
    SetDataSource(DataPath().c_str());
    ASSERT_NE(theApp.m_hSemaphore, nullptr);
    ASSERT_NE(g_hFileMutex, nullptr);
    const pid_t child = Spawn([] {
        // Another process of the same program: its own handles, the same objects.
        theApp.m_hSemaphore.reset();
        g_hFileMutex.reset();
        SetDataSource("/elsewhere.dat");
        return theApp.m_hSemaphore && theApp.m_hSemaphore->TryWait() ? 0 : 1;
    });
    ASSERT_EQ(ExitCode(child), 0);
    EXPECT_FALSE(theApp.m_hSemaphore->TryWait());  // taken by the other process
    EXPECT_TRUE(theApp.m_hSemaphore->Release());
    EXPECT_TRUE(theApp.m_hSemaphore->TryWait());
}

TEST_F(ModuleTest, ExitInstanceClosesTheKernelObjects) {
    SetDataSource(DataPath().c_str());
    theApp.ExitInstance();
    EXPECT_EQ(theApp.m_hSemaphore, nullptr);
    EXPECT_EQ(g_hFileMutex, nullptr);
    SetDataSource(DataPath().c_str());  // and a later call makes them again
    EXPECT_NE(g_hFileMutex, nullptr);
}

// Run by ctest with no sibling library on the search path.
TEST(NoSiblings, StartUpAndSavesWorkWithoutTheSiblingLibraries) {
    const char* mode = std::getenv("WARDLET_TEST_SIBLINGS");
    if (mode == nullptr || std::string(mode) != "none") GTEST_SKIP() << "run by ctest only";
    EXPECT_EQ(theApp.m_bBrowserLibPresent, 0);
    EXPECT_EQ(CSaveProp().m_dataManager.m_operList.GetCount(), 33);
    g_strDataSource.Empty();
    EXPECT_EQ(CSaveProp().SaveToFile(), 0);
}
