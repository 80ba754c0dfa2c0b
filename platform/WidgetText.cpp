#include "platform/WidgetText.h"

#include <QList>

#include "platform/Cp936.h"

QString ToWidgetText(const CString& cp936) {
    return QString::fromStdString(Utf8FromCp936Replacing(cp936.View()));
}

std::optional<std::string> Cp936Bytes(const QString& text) {
    return Cp936FromUtf8(text.toStdString());
}

CString FromWidgetText(const QString& text) {
    if (std::optional<std::string> bytes = Cp936Bytes(text)) return CString(std::move(*bytes));
    std::string bytes;
    for (const uint codePoint : text.toUcs4()) {
        const char32_t character = codePoint;
        std::optional<std::string> one = Cp936Bytes(QString::fromUcs4(&character, 1));
        bytes += one ? *one : std::string("?");
    }
    return CString(std::move(bytes));
}
