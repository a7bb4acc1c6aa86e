#include "scan/ScanSession.h"

#include <QRegularExpression>

void ScanSession::resetForScan()
{
    bLinkFound = false;
    bEmulate = false;
    bMentionSeen = false;
    bSkipClicked = false;
    iLinksFound = 0;
    iLinkNumber = 0;
    lPagesStarted = 0;
    lPagesFound = 0;
    iLinksExpected = 0;
    strSiteNote.clear();
    strMentionPage.clear();
    foundPages.clear();
    queue.clear();
}

void ScanSession::resetForSite()
{
    iLinksFound = 0;
    iLinksExpected = 0;
    iLinkNumber = 0;
    lPagesFound = 0;
    foundPages.clear();
    bLinkFound = false;
    bMentionSeen = false;
    // The end of a page clears it, but a page whose analysis a Skip cut
    // short never reaches its end: the next site starts without it.
    bEmulate = false;
    ++iCurrentSite;
    queue.clear();
    strSiteNote.clear();
    strMentionPage.clear();
}

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
