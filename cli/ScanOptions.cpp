#include "ScanRun.h"

QString scanUsage()
{
    return QStringLiteral(
        "usage: reciplex-scan [--scan-type N] [--main-site N] [--linking-site N] [--set KEY=VALUE]...\n"
        "                     [--program-folder DIR] [--port N]\n"
        "                     [--errors FILE] [--output FILE] [--report FILE] [--tab FILE]\n"
        "                     [--links-page FILE] [--post] [--post-log FILE]\n"
        "                     [--history FILE] [--changes] [--quiet] PROJECT");
}

static bool wholeNumber(const QString &text, int min, int max, int *value)
{
    bool ok = false;
    const int v = text.toInt(&ok);
    if (!ok || v < min || v > max)
        return false;
    *value = v;
    return true;
}

bool parseScanOptions(const QStringList &arguments, ScanRunOptions *o, QString *error)
{
    QStringList positional;
    for (int i = 1; i < arguments.size(); ++i) {
        const QString arg = arguments.at(i);
        auto value = [&](QString *out) {
            if (i + 1 >= arguments.size()) {
                *error = arg + QStringLiteral(" needs a value");
                return false;
            }
            *out = arguments.at(++i);
            return true;
        };
        QString v;
        if (arg == QLatin1String("--quiet")) {
            o->quiet = true;
        } else if (arg == QLatin1String("--scan-type")) {
            if (!value(&v) || !wholeNumber(v, 0, 2, &o->scanType)) {
                if (error->isEmpty())
                    *error = QStringLiteral("--scan-type must be 0, 1 or 2");
                return false;
            }
        } else if (arg == QLatin1String("--main-site") || arg == QLatin1String("--linking-site")) {
            int n = 0;
            if (!value(&v) || !wholeNumber(v, 1, 1 << 30, &n)) {
                if (error->isEmpty())
                    *error = arg + QStringLiteral(" must be a position from 1");
                return false;
            }
            (arg == QLatin1String("--main-site") ? o->mainSite : o->linkingSite) = n - 1;
        } else if (arg == QLatin1String("--port")) {
            if (!value(&v) || !wholeNumber(v, 1, 65535, &o->port)) {
                if (error->isEmpty())
                    *error = QStringLiteral("--port must be a port number from 1 to 65535");
                return false;
            }
        } else if (arg == QLatin1String("--set")) {
            if (!value(&v))
                return false;
            if (v.indexOf(QLatin1Char('=')) < 1) {
                *error = QStringLiteral("--set needs KEY=VALUE");
                return false;
            }
            o->settingOverrides << v;
        } else if (arg == QLatin1String("--program-folder")) {
            if (!value(&o->programFolder))
                return false;
        } else if (arg == QLatin1String("--errors")) {
            if (!value(&o->errorsPath))
                return false;
        } else if (arg == QLatin1String("--output")) {
            if (!value(&o->outputPath))
                return false;
        } else if (arg == QLatin1String("--report")) {
            if (!value(&o->reportPath))
                return false;
        } else if (arg == QLatin1String("--tab")) {
            if (!value(&o->tabPath))
                return false;
        } else if (arg == QLatin1String("--links-page")) {
            if (!value(&o->linksPagePath))
                return false;
        } else if (arg == QLatin1String("--history")) {
            if (!value(&o->historyPath))
                return false;
        } else if (arg == QLatin1String("--changes")) {
            o->changes = true;
        } else if (arg == QLatin1String("--post")) {
            o->post = true;
        } else if (arg == QLatin1String("--post-log")) {
            if (!value(&o->postLogPath))
                return false;
        } else if (arg.startsWith(QLatin1String("--"))) {
            *error = QStringLiteral("unknown option ") + arg;
            return false;
        } else {
            positional << arg;
        }
    }
    if (positional.size() != 1) {
        *error = positional.isEmpty() ? QStringLiteral("no project file given")
                                      : QStringLiteral("only one project file may be given");
        return false;
    }
    o->projectPath = positional.first();
    return true;
}
