#include "Screenshots.h"

#include <string.h>

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPointer>
#include <QStyle>
#include <QTabWidget>
#include <QTableWidget>
#include <QTimer>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>
#include <array>
#include <functional>
#include <optional>
#include <utility>

#include "platform/Cp936.h"
#include "platform/MessageBox.h"     // IDOK, IDCANCEL
#include "platform/PropertySheet.h"  // AFX_IDC_TAB_CONTROL
#include "resources/ResourceIds.h"
#include "tools/HostTextBuffer.h"
#include "wardlet/wardlet.h"

namespace {

// How long a window or a filled tree may take to appear, and how often the script looks.
constexpr qint64 kWaitLimitMs = 5000;
constexpr int kPollIntervalMs = 20;
// Layout requests cascade from a page up to the sheet, one widget level per round.
constexpr int kLayoutRounds = 4;
// After a failure, at most this many nested windows are closed.
constexpr int kMaxNestedWindows = 8;

struct SheetTab {
    int pageID;
    const char* fileName;
};
// The sheet's tabs in the order Config adds the pages.
constexpr std::array<SheetTab, 3> kSheetTabs = {{
    {IDD_PAGE_GROUP, "sheet-groups.png"},
    {IDD_PAGE_USER, "sheet-users.png"},
    {IDD_PAGE_OTHER, "sheet-other.png"},
}};
constexpr int kGroupsTab = 0;
constexpr int kUsersTab = 1;

QString IdName(int id) { return QString::number(id); }

QString FromCp936(std::string_view bytes) {
    return QString::fromStdString(Utf8FromCp936Replacing(bytes));
}

std::string ToCp936(const QString& text) {
    return Cp936FromUtf8(text.toStdString()).value_or(std::string());
}

// The password the store holds for the administrator (or user) `name`, or nothing.
std::optional<QString> StoredPassword(const QString& name) {
    const std::string bytes = ToCp936(name);
    if (bytes.empty() || bytes.size() >= HostTextBuffer::kSize) return std::nullopt;
    HostTextBuffer nameBuffer(bytes);
    HostTextBuffer password;
    std::optional<QString> result;
    if (GetCurUserInfo(nameBuffer.data(), password.data()) == 1) {
        result = FromCp936(password.data());
    }
    explicit_bzero(password.data(), std::strlen(password.data()));
    return result;
}

// The row of the first user with a daily window or a date range, else 0; -1 for an empty list.
// The Users page shows the name in its second column.
int RowOfLimitedUser(const QTableWidget& list) {
    for (int row = 0; row < list.rowCount(); ++row) {
        const QTableWidgetItem* name = list.item(row, 1);
        int32_t kind = 0, from = 0, to = 0;
        if (name != nullptr && GetUserTimeSect(ToCp936(name->text()).c_str(), &kind, &from, &to) &&
            kind != 0) {
            return row;
        }
    }
    return list.rowCount() > 0 ? 0 : -1;
}

int FirstRow(const QTableWidget& list) { return list.rowCount() > 0 ? 0 : -1; }

// The first unchecked item with children, below the top level if there is one there: checking a
// top-level item would check nearly everything.
QTreeWidgetItem* BranchToCheck(QTreeWidget& tree) {
    for (const bool nested : {true, false}) {
        for (QTreeWidgetItemIterator it(&tree); *it != nullptr; ++it) {
            QTreeWidgetItem* item = *it;
            if (item->childCount() > 0 && item->checkState(0) == Qt::Unchecked &&
                (item->parent() != nullptr) == nested) {
                return item;
            }
        }
    }
    return nullptr;
}

bool IsSubtreeChecked(const QTreeWidgetItem* item) {
    if (item->checkState(0) != Qt::Checked) return false;
    for (int child = 0; child < item->childCount(); ++child) {
        if (!IsSubtreeChecked(item->child(child))) return false;
    }
    return true;
}

// Where the style draws the check box of an item whose row is `row`: first in the item's cell,
// one focus-frame margin in, centred down the row.
QPoint CheckBoxCentre(const QTreeWidget& tree, const QRect& row) {
    const QStyle* style = tree.style();
    const int margin = style->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, &tree) + 1;
    const int width = style->pixelMetric(QStyle::PM_IndicatorWidth, nullptr, &tree);
    return {row.left() + margin + width / 2, row.center().y()};
}

