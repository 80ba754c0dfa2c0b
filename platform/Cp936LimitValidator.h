// Keeps an edit's text storable: only characters that code page 936 has, and at most a number of
// bytes in that code page (a Chinese character counts two), as the edits of an ANSI program count.
// A paste from the keyboard keeps as many of its characters as fit, from its start; typing past
// the limit is refused.
#pragma once

#include <QString>
#include <QValidator>

class QLineEdit;

class Cp936LimitValidator : public QValidator {
public:
    // `maxBytes` 0 means no limit on the length; `digitsOnly` takes only the digits 0 to 9.
    // `parent` is the edit whose text is checked.
    Cp936LimitValidator(int maxBytes, QLineEdit* parent, bool digitsOnly = false);

    State validate(QString& input, int& position) const override;

    // Sets the edit's text as a program does, past the limit if need be (data exchange shows what
    // the members hold; their own validation reports an over-long text).
    static void SetTextUnchecked(QLineEdit* edit, const QString& text);

protected:
    // Pastes from the keyboard (Ctrl+V, Shift+Insert) into the edit.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    int m_maxBytes;
    bool m_bDigitsOnly;
    QString m_strAccepted;  // the edit's text before the change being validated
    bool m_bPasting = false;
};

// The property of an edit that takes only digits, so that a new length limit keeps that rule.
inline constexpr char kDigitsOnlyProperty[] = "wardletDigitsOnly";
