#include "HelperChannel.h"

#include "net/RenderProtocol.h"

#include <QSocketNotifier>

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

HelperChannel::HelperChannel(QObject *parent) : QObject(parent)
{
    m_output = ::fcntl(STDOUT_FILENO, F_DUPFD_CLOEXEC, 3);
    ::dup2(STDERR_FILENO, STDOUT_FILENO);
    m_inputFlags = ::fcntl(STDIN_FILENO, F_GETFL);
    ::fcntl(STDIN_FILENO, F_SETFL, m_inputFlags | O_NONBLOCK);
    m_notifier = new QSocketNotifier(STDIN_FILENO, QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &HelperChannel::readInput);
}

HelperChannel::~HelperChannel()
{
    // A terminal's input is shared with the shell, which expects it blocking.
    if (m_inputFlags >= 0)
        ::fcntl(STDIN_FILENO, F_SETFL, m_inputFlags);
    if (m_output >= 0)
        ::close(m_output);
}

void HelperChannel::send(const QJsonObject &message)
{
    const QByteArray line = RenderProtocol::toLine(message);
    qsizetype written = 0;
    while (m_output >= 0 && written < line.size()) {
        const ssize_t n = ::write(m_output, line.constData() + written, size_t(line.size() - written));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            // The caller is gone; there is nobody left to answer.
            ::close(m_output);
            m_output = -1;
            emit inputEnded();
            return;
        }
        written += n;
    }
}

void HelperChannel::readInput()
{
    char chunk[65536];
    for (;;) {
        const ssize_t n = ::read(STDIN_FILENO, chunk, sizeof chunk);
        if (n > 0) {
            m_buffer.append(chunk, n);
            takeLines();
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            return;
        // End of input, or an input that cannot be read.
        m_notifier->setEnabled(false);
        if (!m_ended) {
            m_ended = true;
            emit inputEnded();
        }
        return;
    }
}

void HelperChannel::takeLines()
{
    for (;;) {
        const qsizetype end = m_buffer.indexOf('\n');
        if (end < 0) {
            if (m_buffer.size() > RenderProtocol::kMaxRequestLine && !m_skippingLongLine) {
                m_skippingLongLine = true;
                send(RenderProtocol::errorMessage(QStringLiteral("a line longer than %1 bytes was skipped")
                                                      .arg(RenderProtocol::kMaxRequestLine)));
            }
            if (m_skippingLongLine)
                m_buffer.clear();
            return;
        }
        const QByteArray line = m_buffer.left(end).trimmed();
        m_buffer.remove(0, end + 1);
        if (std::exchange(m_skippingLongLine, false) || line.isEmpty())
            continue;
        QJsonObject message;
        QString error;
        if (RenderProtocol::parseLine(line, &message, &error))
            emit received(message);
        else
            send(RenderProtocol::errorMessage(error));
    }
}
