#include "ScanJournal.h"

bool ScanJournal::isWithoutLink(const QString &outcome)
{
    return outcome.startsWith(QLatin1String("None Found")) || outcome.startsWith(QLatin1String("Missing"));
}
