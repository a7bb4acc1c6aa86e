#include "RendererProcess.h"

#include "net/ProcessTree.h"

#include <QFile>

#include <signal.h>
#include <unistd.h>

namespace RendererProcess {

void kill(qint64 pid)
{
    if (pid <= 1)
        return;
    QFile cmdline(QStringLiteral("/proc/%1/cmdline").arg(pid));
    // A renderer is forked from the engine's zygote and keeps its command line.
    if (!cmdline.open(QIODevice::ReadOnly) || !cmdline.readAll().contains("QtWebEngineProcess"))
        return;
    if (!ProcessTree::descendants(getpid()).contains(pid))
        return;
    ::kill(pid_t(pid), SIGKILL);
}

} // namespace RendererProcess
