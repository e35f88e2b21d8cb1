#include "Convert.h"

#include <QLocale>

#include <cmath>

namespace kolva {

bool TryStrToInt(const QString& text, int* value) {
    QString t = text.trimmed();
    if (t.isEmpty()) return false;
    bool ok = false;
    qlonglong v = 0;
    bool negative = false;
    QStringView view(t);
    if (view.startsWith(u'-') || view.startsWith(u'+')) {
        negative = view.startsWith(u'-');
        view = view.sliced(1);
    }
    if (view.startsWith(u'$'))
        v = view.sliced(1).toLongLong(&ok, 16);
    else if (view.startsWith(u"0x", Qt::CaseInsensitive))
        v = view.sliced(2).toLongLong(&ok, 16);
    else {
        // digits only: toLongLong would also accept inner signs or blanks otherwise
        for (QChar c : view)
            if (!c.isDigit() || c.unicode() > 127) return false;
        v = view.toLongLong(&ok, 10);
    }
    if (!ok || view.isEmpty()) return false;
    if (negative) v = -v;
    if (v < INT32_MIN || v > INT32_MAX) return false;
    if (value) *value = int(v);
    return true;
}

int StrToInt(const QString& text) {
    int v = 0;
    if (!TryStrToInt(text, &v))
        throw EConvertError(QStringLiteral("'%1' is not a valid integer value").arg(text));
    return v;
}

QChar DecimalSeparator() {
    const QString dp = QLocale().decimalPoint();
    return dp.isEmpty() ? QLatin1Char('.') : dp.front();
}

bool TryStrToFloat(const QString& text, double* value) {
    const QString t = text.trimmed();
    if (t.isEmpty()) return false;
    QLocale locale;
    locale.setNumberOptions(QLocale::RejectGroupSeparator);
    bool ok = false;
    double v = locale.toDouble(t, &ok);
    if (!ok) return false;
    if (value) *value = v;
    return true;
}

double StrToFloat(const QString& text) {
    double v = 0;
    if (!TryStrToFloat(text, &v))
        throw EConvertError(QStringLiteral("'%1' is not a valid floating point value").arg(text));
    return v;
}

} // namespace kolva
