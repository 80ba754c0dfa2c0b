// The dialog platform's keyboard, as an operator meets it in any dialog: which button Enter
// presses, Escape, Tab through the controls and out of lists, pickers edited field by field,
// limited edits that take what fits of a paste, and check boxes in lists toggled by Space.
#include <QApplication>
#include <QClipboard>
#include <QDateTimeEdit>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTableWidget>
#include <QTest>

#include "platform/DataExchange.h"
#include "platform/DateTimePicker.h"
#include "platform/Dialog.h"
#include "platform/ListCtrl.h"
#include "support/GuiTest.h"
#include "support/Keyboard.h"

namespace {

constexpr int kName = 100;
constexpr int kNote = 101;   // multi-line, Enter presses the default button
constexpr int kLines = 102;  // multi-line that keeps Enter
constexpr int kList = 103;   // with check boxes
constexpr int kClock = 104;  // a time picker
constexpr int kDay = 105;    // a date picker
constexpr int kMore = 106;   // a push button
constexpr int kHiddenBox = 107;

const DialogTemplate kKeysTemplate = {
    9002,
    "键盘",
    260,
    200,
    "宋体",
    9,
    {
        {kHiddenBox, ControlKind::kCheckBox, kHidden, "隐藏", 4, 4, 40, 10},
        {kName, ControlKind::kEdit, kBorder, "", 4, 16, 80, 12},
        {kNote, ControlKind::kEdit, kEditMultiLine | kBorder, "", 4, 32, 80, 30},
        {kLines, ControlKind::kEdit, kEditMultiLine | kEditWantReturn | kBorder, "", 4, 66, 80, 30},
        {kList, ControlKind::kListView, kBorder, "", 90, 16, 160, 80},
        {kClock, ControlKind::kDateTimePicker, kStyleNone, "", 4, 104, 60, 14},
        {kDay, ControlKind::kDateTimePicker, kPickerDate, "", 70, 104, 70, 14},
        {kMore, ControlKind::kPushButton, kStyleNone, "更多(&M)", 4, 180, 50, 14},
        {IDOK, ControlKind::kDefPushButton, kStyleNone, "确定(&O)", 140, 180, 50, 14},
        {IDCANCEL, ControlKind::kPushButton, kStyleNone, "取消", 200, 180, 50, 14},
    },
};

// Its name is limited to 8 bytes; its list has two rows with check boxes; "更多" counts presses.
class KeysDialog : public CDialog {
public:
    KeysDialog() : CDialog(kKeysTemplate) {}
    CString m_strName;
    CTime m_tmClock{2024, 3, 5, 10, 30, 0};
    CTime m_tmDay{2024, 3, 5, 10, 30, 0};
    CListCtrl m_list;
    int m_nMorePressed = 0;

protected:
    void DoDataExchange(CDataExchange* pDX) override {
        DDX_Control(pDX, kList, m_list);
        DDX_Text(pDX, kName, m_strName);
        DDX_DateTimeCtrl(pDX, kClock, m_tmClock);
        DDX_DateTimeCtrl(pDX, kDay, m_tmDay);
    }
    bool OnInitDialog() override {
        CDialog::OnInitDialog();
        LimitText(kName, 8);
        m_list.SetExtendedStyle(LVS_EX_CHECKBOXES | LVS_EX_FULLROWSELECT);
        m_list.InsertColumn(0, Gbk("编号"), LVCFMT_CENTER, 40);
        m_list.InsertColumn(1, Gbk("名字"), LVCFMT_CENTER, 80);
        for (const char* name : {"甲", "乙"}) {
            const int row = m_list.InsertItem(m_list.GetItemCount(), "0");
            m_list.SetItemText(row, 1, Gbk(name));
        }
        return true;
    }
    void OnCommand(int id) override {
        if (id == kMore) ++m_nMorePressed;
    }
};

class DialogKeyboardTest : public GuiTest {
protected:
    int Show(KeysDialog& dialog, ModalDriver::Action action) {
        m_driver->OnNextModal(std::move(action));
        return dialog.DoModal();
    }
};

QString Id(int id) { return QString::number(id); }

QDateTimeEdit* Picker(QWidget* window, int id) {
    return qobject_cast<QDateTimeEdit*>(Control(window, id));
}

// Clicks the picker's text on character `index` of what it shows.
void ClickPickerAt(QWidget* window, int id, int index) {
    auto* edit = Control(window, id)->findChild<QLineEdit*>();
    QApplication::processEvents();  // where the text lies is settled when it is painted
    const int y = edit->height() / 2;
    int x = 0;
    while (x < edit->width() && edit->cursorPositionAt(QPoint(x, y)) <= index) ++x;
    MouseClick(edit, QPoint(x, y));
}

}  // namespace

