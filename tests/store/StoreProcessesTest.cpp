// Several real processes sharing one data file through the file mutex.
#include <gtest/gtest.h>
#include <sys/types.h>

#include <functional>
#include <vector>

#include "module/WardletApp.h"
#include "support/Processes.h"
#include "support/StoreTest.h"
#include "wardlet/store/SaveProp.h"
#include "wardlet/wardlet.h"

namespace {

class StoreProcessesTest : public StoreTest {
protected:
    // Runs `body` in a forked child; returns its pid. The child exits 0 when `body` returns true.
    static pid_t SpawnChecked(const std::function<bool()>& body) {
        return Spawn([&] { return body() ? 0 : 1; });
    }
    static bool Succeeded(pid_t pid) { return ExitCode(pid) == 0; }
};

constexpr int kRounds = 60;

// One read-modify-write of the store under the file mutex: no other process may slip a save
// in between, or its increment would be lost.
bool IncrementMinutes() {
    g_hFileMutex->Lock();
    CSaveProp store;
    bool ok = store.LoadFromFile() == 1;
    store.m_nLogoutMinutes += 1;
    ok = ok && store.SaveToFile() == 1;
    g_hFileMutex->Unlock();
    return ok;
}

}  // namespace

TEST_F(StoreProcessesTest, TwoProcessesIncrementingUnderTheMutexLoseNothing) {
    SetDataSource(DataPath().c_str());
    ASSERT_NE(g_hFileMutex, nullptr);
    ASSERT_EQ(CSaveProp().SaveToFile(), 1);
    auto worker = [] {
        for (int i = 0; i < kRounds; ++i) {
            if (!IncrementMinutes()) return false;
        }
        return true;
    };
    pid_t first = SpawnChecked(worker);
    pid_t second = SpawnChecked(worker);
    EXPECT_TRUE(Succeeded(first));
    EXPECT_TRUE(Succeeded(second));
    CSaveProp store;
    ASSERT_EQ(store.LoadFromFile(), 1);
    EXPECT_EQ(store.m_nLogoutMinutes, 3 + 2 * kRounds);
}

TEST_F(StoreProcessesTest, ReaderNeverSeesATornFileWhileAnotherProcessSaves) {
    SetDataSource(DataPath().c_str());
    ASSERT_EQ(CSaveProp().SaveToFile(), 1);
    pid_t writer = SpawnChecked([] {
        for (int i = 0; i < kRounds; ++i) {
            CSaveProp store;
            // Alternately 0 and 200 users: a torn file would show another count or fail to load.
            for (int id = 0; i % 2 == 1 && id < 200; ++id) AddUser(store, id, "user", "pw");
            store.m_nLogoutMinutes = store.m_dataManager.m_userList.GetCount();
            if (store.SaveToFile() != 1) return false;
        }
        return true;
    });
    pid_t reader = SpawnChecked([] {
        for (int i = 0; i < kRounds; ++i) {
            CSaveProp store;
            if (store.LoadFromFile() != 1) return false;
            int users = store.m_dataManager.m_userList.GetCount();
            if (users != store.m_nLogoutMinutes && !(users == 0 && store.m_nLogoutMinutes == 3)) {
                return false;
            }
        }
        return true;
    });
    EXPECT_TRUE(Succeeded(writer));
    EXPECT_TRUE(Succeeded(reader));
}
