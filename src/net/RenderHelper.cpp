#include "net/RenderHelper.h"

#include "net/ProcessTree.h"
#include "net/RenderProtocol.h"

#include <QProcess>

#include <csignal>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <unistd.h>

namespace {
constexpr int kMemoryTickMs = 1000;
constexpr int kStopGraceMs = 3000;
constexpr qsizetype kErrorsKept = 8192;
} // namespace

RenderHelper::RenderHelper(const QString &program, const Limits &limits, QObject *parent)
    : QObject(parent), m_program(program), m_limits(limits)
{
    m_helloLimit.setSingleShot(true);
    m_stopLimit.setSingleShot(true);
    connect(&m_helloLimit, &QTimer::timeout, this,
            [this] { end(QStringLiteral("reciplex-render did not start within %1 seconds").arg(m_limits.helloMs / 1000)); });
    connect(&m_memoryTick, &QTimer::timeout, this, &RenderHelper::checkMemory);
    connect(&m_stopLimit, &QTimer::timeout, this, &RenderHelper::killTree);
}

RenderHelper::~RenderHelper()
{
    m_ended = true;
    if (m_process) {
        m_process->disconnect(this);
        killTree();
        m_process->waitForFinished(2000);
        delete m_process;
    }
}

qint64 RenderHelper::processId() const
{
    return m_pid;
}

void RenderHelper::start()
{
    m_process = new QProcess(this);
    m_process->setProgram(m_program);
    m_process->setArguments({QStringLiteral("--page-memory"), QString::number(m_limits.pageMemoryMiB),
                             QStringLiteral("--max-pages"), QString::number(RenderProtocol::kMaxPagesAtOnce)});
    const pid_t caller = getpid();
    const rlim_t dataLimit = rlim_t(m_limits.processData);
    // Runs in the child between fork and exec: system calls only.
    m_process->setChildProcessModifier([caller, dataLimit] {
        ::setpgid(0, 0);
        // Dies with the thread that started it, so a killed scan leaves no
        // renderer behind.
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (::getppid() != caller)
            ::_exit(127);
        // RLIMIT_DATA rather than RLIMIT_AS: the engine reserves far more
        // address space than it ever uses, and would not start under a
        // limit on address space that means anything.
        const struct rlimit data = {dataLimit, dataLimit};
        ::setrlimit(RLIMIT_DATA, &data);
    });
    connect(m_process, &QProcess::readyReadStandardOutput, this, &RenderHelper::readOutput);
    connect(m_process, &QProcess::readyReadStandardError, this, &RenderHelper::readErrors);
    connect(m_process, &QProcess::errorOccurred, this, [this](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart)
            end(QStringLiteral("reciplex-render could not be started: %1").arg(m_process->errorString()));
    });
    connect(m_process, &QProcess::finished, this, [this](int code, QProcess::ExitStatus status) {
        readOutput();
        if (m_stopping && status == QProcess::NormalExit)
            end(QString());
        else if (status == QProcess::CrashExit)
            end(QStringLiteral("reciplex-render crashed"));
        else
            end(QStringLiteral("reciplex-render ended (exit status %1)").arg(code));
    });
    m_helloLimit.start(m_limits.helloMs);
    m_process->start(QIODevice::ReadWrite);
    m_pid = m_process->processId();
    if (m_pid > 0)
        m_memoryTick.start(kMemoryTickMs);
}

void RenderHelper::send(const QJsonObject &message)
{
    if (!m_ended && m_process && m_process->state() == QProcess::Running)
        m_process->write(RenderProtocol::toLine(message));
}

void RenderHelper::stop()
{
    if (m_ended || !m_process || m_stopping)
        return;
    m_stopping = true;
    m_process->closeWriteChannel();
    m_stopLimit.start(kStopGraceMs);
}

void RenderHelper::readOutput()
{
    if (!m_process)
        return;
    m_buffer += m_process->readAllStandardOutput();
    for (;;) {
        if (m_ended)
            return;
        const qsizetype end = m_buffer.indexOf('\n');
        if (end < 0) {
            if (m_buffer.size() > RenderProtocol::kMaxAnswerLine)
                this->end(QStringLiteral("reciplex-render wrote a line longer than %1 MiB")
                              .arg(RenderProtocol::kMaxAnswerLine >> 20));
            return;
        }
        const QByteArray line = m_buffer.left(end);
        m_buffer.remove(0, end + 1);
        if (line.trimmed().isEmpty())
            continue;
        QJsonObject message;
        QString error;
        if (!RenderProtocol::parseLine(line, &message, &error)) {
            this->end(QStringLiteral("reciplex-render wrote something that is not the protocol: %1").arg(error));
            return;
        }
        if (!m_ready) {
            const int protocol = message.value(QLatin1String("protocol")).toInt();
            if (message.value(QLatin1String("type")).toString() != QLatin1String("hello")
                || protocol != RenderProtocol::kVersion) {
                this->end(QStringLiteral("reciplex-render speaks protocol %1, not %2")
                              .arg(protocol)
                              .arg(RenderProtocol::kVersion));
                return;
            }
            m_ready = true;
            m_helloLimit.stop();
            emit ready();
            continue;
        }
        emit received(message);
    }
}

void RenderHelper::readErrors()
{
    m_errors += m_process->readAllStandardError();
    if (m_errors.size() > kErrorsKept)
        m_errors = m_errors.right(kErrorsKept);
}

void RenderHelper::checkMemory()
{
    if (m_ended || m_pid <= 1)
        return;
    const qint64 used = ProcessTree::treeBytes(m_pid);
    if (used > m_limits.tree)
        end(QStringLiteral("reciplex-render used more than %1 MiB of memory").arg(m_limits.tree >> 20));
}

void RenderHelper::killTree()
{
    // A pid of 1 or less would make the group kill below one of every process.
    if (m_pid > 1 && m_process && m_process->state() != QProcess::NotRunning) {
        ::kill(-pid_t(m_pid), SIGKILL); // the group: the helper and the engine's processes
        m_process->kill();
    }
}

void RenderHelper::end(const QString &reason)
{
    if (m_ended)
        return;
    m_ended = true;
    m_helloLimit.stop();
    m_memoryTick.stop();
    m_stopLimit.stop();
    killTree();
    emit ended(reason);
}
