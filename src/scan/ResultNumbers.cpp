#include "scan/ResultNumbers.h"

#include <QRegularExpression>

qint64 linksExpectedFromText(const QString &text)
{
    static const QRegularExpression wholeNumber(QStringLiteral("^ *[+-]?[0-9]+ *$"));
    if (!wholeNumber.match(text).hasMatch())
        return 1;
    QString digits = text.trimmed();
    if (digits.startsWith(QLatin1Char('+')))
        digits.remove(0, 1);
    bool ok = false;
    const qint32 v = digits.toInt(&ok);
    return ok ? v : 1;
}

QString threeDigits(qint64 n)
{
    QString s = QString::number(n < 0 ? -n : n);
    while (s.size() < 3)
        s.prepend(QLatin1Char('0'));
    return n < 0 ? QLatin1Char('-') + s : s;
}
