#include "platform/Cp936LimitValidator.h"

#include "platform/WidgetText.h"

Cp936LimitValidator::Cp936LimitValidator(int maxBytes, QObject* parent, bool digitsOnly)
    : QValidator(parent), m_maxBytes(maxBytes), m_bDigitsOnly(digitsOnly) {}

QValidator::State Cp936LimitValidator::validate(QString& input, int& /*position*/) const {
    if (m_bDigitsOnly) {
        for (QChar character : input) {
            if (character < u'0' || character > u'9') return Invalid;
        }
    }
    std::optional<std::string> bytes = Cp936Bytes(input);
    if (!bytes) return Invalid;
    if (m_maxBytes > 0 && bytes->size() > static_cast<size_t>(m_maxBytes)) return Invalid;
    return Acceptable;
}
