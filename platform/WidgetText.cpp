#include "platform/WidgetText.h"

#include <QList>

#include "platform/Cp936.h"

QString ToWidgetText(const CString& cp936) {
    if (std::optional<std::string> utf8 = Utf8FromCp936(cp936.View())) {
        return QString::fromStdString(*utf8);
    }
    // Damaged bytes: convert character by character so that the readable part still shows.
    QString text;
    std::string_view bytes = cp936.View();
    for (size_t i = 0; i < bytes.size();) {
        const auto lead = static_cast<unsigned char>(bytes[i]);
        const size_t width = (lead >= 0x81 && lead <= 0xFE && i + 1 < bytes.size()) ? 2 : 1;
        std::optional<std::string> one = Utf8FromCp936(bytes.substr(i, width));
        text += one ? QString::fromStdString(*one) : QString(QChar(0xFFFD));
        i += width;
    }
    return text;
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
