#include "platform/Cp936LimitValidator.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <algorithm>

#include "platform/WidgetText.h"

namespace {

size_t Cp936Length(const QString& text) {
    std::optional<std::string> bytes = Cp936Bytes(text);
    return bytes ? bytes->size() : 0;
}

}  // namespace

Cp936LimitValidator::Cp936LimitValidator(int maxBytes, QLineEdit* parent, bool digitsOnly)
    : QValidator(parent), m_maxBytes(maxBytes), m_bDigitsOnly(digitsOnly) {
    if (parent == nullptr) return;
    m_strAccepted = parent->text();
    connect(parent, &QLineEdit::textChanged, this,
            [this](const QString& text) { m_strAccepted = text; });
    parent->installEventFilter(this);
}

bool Cp936LimitValidator::eventFilter(QObject* watched, QEvent* event) {
    auto* edit = qobject_cast<QLineEdit*>(watched);
    if (edit == nullptr || event->type() != QEvent::KeyPress || edit->isReadOnly() ||
        !static_cast<QKeyEvent*>(event)->matches(QKeySequence::Paste)) {
        return false;
    }
    m_bPasting = true;
    edit->paste();
    m_bPasting = false;
    return true;
}

QValidator::State Cp936LimitValidator::validate(QString& input, int& position) const {
    if (m_bDigitsOnly) {
        for (QChar character : input) {
            if (character < u'0' || character > u'9') return Invalid;
        }
    }
    if (!Cp936Bytes(input)) return Invalid;
    if (m_maxBytes <= 0) return Acceptable;
    const size_t limit = static_cast<size_t>(m_maxBytes);
    size_t length = Cp936Length(input);
    if (length <= limit) return Acceptable;
    // Shortening an over-long text that a program set is always allowed.
    if (length <= Cp936Length(m_strAccepted)) return Acceptable;
    // Only a paste is cut to fit; typing past the limit, or a text set past it, is refused.
    if (!m_bPasting) return Invalid;
    // What was inserted lies between what the text kept of its start and of its end.
    const QString& before = m_strAccepted;
    qsizetype start = 0;
    const qsizetype shorter = std::min(before.size(), input.size());
    while (start < shorter && before[start] == input[start]) ++start;
    qsizetype kept = 0;
    while (kept < shorter - start &&
           before[before.size() - 1 - kept] == input[input.size() - 1 - kept]) {
        ++kept;
    }
    const qsizetype end = input.size() - kept;
    const size_t fixed = Cp936Length(input.left(start)) + Cp936Length(input.mid(end));
    if (fixed > limit) return Invalid;
    // Keep the inserted characters from the first on, as many as fit.
    size_t used = fixed;
    qsizetype taken = start;
    while (taken < end) {
        const qsizetype width = input[taken].isHighSurrogate() && taken + 1 < end ? 2 : 1;
        const size_t bytes = Cp936Length(input.mid(taken, width));
        if (used + bytes > limit) break;
        used += bytes;
        taken += width;
    }
    input.remove(taken, end - taken);
    position = static_cast<int>(taken);
    return Acceptable;
}

void Cp936LimitValidator::SetTextUnchecked(QLineEdit* edit, const QString& text) {
    const QValidator* validator = edit->validator();
    edit->setValidator(nullptr);
    edit->setText(text);
    edit->setValidator(validator);
}