// A left press and release at `point` of `target`, as the mouse would make them.
void ClickAt(QWidget* target, QPoint point) {
    const QPointF local(point);
    const QPointF global(target->mapToGlobal(point));
    QMouseEvent press(QEvent::MouseButtonPress, local, global, Qt::LeftButton, Qt::LeftButton,
                      Qt::NoModifier);
    QApplication::sendEvent(target, &press);
    QMouseEvent release(QEvent::MouseButtonRelease, local, global, Qt::LeftButton, Qt::NoButton,
                        Qt::NoModifier);
    QApplication::sendEvent(target, &release);
}

// A key as the operator's keyboard gives it: to the widget that has the focus, going up through
// its parents until one takes it. False when nothing has the focus.
bool PressKey(int key) {
    QWidget* focus = QApplication::focusWidget();
    if (focus == nullptr) return false;
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
    QApplication::sendEvent(focus, &press);
    QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier);
    QApplication::sendEvent(focus, &release);
    return true;
}

// A freshly added page resizes the sheet through posted layout requests; grab after them.
void SettleLayouts() {
    for (int round = 0; round < kLayoutRounds; ++round) {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
    }
}

std::optional<QByteArray> ReadWholeFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return std::nullopt;
    return file.readAll();
}

// The script. Config() runs the windows' loops; each step acts on a window once it has been
// shown, then arms the wait for whatever its action opens next. Every wait has a deadline.
class ScreenshotScript : public QObject {
public:
    explicit ScreenshotScript(const QString& folder) : folder_(folder) {
        poll_.setInterval(kPollIntervalMs);
        connect(&poll_, &QTimer::timeout, this, &ScreenshotScript::Poll);
    }

    // Awaits the credential dialog.
    void Start() { Expect(Window::kLogin, &ScreenshotScript::OnLogin); }
    // Once Config() has returned: true when every step ran; otherwise false with the reason.
    bool Succeeded(std::string* error) const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    enum class Window { kNone, kLogin, kSheet, kUserDialog, kGroupDialog };
    using Step = void (ScreenshotScript::*)(QWidget*);

    struct ListPage {
        int tab;
        int listID;
        int editButtonID;
        int (*chooseRow)(const QTableWidget&);
    };

    static Window KindOf(QObject* object);
    static QString Describe(Window window);

    // `step` runs on `window` once it has been shown.
    void Expect(Window window, Step step);
    // `window` is null when it was deleted before its step could run.
    void RunStep(Step step, QWidget* window);
    // `then` runs once `ready` holds.
    void Await(const QString& what, std::function<bool()> ready, std::function<void()> then);
    void Arm(const QString& what);
    void Poll();
    void Fail(const QString& why);
    void CloseModalWindows();

    // The control `id` among the window's own; a missing one fails the script.
    template <typename Control>
    Control* Require(QWidget* window, int id);
    bool Save(QWidget* window, const char* fileName);
    // Clicks Cancel; false (the script failed) unless the window closed.
    bool Cancel(QWidget* window);
    // The page of tab `tab`, shown; null (the script failed) when the tab holds another page.
    QWidget* ShowTab(int tab);
    // Selects a row of the page's list and clicks Edit, which is to open `window`.
    void EditRow(const ListPage& page, Window window, Step step);

    void OnLogin(QWidget* dialog);
    void OnSheet(QWidget* sheet);
    // The Users page as the keyboard leaves it: a row chosen with Down, the focus on Edit.
    bool SaveKeyboardFocus();
    void OpenUserDialog();
    void OnUserDialog(QWidget* dialog);
    void OpenGroupDialog();
    void OnGroupDialog(QWidget* dialog);
    void OnTreeFilled(QWidget* dialog);
    void CancelSheet();

    const QDir folder_;
    QPointer<QWidget> sheet_;
    QPointer<QTabWidget> tabs_;
    Window expected_ = Window::kNone;
    Step onShown_ = nullptr;
    std::function<bool()> ready_;
    std::function<void()> then_;
    QString waitingFor_;
    QElapsedTimer clock_;
    QTimer poll_;
    QString error_;
    bool finished_ = false;
};