TEST_F(DialogKeyboardTest, TabWalksTheTemplateOrderOnceThroughEachControl) {
    KeysDialog dialog;
    Show(dialog, [](QWidget*) {
        EXPECT_EQ(FocusName(), Id(kName));  // not the hidden check box
        const std::vector<QString> forward = {Id(kNote),  Id(kLines),   Id(kList),
                                              Id(kClock), Id(kDay),     Id(kMore),
                                              Id(IDOK),   Id(IDCANCEL), Id(kName)};
        EXPECT_EQ(TabWalk(9), forward);
        std::vector<QString> backward(forward.rbegin() + 1, forward.rend());
        backward.push_back(Id(kName));
        EXPECT_EQ(TabWalk(9, true), backward);
        Key(Qt::Key_Escape);
    });
}

TEST_F(DialogKeyboardTest, EnterPressesTheDefaultButtonUnlessAButtonOrAWantReturnEditHasFocus) {
    const struct {
        const char* what;
        int tabs;  // from the name
        int result;
        int morePressed;
    } cases[] = {
        {"from the name", 0, IDOK, 0},
        {"from the multi-line edit without want-return", 1, IDOK, 0},
        {"from the list", 3, IDOK, 0},
        {"from a picker", 4, IDOK, 0},
        {"from a push button", 6, IDOK, 1},
        {"from Cancel", 8, IDCANCEL, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        KeysDialog dialog;
        const int result = Show(dialog, [&c](QWidget* window) {
            TabWalk(c.tabs);
            Key(Qt::Key_Return);
            // "更多" stays open: the next Enter comes from the button too, then OK by mnemonic.
            if (window->isVisible()) Key(Qt::Key_O, Qt::AltModifier);
        });
        EXPECT_EQ(result, c.result);
        EXPECT_EQ(dialog.m_nMorePressed, c.morePressed);
    }
}

TEST_F(DialogKeyboardTest, EditThatWantsEnterTakesItAndCtrlEnterStartsALineElsewhere) {
    KeysDialog dialog;
    QString note, lines;
    const int result = Show(dialog, [&](QWidget* window) {
        TabWalk(1);
        Type("a");
        Key(Qt::Key_Return, Qt::ControlModifier);
        Type("b");
        TabWalk(1);
        Type("c");
        Key(Qt::Key_Enter, Qt::KeypadModifier);
        Type("d");
        EXPECT_TRUE(window->isVisible());
        note = qobject_cast<QPlainTextEdit*>(Control(window, kNote))->toPlainText();
        lines = qobject_cast<QPlainTextEdit*>(Control(window, kLines))->toPlainText();
        Key(Qt::Key_Escape);
    });
    EXPECT_EQ(result, IDCANCEL);
    EXPECT_EQ(note, "a\nb");
    EXPECT_EQ(lines, "c\nd");
}

TEST_F(DialogKeyboardTest, PickerFieldsAreClickedTypedSteppedAndLeftWithOneTab) {
    KeysDialog dialog;
    const int result = Show(dialog, [](QWidget* window) {
        QDateTimeEdit* clock = Picker(window, kClock);
        ClickPickerAt(window, kClock, 3);  // "10:30:00": the minutes
        EXPECT_EQ(FocusName(), Id(kClock));
        EXPECT_EQ(clock->currentSection(), QDateTimeEdit::MinuteSection);
        Type("45");
        EXPECT_EQ(clock->time(), QTime(10, 45, 0));
        Key(Qt::Key_Left);
        EXPECT_EQ(clock->currentSection(), QDateTimeEdit::MinuteSection);
        Key(Qt::Key_Left);
        EXPECT_EQ(clock->currentSection(), QDateTimeEdit::HourSection);
        Type("8");  // a complete hour: the minutes are selected next
        EXPECT_EQ(clock->currentSection(), QDateTimeEdit::MinuteSection);
        Key(Qt::Key_Left);
        Key(Qt::Key_Up);
        EXPECT_EQ(clock->time(), QTime(9, 45, 0));
        Key(Qt::Key_Right);
        Key(Qt::Key_Right);
        EXPECT_EQ(clock->currentSection(), QDateTimeEdit::SecondSection);
        Key(Qt::Key_Down);
        EXPECT_EQ(clock->time(), QTime(9, 45, 59));
        // One Tab from any field leaves; the date picker then edits its first field.
        Key(Qt::Key_Left);
        EXPECT_EQ(TabWalk(1), std::vector<QString>{Id(kDay)});
        QDateTimeEdit* day = Picker(window, kDay);
        ClickPickerAt(window, kDay, 6);  // "2024-3-5": the day
        Type("9");
        Key(Qt::Key_Left);
        Key(Qt::Key_Up);
        EXPECT_EQ(day->date(), QDate(2024, 4, 9));
        EXPECT_EQ(TabWalk(1, true), std::vector<QString>{Id(kClock)});
        Key(Qt::Key_Return);
    });
    EXPECT_EQ(result, IDOK);
    EXPECT_EQ(dialog.m_tmClock.GetHour(), 9);
    EXPECT_EQ(dialog.m_tmClock.GetSecond(), 59);
    EXPECT_EQ(dialog.m_tmDay.GetMonth(), 4);
    EXPECT_EQ(dialog.m_tmDay.GetDay(), 9);
}

TEST_F(DialogKeyboardTest, LimitedEditTakesWhatFitsOfAPasteCountingCp936Bytes) {
    const struct {
        const char* typed;  // before the paste
        const char* pasted;
        const char* kept;
    } cases[] = {
        {"", "四个汉字多", "四个汉字"},  // 10 bytes into 8
        {"ab", "四个汉字", "ab四个汉"},  // 2 + 6
        {"abc", "四个汉字", "abc四个"},  // half a character never goes in
        {"", "abcdefghij", "abcdefgh"}, {"abcdefgh", "x", "abcdefgh"},  // full: nothing more
        {"", "ab\xf0\x9f\x98\x80", ""},  // a character the code page lacks: refused whole
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.pasted);
        KeysDialog dialog;
        Show(dialog, [&c](QWidget*) {
            Type(QString::fromUtf8(c.typed));
            QApplication::clipboard()->setText(QString::fromUtf8(c.pasted));
            Key(Qt::Key_V, Qt::ControlModifier);
            Key(Qt::Key_Return);
        });
        EXPECT_EQ(dialog.m_strName, Gbk(c.kept));
    }
}

TEST_F(DialogKeyboardTest, SpaceTogglesTheFocusedRowsCheckBoxWhicheverColumnWasClicked) {
    KeysDialog dialog;
    Show(dialog, [&dialog](QWidget* window) {
        auto* list = qobject_cast<QTableWidget*>(Control(window, kList));
        MouseClick(list->viewport(), list->visualRect(list->model()->index(1, 1)).center());
        Key(Qt::Key_Space);
        EXPECT_FALSE(dialog.m_list.GetCheck(0));
        EXPECT_TRUE(dialog.m_list.GetCheck(1));
        Key(Qt::Key_Up);
        Key(Qt::Key_Space);
        EXPECT_TRUE(dialog.m_list.GetCheck(0));
        Key(Qt::Key_End);
        Key(Qt::Key_Space);
        EXPECT_FALSE(dialog.m_list.GetCheck(1));
        Key(Qt::Key_Home);
        EXPECT_EQ(list->currentRow(), 0);
        // Tab leaves the list from any cell.
        EXPECT_EQ(TabWalk(1), std::vector<QString>{Id(kClock)});
        Key(Qt::Key_Escape);
    });
}
