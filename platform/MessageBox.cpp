#include "platform/MessageBox.h"

#include <QApplication>
#include <QMessageBox>
#include <QPointer>
#include <cstdio>
#include <string>

#include "platform/GuiApplication.h"
#include "platform/WidgetText.h"

namespace {

const char* g_appName = "";

void ReportOnStandardError(const char* text, const char* caption, const std::string& whyNoGui) {
    const QString line = ToWidgetText(caption) + QStringLiteral(": ") + ToWidgetText(text);
    std::fprintf(stderr, "%s\n(wardlet: %s; the message box was not shown)\n",
                 line.toStdString().c_str(), whyNoGui.c_str());
}

}  // namespace

int MessageBoxA(void* owner, const char* text, const char* caption, unsigned type) {
    if (owner != nullptr) return 0;
    text = text ? text : "";
    caption = caption ? caption : "";
    std::string whyNot;
    if (!gui::EnsureApplication(&whyNot)) {
        ReportOnStandardError(text, caption, whyNot);
        return IDOK;
    }
    QMessageBox box;
    box.setWindowTitle(ToWidgetText(caption));
    box.setText(ToWidgetText(text));
    box.setIcon((type & 0xF0) == MB_ICONWARNING ? QMessageBox::Warning : QMessageBox::NoIcon);
    box.setStandardButtons(QMessageBox::Ok);
    if (type & (MB_TOPMOST | MB_SETFOREGROUND)) {
        box.setWindowFlag(Qt::WindowStaysOnTopHint, true);
    }
    box.show();
    if (type & MB_SETFOREGROUND) {
        box.raise();
        box.activateWindow();
    }
    const QPointer<QWidget> previous = QApplication::activeWindow();
    box.exec();
    // The keyboard goes back to the window the operator came from.
    if (previous) previous->activateWindow();
    return IDOK;
}

int AfxMessageBox(const CString& text, unsigned type) {
    return MessageBoxA(nullptr, text, AfxGetAppName(), type);
}

void AfxSetAppName(const char* appName) { g_appName = appName ? appName : ""; }

const char* AfxGetAppName() { return g_appName; }
