// Opening the administration windows on a large plant: the Users page (its list filled) and the
// group dialog (its users list filled and its rights tree built), each shown and closed again.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QDialog>
#include <QTimer>
#include <QTreeWidget>
#include <string>

#include "admin_ui/DlgGroupProp.h"
#include "bench/BenchStore.h"
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
        AddBenchGroup(data, g);
        AddBenchGrant(data, g, 0x01010200);
    }
    for (int u = 0; u < users; ++u) {
        AddBenchUser(data, u);
        AddBenchMember(data, u % groups, u);
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
