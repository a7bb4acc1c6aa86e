#include "net/ProcessTree.h"

#include <QDir>
#include <QFile>
#include <QHash>

namespace {

QByteArray readProcFile(qint64 pid, const char *name)
{
    QFile file(QStringLiteral("/proc/%1/%2").arg(pid).arg(QLatin1String(name)));
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray();
    return file.readAll(); // proc files report size 0; readAll reads to the end anyway
}

// The value in kB of a "Name:   1234 kB" line, in bytes; -1 without one.
qint64 kilobyteField(const QByteArray &text, const QByteArray &name)
{
    for (const QByteArray &line : text.split('\n')) {
        if (!line.startsWith(name))
            continue;
        const QList<QByteArray> parts = line.mid(name.size()).simplified().split(' ');
        bool ok = false;
        const qint64 kb = parts.value(0).toLongLong(&ok);
        return ok ? kb * 1024 : -1;
    }
    return -1;
}

// The parent of pid from /proc/PID/stat; the command name in parentheses may
// hold spaces and parentheses itself, so the fields are counted after the last ')'.
qint64 parentOf(qint64 pid)
{
    const QByteArray stat = readProcFile(pid, "stat");
    const int close = stat.lastIndexOf(')');
    if (close < 0)
        return -1;
    const QList<QByteArray> fields = stat.mid(close + 2).split(' ');
    return fields.size() > 1 ? fields.at(1).toLongLong() : -1;
}

} // namespace

namespace ProcessTree {

QList<qint64> descendants(qint64 root)
{
    // 0 and 1 are the roots of every process on the machine: their tree is
    // never what a caller means to count or to end.
    if (root <= 1)
        return {};
    QHash<qint64, QList<qint64>> children;
    const QStringList entries = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString &entry : entries) {
        bool ok = false;
        const qint64 pid = entry.toLongLong(&ok);
        if (ok)
            children[parentOf(pid)].append(pid);
    }
    QList<qint64> found;
    QList<qint64> pending{root};
    while (!pending.isEmpty()) {
        const QList<qint64> next = children.value(pending.takeFirst());
        found += next;
        pending += next;
    }
    return found;
}

qint64 residentBytes(qint64 pid)
{
    return qMax<qint64>(0, kilobyteField(readProcFile(pid, "status"), "VmRSS:"));
}

qint64 proportionalBytes(qint64 pid)
{
    const qint64 pss = kilobyteField(readProcFile(pid, "smaps_rollup"), "Pss:");
    return pss >= 0 ? pss : residentBytes(pid);
}

qint64 treeBytes(qint64 root)
{
    if (root <= 1)
        return 0;
    qint64 total = proportionalBytes(root);
    for (qint64 pid : descendants(root))
        total += proportionalBytes(pid);
    return total;
}

} // namespace ProcessTree