bool ScreenshotScript::Succeeded(std::string* error) const {
    if (!error_.isEmpty()) {
        *error = error_.toStdString();
    } else if (!finished_) {
        *error =
            "the administration closed while the script waited for " + waitingFor_.toStdString();
    }
    return error_.isEmpty() && finished_;
}

bool ScreenshotScript::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::Show || expected_ == Window::kNone ||
        KindOf(watched) != expected_) {
        return false;
    }
    expected_ = Window::kNone;
    poll_.stop();
    const QPointer<QWidget> window = static_cast<QWidget*>(watched);
    // The window's own show handling finishes first.
    QTimer::singleShot(0, this, [this, step = onShown_, window] { RunStep(step, window); });
    return false;
}

void ScreenshotScript::RunStep(Step step, QWidget* window) {
    if (window != nullptr) {
        (this->*step)(window);
    } else {
        Fail(waitingFor_ + " closed as soon as it was shown");
    }
}

ScreenshotScript::Window ScreenshotScript::KindOf(QObject* object) {
    if (!object->isWidgetType()) return Window::kNone;
    auto* widget = static_cast<QWidget*>(object);
    if (!widget->isWindow()) return Window::kNone;
    const QString name = widget->objectName();
    if (name == IdName(IDD_DLG_LOGIN)) return Window::kLogin;
    if (name == IdName(IDD_DLG_USER_PROP)) return Window::kUserDialog;
    if (name == IdName(IDD_DLG_GROUP_PROP)) return Window::kGroupDialog;
    // The sheet's window has no id of its own; its tab control has.
    const auto* tabs =
        widget->findChild<QTabWidget*>(IdName(AFX_IDC_TAB_CONTROL), Qt::FindDirectChildrenOnly);
    return tabs != nullptr ? Window::kSheet : Window::kNone;
}

QString ScreenshotScript::Describe(Window window) {
    switch (window) {
        case Window::kLogin:
            return QStringLiteral("the credential dialog 权限验证...");
        case Window::kSheet:
            return QStringLiteral("the sheet 权限管理 (was the administrator's password refused?)");
        case Window::kUserDialog:
            return QStringLiteral("the user dialog 用户属性");
        case Window::kGroupDialog:
            return QStringLiteral("the group dialog 组属性");
        case Window::kNone:
            break;
    }
    return QStringLiteral("nothing");
}

void ScreenshotScript::Expect(Window window, Step step) {
    expected_ = window;
    onShown_ = step;
    ready_ = nullptr;
    Arm(Describe(window));
}

void ScreenshotScript::Await(const QString& what, std::function<bool()> ready,
                             std::function<void()> then) {
    ready_ = std::move(ready);
    then_ = std::move(then);
    Arm(what);
}

void ScreenshotScript::Arm(const QString& what) {
    waitingFor_ = what;
    clock_.start();
    poll_.start();
}

void ScreenshotScript::Poll() {
    if (ready_ && ready_()) {
        poll_.stop();
        ready_ = nullptr;
        std::exchange(then_, nullptr)();
    } else if (clock_.hasExpired(kWaitLimitMs)) {
        Fail(QStringLiteral("timed out after %1 ms waiting for %2")
                 .arg(kWaitLimitMs)
                 .arg(waitingFor_));
    }
}

void ScreenshotScript::Fail(const QString& why) {
    if (error_.isEmpty()) error_ = why;
    poll_.stop();
    expected_ = Window::kNone;
    ready_ = nullptr;
    CloseModalWindows();
}

// Cancels the innermost window, then the one below it, and so on: each one's loop ends as soon as
// control returns to it, and Config() returns.
void ScreenshotScript::CloseModalWindows() {
    for (int count = 0; count < kMaxNestedWindows; ++count) {
        QWidget* window = QApplication::activeModalWidget();
        if (window == nullptr) return;
        if (auto* dialog = qobject_cast<QDialog*>(window)) dialog->reject();
        // A window that refuses to be cancelled is hidden, which ends its loop all the same.
        if (window->isVisible()) window->hide();
    }
}

template <typename Control>
Control* ScreenshotScript::Require(QWidget* window, int id) {
    auto* control = window->findChild<Control*>(IdName(id), Qt::FindDirectChildrenOnly);
    if (control == nullptr) {
        Fail(QStringLiteral("window %1 (\"%2\") has no control %3")
                 .arg(window->objectName(), window->windowTitle())
                 .arg(id));
    }
    return control;
}

