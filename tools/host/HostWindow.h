#pragma once

#include <QMainWindow>
#include <QTimer>
#include <chrono>
#include <cstdint>

class OperationTree;
class QAction;
class QLabel;
class QTreeView;

// The station's main window: the catalogue's operations as a tree, each of which can be checked
// for the operator, the library's login, logout and administration, and a status bar that follows
// the login. Every call goes through the exports of libwardlet.so, as any host's would.
class HostWindow : public QMainWindow {
    Q_OBJECT

public:
    // Often enough that an automatic logout shows within a second while the window sits idle.
    static constexpr std::chrono::milliseconds kRefreshInterval{1000};

    // REQUIRES: the data source is set.
    explicit HostWindow(QWidget* parent = nullptr);

    // Asks GetPassed about `code` (which may show the library's verification dialog) and writes
    // the answer in the operation's row.
    void CheckOperation(uint32_t code);
    // Shows the outcome of the last login or logout and who is logged in now.
    void RefreshStatus();

private:
    void SetUpActions();
    void SetUpTree();
    void SetUpStatusBar();
    void LoadOperations();
    void CheckCurrentOperation();
    // Adds a toolbar action that calls `run`, then refreshes the status.
    QAction* AddAction(const QString& text, const QString& objectName, void (*run)());

    OperationTree* operations_;
    QTreeView* tree_;
    QAction* checkAction_ = nullptr;
    QLabel* logStatusLabel_ = nullptr;
    QLabel* currentUserLabel_ = nullptr;
    QTimer refreshTimer_;
};
