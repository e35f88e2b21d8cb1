#pragma once
// Errors that end an operation, and the strict conversions whose failures raise them.

#include <QString>

#include <stdexcept>

namespace kolva {

// An error that ends the operation in progress; its text is shown to the user.
class Error : public std::runtime_error {
public:
    explicit Error(const QString& text) : std::runtime_error(text.toStdString()), text_(text) {}
    const QString& text() const { return text_; }

private:
    QString text_;
};

// A text that does not convert to the number asked for.
class EConvertError : public Error {
public:
    using Error::Error;
};

// Strict whole-number conversion (decimal, optional sign, surrounding blanks allowed, and
// "$" hexadecimal like the platform's own); "'<text>' is not a valid integer value" otherwise.
int StrToInt(const QString& text);
// Same, returning false instead of raising.
bool TryStrToInt(const QString& text, int* value);

// Floating-point conversion with the user's locale (its decimal separator).
double StrToFloat(const QString& text);
bool TryStrToFloat(const QString& text, double* value);

// Decimal separator of the user's locale.
QChar DecimalSeparator();

} // namespace kolva