bool ScreenshotScript::Save(QWidget* window, const char* fileName) {
    SettleLayouts();
    const QString path = folder_.filePath(QString::fromUtf8(fileName));
    if (window->grab().save(path, "PNG")) return true;
    Fail(QStringLiteral("cannot write %1").arg(path));
    return false;
}

bool ScreenshotScript::Cancel(QWidget* window) {
    auto* cancel = Require<QAbstractButton>(window, IDCANCEL);
    if (cancel == nullptr) return false;
    cancel->click();
    if (!window->isVisible()) return true;
    Fail(QStringLiteral("\"%1\" stayed open after Cancel").arg(window->windowTitle()));
    return false;
}

QWidget* ScreenshotScript::ShowTab(int tab) {
    const int pageID = kSheetTabs[tab].pageID;
    tabs_->setCurrentIndex(tab);
    // A page is made the first time its tab is chosen, inside an unnamed holder.
    QWidget* holder = tabs_->currentWidget();
    QWidget* page = holder == nullptr
                        ? nullptr
                        : holder->findChild<QWidget*>(IdName(pageID), Qt::FindDirectChildrenOnly);
    if (tabs_->currentIndex() != tab || page == nullptr) {
        Fail(QStringLiteral("tab %1 of the sheet does not show page %2").arg(tab).arg(pageID));
        return nullptr;
    }
    return page;
}

void ScreenshotScript::EditRow(const ListPage& page, Window window, Step step) {
    QWidget* pageWidget = ShowTab(page.tab);
    if (pageWidget == nullptr) return;
    auto* list = Require<QTableWidget>(pageWidget, page.listID);
    auto* edit = Require<QAbstractButton>(pageWidget, page.editButtonID);
    if (list == nullptr || edit == nullptr) return;
    const int row = page.chooseRow(*list);
    if (row < 0) {
        Fail(QStringLiteral("the list of page %1 is empty: nothing to open in %2")
                 .arg(pageWidget->objectName(), Describe(window)));
        return;
    }
    list->selectRow(row);
    if (!edit->isEnabled()) {
        Fail(QStringLiteral("Edit of page %1 stays disabled with a row selected "
                            "(does the store forbid editing?)")
                 .arg(pageWidget->objectName()));
        return;
    }
    Expect(window, step);
    // Posted: the dialog's loop must not run inside this step.
    QTimer::singleShot(0, edit, &QAbstractButton::click);
}

void ScreenshotScript::OnLogin(QWidget* dialog) {
    auto* user = Require<QLineEdit>(dialog, IDC_EDIT_USER);
    auto* password = Require<QLineEdit>(dialog, IDC_EDIT_PASSWORD);
    auto* ok = Require<QAbstractButton>(dialog, IDOK);
    if (user == nullptr || password == nullptr || ok == nullptr) return;
    const std::optional<QString> typed = StoredPassword(user->text());
    if (!typed) {
        Fail(QStringLiteral("the name preset in the credential dialog (\"%1\") has no password "
                            "in the store")
                 .arg(user->text()));
        return;
    }
    password->insert(*typed);
    if (!Save(dialog, "login.png")) return;
    Expect(Window::kSheet, &ScreenshotScript::OnSheet);
    QTimer::singleShot(0, ok, &QAbstractButton::click);
}

void ScreenshotScript::OnSheet(QWidget* sheet) {
    sheet_ = sheet;
    tabs_ = sheet->findChild<QTabWidget*>(IdName(AFX_IDC_TAB_CONTROL), Qt::FindDirectChildrenOnly);
    for (int tab = 0; tab < static_cast<int>(kSheetTabs.size()); ++tab) {
        if (ShowTab(tab) == nullptr || !Save(sheet, kSheetTabs[tab].fileName)) return;
    }
    if (!SaveKeyboardFocus()) return;
    OpenUserDialog();
}

