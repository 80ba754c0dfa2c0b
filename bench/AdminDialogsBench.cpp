// Opening the administration windows on a large plant: the Users page (its list filled) and the
// group dialog (its users list filled and its rights tree built), each shown and closed again.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QDialog>
#include <QTimer>
#include <QTreeWidget>
#include <string>

#include "admin_ui/DlgGroupProp.h"
#include "admin_ui/DlgPageUser.h"
#include "platform/EventLoopTimer.h"
#include "platform/GuiApplication.h"
#include "platform/PropertySheet.h"
#include "platform/TimerQueue.h"
#include "resources/ResourceIds.h"
#include "wardlet/store/SaveProp.h"

namespace {

constexpr int kUsers = 10000;
constexpr int kGroups = 200;

// The timers' clock, moved by hand so that the group dialog's deferred build runs at once.
int64_t g_timerNow = 0;

void FillPlant(CSaveProp& store, int users, int groups) {
    CDataManager& data = store.m_dataManager;
    for (int g = 0; g < groups; ++g) {
        auto* group = new CInfoGroup;
        group->m_nID = g;
        group->m_strName = ("group-" + std::to_string(g)).c_str();
        data.m_groupList.AddTail(group);
        auto* grant = new CInfoGroupOper;
        grant->m_nGroupID = g;
        grant->m_nOperCode = 0x01010200;
        data.m_groupOperList.AddTail(grant);
    }
    for (int u = 0; u < users; ++u) {
        auto* user = new CInfoUser;
        user->m_nID = u;
        user->m_strName = ("operator-" + std::to_string(u)).c_str();
        user->m_strPassword = "secret";
        user->m_strRemark = "shift B";
        data.m_userList.AddTail(user);
        auto* member = new CInfoGroupUser;
        member->m_nGroupID = u % groups;
        member->m_nUserID = u;
        data.m_groupUserList.AddTail(member);
    }
}

bool EnsureGui(benchmark::State& state) {
    std::string whyNot;
    if (gui::EnsureApplication(&whyNot)) return true;
    state.SkipWithError(whyNot.c_str());
    return false;
}

// Closes the modal window about to open once `ready` says it is filled.
template <typename Ready>
void CloseWhenReady(Ready ready) {
    QTimer::singleShot(0, [ready] {
        while (!ready()) QApplication::processEvents();
        if (auto* modal = qobject_cast<QDialog*>(QApplication::activeModalWidget())) modal->reject();
    });
}

void BM_OpenUsersPage(benchmark::State& state) {
    if (!EnsureGui(state)) return;
    CSaveProp store;
    FillPlant(store, kUsers, kGroups);
    for (auto _ : state) {
        CPropertySheet sheet("users");
        CDlgPageUser page(&store);
        sheet.AddPage(&page);
        CloseWhenReady([&page] { return page.m_listUser.GetItemCount() == kUsers; });
        sheet.DoModal();
    }
}

void BM_OpenGroupDialog(benchmark::State& state) {
    if (!EnsureGui(state)) return;
    CSaveProp store;
    FillPlant(store, kUsers, kGroups);
    TimerQueue::SetClock([] { return g_timerNow; });
    for (auto _ : state) {
        CDlgGroupProp dialog(&store);
        dialog.m_bEdit = 1;
        dialog.m_nGroupId = 7;
        CloseWhenReady([&dialog] {
            g_timerNow += 100;  // the deferred build is due now
            ArmEventLoopTimer();
            return dialog.m_treeOper.GetCount() > 0;
        });
        dialog.DoModal();
    }
    TimerQueue::SetClock(nullptr);
}

void BM_NextUserID(benchmark::State& state) {
    CSaveProp store;
    FillPlant(store, kUsers, kGroups);
    for (auto _ : state) benchmark::DoNotOptimize(store.m_dataManager.NextUserID());
}

void BM_NextGroupID(benchmark::State& state) {
    CSaveProp store;
    FillPlant(store, kUsers, kGroups);
    for (auto _ : state) benchmark::DoNotOptimize(store.m_dataManager.NextGroupID());
}

}  // namespace

BENCHMARK(BM_OpenUsersPage)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_OpenGroupDialog)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_NextUserID)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_NextGroupID)->Unit(benchmark::kMicrosecond);
