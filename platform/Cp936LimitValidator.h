// Keeps an edit's text storable: only characters that code page 936 has, and at most a number of
// bytes in that code page (a Chinese character counts two), as the edits of an ANSI program count.
#pragma once

#include <QValidator>

class Cp936LimitValidator : public QValidator {
public:
    // `maxBytes` 0 means no limit on the length; `digitsOnly` takes only the digits 0 to 9.
    Cp936LimitValidator(int maxBytes, QObject* parent, bool digitsOnly = false);

    State validate(QString& input, int& position) const override;

private:
    int m_maxBytes;
    bool m_bDigitsOnly;
};

// The property of an edit that takes only digits, so that a new length limit keeps that rule.
inline constexpr char kDigitsOnlyProperty[] = "wardletDigitsOnly";