bool ScreenshotScript::SaveKeyboardFocus() {
    QWidget* page = ShowTab(kUsersTab);
    auto* list = page != nullptr ? Require<QTableWidget>(page, IDC_LIST_USER) : nullptr;
    if (list == nullptr) return false;
    if (list->rowCount() == 0) {
        Fail(QStringLiteral("the list of page %1 is empty: no row to choose with the keyboard")
                 .arg(page->objectName()));
        return false;
    }
    // The keyboard reaches the active window only; the window system makes the sheet active a
    // moment after it is shown.
    sheet_->activateWindow();
    QApplication::processEvents();
    list->setFocus(Qt::TabFocusReason);
    if (!PressKey(Qt::Key_Down) || !PressKey(Qt::Key_Tab) || !PressKey(Qt::Key_Tab)) {
        Fail(QStringLiteral("the sheet has no keyboard focus (is its window active?)"));
        return false;
    }
    const QWidget* focus = QApplication::focusWidget();
    if (focus == nullptr || focus->objectName() != IdName(IDC_BTN_EDIT_USER)) {
        Fail(QStringLiteral("Down and two Tabs from the users list did not reach Edit"));
        return false;
    }
    return Save(sheet_, "sheet-keyboard.png");
}

void ScreenshotScript::OpenUserDialog() {
    EditRow({kUsersTab, IDC_LIST_USER, IDC_BTN_EDIT_USER, &RowOfLimitedUser}, Window::kUserDialog,
            &ScreenshotScript::OnUserDialog);
}

void ScreenshotScript::OnUserDialog(QWidget* dialog) {
    if (!Save(dialog, "user-dialog.png") || !Cancel(dialog)) return;
    QTimer::singleShot(0, this, &ScreenshotScript::OpenGroupDialog);
}

void ScreenshotScript::OpenGroupDialog() {
    EditRow({kGroupsTab, IDC_LIST_GROUP, IDC_BTN_EDIT_GROUP, &FirstRow}, Window::kGroupDialog,
            &ScreenshotScript::OnGroupDialog);
}

// The dialog fills its tree from a timer shortly after it is shown.
void ScreenshotScript::OnGroupDialog(QWidget* dialog) {
    QPointer<QTreeWidget> tree = Require<QTreeWidget>(dialog, IDC_TREE_OPER);
    if (tree == nullptr) return;
    Await(
        QStringLiteral("the rights tree of the group dialog to be filled"),
        [tree] { return tree != nullptr && tree->topLevelItemCount() > 0; },
        [this, window = QPointer<QWidget>(dialog)] {
            if (window) {
                OnTreeFilled(window);
            } else {
                Fail(QStringLiteral("the group dialog closed while its tree was being filled"));
            }
        });
}

void ScreenshotScript::OnTreeFilled(QWidget* dialog) {
    auto* tree = Require<QTreeWidget>(dialog, IDC_TREE_OPER);
    if (tree == nullptr) return;
    QTreeWidgetItem* branch = BranchToCheck(*tree);
    if (branch == nullptr) {
        Fail(QStringLiteral("the group's rights tree has no unchecked branch to click"));
        return;
    }
    tree->scrollToItem(branch);
    ClickAt(tree->viewport(), CheckBoxCentre(*tree, tree->visualItemRect(branch)));
    if (!IsSubtreeChecked(branch)) {
        Fail(QStringLiteral("a click on the check box of \"%1\" did not check it and its subtree")
                 .arg(branch->text(0)));
        return;
    }
    if (!Save(dialog, "group-dialog.png") || !Cancel(dialog)) return;
    QTimer::singleShot(0, this, &ScreenshotScript::CancelSheet);
}

void ScreenshotScript::CancelSheet() {
    if (!sheet_) {
        Fail(QStringLiteral("the sheet closed before the script ended"));
        return;
    }
    finished_ = Cancel(sheet_);
}

}  // namespace

bool TakeScreenshots(const QString& folder, std::string* error) {
    const QString dataPath = QFile::decodeName(GetDataSource());
    const std::optional<QByteArray> before = ReadWholeFile(dataPath);
    if (!before) {
        *error = "cannot read the data file '" + dataPath.toStdString() +
                 "' (write a sample one with 'wardlet demo')";
        return false;
    }
    if (!QDir().mkpath(folder)) {
        *error = "cannot create the folder '" + folder.toStdString() + "'";
        return false;
    }
    ScreenshotScript script(folder);
    qApp->installEventFilter(&script);
    script.Start();
    Config();
    qApp->removeEventFilter(&script);
    if (!script.Succeeded(error)) return false;
    if (ReadWholeFile(dataPath) != before) {
        *error = "the data file changed although every window was cancelled";
        return false;
    }
    return true;
}
