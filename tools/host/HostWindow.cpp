#include "HostWindow.h"

#include <string.h>

#include <QAction>
#include <QHeaderView>
#include <QLabel>
#include <QStatusBar>
#include <QToolBar>
#include <QTreeView>
#include <cstring>
#include <string_view>

#include "OperationTree.h"
#include "platform/Cp936.h"
#include "tools/HostTextBuffer.h"
#include "wardlet/wardlet.h"

namespace {

constexpr QSize kInitialSize{960, 640};

QString FromCp936(std::string_view bytes) {
    return QString::fromStdString(Utf8FromCp936Replacing(bytes));
}

// The row's text for GetPassed's answer; `user` is the name the library wrote back.
QString AnswerText(int32_t answer, const char* user) {
    switch (answer) {
        case 0:
            return QStringLiteral("允许（%1）").arg(FromCp936(user));
        case 1:
            return QStringLiteral("已取消");
        case 2:
            return QStringLiteral("密码错误");
        case 3:
            return QStringLiteral("拒绝");
        case 4:
            return QStringLiteral("不在有效期内");
        default:
            return QStringLiteral("未知结果 %1").arg(answer);
    }
}

// The logged-in user's name (CP936), or "" when nobody is logged in. The password that comes
// with it is not wanted, so it does not stay in memory.
std::string LoggedInUser() {
    HostTextBuffer name;
    HostTextBuffer password;
    const bool someone = GetCurUserInfo(name.data(), password.data()) == 1;
    explicit_bzero(password.data(), std::strlen(password.data()));
    return someone ? name.data() : "";
}

}  // namespace

HostWindow::HostWindow(QWidget* parent)
    : QMainWindow(parent), operations_(new OperationTree(this)), tree_(new QTreeView(this)) {
    setObjectName("hostWindow");
    setWindowTitle("Wardlet 监控站");
    resize(kInitialSize);  // wide enough for the descriptions
    SetUpActions();
    SetUpTree();
    SetUpStatusBar();
    LoadOperations();
    RefreshStatus();
    // The library's logout timer fires inside this event loop; the status has to be read again
    // to show it.
    connect(&refreshTimer_, &QTimer::timeout, this, &HostWindow::RefreshStatus);
    refreshTimer_.start(kRefreshInterval);
}

void HostWindow::CheckOperation(uint32_t code) {
    HostTextBuffer user;
    const int32_t answer = GetPassed(code, user.data());
    operations_->SetAnswer(code, AnswerText(answer, user.data()));
    RefreshStatus();
}

void HostWindow::RefreshStatus() {
    const std::string_view status = GetLogStatus().View();
    // Empty before the first login and after a cancelled one.
    logStatusLabel_->setText(
        QStringLiteral("登录状态：%1").arg(status.empty() ? "—" : FromCp936(status)));
    const std::string user = LoggedInUser();
    currentUserLabel_->setText(user.empty() ? QStringLiteral("当前用户：无")
                                            : QStringLiteral("当前用户：%1").arg(FromCp936(user)));
}

void HostWindow::SetUpActions() {
    QToolBar* toolbar = addToolBar("操作");
    toolbar->setObjectName("hostToolBar");
    toolbar->setMovable(false);
    toolbar->addAction(AddAction("登录", "loginAction", &LogIn));
    toolbar->addAction(AddAction("注销", "logoutAction", &LogOut));
    toolbar->addAction(AddAction("权限管理", "configAction", &Config));
    toolbar->addSeparator();
    checkAction_ = toolbar->addAction("检查权限", this, &HostWindow::CheckCurrentOperation);
    checkAction_->setObjectName("checkAction");
    checkAction_->setEnabled(false);  // until an operation is chosen
    toolbar->addSeparator();
    QAction* quit = toolbar->addAction("退出", this, &QWidget::close);
    quit->setObjectName("quitAction");
    quit->setShortcut(QKeySequence::Quit);
}

QAction* HostWindow::AddAction(const QString& text, const QString& objectName, void (*run)()) {
    auto* action = new QAction(text, this);
    action->setObjectName(objectName);
    connect(action, &QAction::triggered, this, [this, run] {
        run();
        RefreshStatus();
    });
    return action;
}

void HostWindow::SetUpTree() {
    tree_->setObjectName("operationTree");
    tree_->setModel(operations_);
    tree_->setUniformRowHeights(true);
    tree_->setSelectionBehavior(QAbstractItemView::SelectRows);
    tree_->setExpandsOnDoubleClick(false);  // a double click checks the operation instead
    setCentralWidget(tree_);
    connect(tree_, &QTreeView::doubleClicked, this,
            [this](const QModelIndex& index) { CheckOperation(operations_->CodeAt(index)); });
    connect(tree_->selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this](const QModelIndex& current) { checkAction_->setEnabled(current.isValid()); });
}

void HostWindow::SetUpStatusBar() {
    logStatusLabel_ = new QLabel(this);
    logStatusLabel_->setObjectName("logStatusLabel");
    currentUserLabel_ = new QLabel(this);
    currentUserLabel_->setObjectName("currentUserLabel");
    statusBar()->addWidget(logStatusLabel_, 1);
    statusBar()->addPermanentWidget(currentUserLabel_);
}

// The catalogue is fixed, so the operations are read once. The store GetConfigData hands out
// stays the library's and lasts only until the next call, so nothing of it is kept.
void HostWindow::LoadOperations() {
    CObList stores;
    GetConfigData(&stores);
    if (stores.IsEmpty()) return;
    const auto* store = static_cast<const CSaveProp*>(stores.GetHead());
    operations_->Load(store->m_dataManager.m_operList);
    tree_->expandAll();
    tree_->header()->resizeSections(QHeaderView::ResizeToContents);
}

void HostWindow::CheckCurrentOperation() {
    const QModelIndex current = tree_->currentIndex();
    if (current.isValid()) CheckOperation(operations_->CodeAt(current));
}
