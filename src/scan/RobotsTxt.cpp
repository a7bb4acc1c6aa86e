#include "scan/RobotsTxt.h"

namespace {

bool isUnreserved(char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '.'
        || c == '_' || c == '~';
}

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

void appendEscape(QByteArray &out, unsigned char byte)
{
    static const char digits[] = "0123456789ABCDEF";
    out += '%';
    out += digits[byte >> 4];
    out += digits[byte & 15];
}

// One line's key, lower case, and its value without comment or spaces.
bool splitLine(const QByteArray &line, QByteArray *key, QByteArray *value)
{
    QByteArray text = line;
    const qsizetype hash = text.indexOf('#');
    if (hash >= 0)
        text.truncate(hash);
    const qsizetype colon = text.indexOf(':');
    if (colon < 0)
        return false;
    *key = text.left(colon).trimmed().toLower();
    *value = text.mid(colon + 1).trimmed();
    return true;
}

// The crawler name a User-agent line gives, lower case: its letters, "-" and
// "_" up to anything else ("Googlebot/2.1" is "googlebot").
QByteArray productToken(const QByteArray &value)
{
    qsizetype end = 0;
    while (end < value.size()) {
        const char c = value.at(end);
        if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '-' || c == '_'))
            break;
        ++end;
    }
    return value.left(end).toLower();
}

} // namespace

QByteArray RobotsTxt::normalisedPath(const QString &pathAndQuery)
{
    for (const QChar c : pathAndQuery)
        if (c.unicode() > 0xFF)
            return normalised(pathAndQuery.toUtf8());
    return normalised(pathAndQuery.toLatin1());
}

QByteArray RobotsTxt::normalised(const QByteArray &bytes)
{
    QByteArray out;
    out.reserve(bytes.size());
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(bytes.at(i));
        if (c == '%' && i + 2 < bytes.size() && hexValue(bytes.at(i + 1)) >= 0 && hexValue(bytes.at(i + 2)) >= 0) {
            const unsigned char decoded = static_cast<unsigned char>(hexValue(bytes.at(i + 1)) * 16 + hexValue(bytes.at(i + 2)));
            if (isUnreserved(char(decoded)))
                out += char(decoded);
            else
                appendEscape(out, decoded);
            i += 2;
        } else if (c <= 0x20 || c >= 0x7f) {
            appendEscape(out, c);
        } else {
            out += char(c);
        }
    }
    return out;
}

// "*" matches any run, a final "$" the end; otherwise a match is a prefix.
// The pieces between stars are placed leftmost in turn: that leaves the most
// room for the rest, so no backtracking is needed and the time stays linear
// in the pattern times the path at worst.
bool RobotsTxt::matches(const QByteArray &path, const QByteArray &pattern)
{
    QByteArray body = pattern;
    const bool anchored = body.endsWith('$');
    if (anchored)
        body.chop(1);
    const QList<QByteArray> pieces = body.split('*');
    const qsizetype last = pieces.size() - 1;
    if (last == 0)
        return anchored ? path == body : path.startsWith(body);
    if (!path.startsWith(pieces.first()))
        return false;
    qsizetype pos = pieces.first().size();
    for (qsizetype i = 1; i < last; ++i) {
        const QByteArray &piece = pieces.at(i);
        if (piece.isEmpty())
            continue;
        const qsizetype at = path.indexOf(piece, pos);
        if (at < 0)
            return false;
        pos = at + piece.size();
    }
    const QByteArray &tail = pieces.at(last);
    if (anchored)
        return path.size() - tail.size() >= pos && path.endsWith(tail);
    return tail.isEmpty() || path.indexOf(tail, pos) >= 0;
}

RobotsTxt RobotsTxt::parse(const QByteArray &file)
{
    RobotsTxt robots;
    QByteArray text = file.left(kMaxBytes);
    // A line the limit cuts in two would read as a shorter rule than the
    // file gives: only whole lines count.
    if (file.size() > kMaxBytes && file.at(kMaxBytes) != '\n' && file.at(kMaxBytes) != '\r') {
        const qsizetype lastBreak = qMax(text.lastIndexOf('\n'), text.lastIndexOf('\r'));
        text.truncate(lastBreak + 1);
    }
    if (text.startsWith("\xEF\xBB\xBF"))
        text.remove(0, 3);
    text.replace("\r\n", "\n");
    text.replace('\r', '\n');

    // A group starts with one or more User-agent lines; the rules after them
    // belong to it until the next User-agent line that follows a rule.
    bool inAgents = false; // the last line read was a User-agent line
    bool groupForAll = false;
    bool groupForGooglebot = false;
    for (const QByteArray &line : text.split('\n')) {
        QByteArray key, value;
        if (!splitLine(line, &key, &value))
            continue;
        if (key == "user-agent") {
            if (!inAgents)
                groupForAll = groupForGooglebot = false;
            inAgents = true;
            if (value == "*")
                groupForAll = true;
            if (productToken(value) == "googlebot") {
                groupForGooglebot = true;
                robots.m_googlebotGroup = true;
            }
            continue;
        }
        const bool allow = key == "allow";
        if (!allow && key != "disallow")
            continue; // sitemap and others do not end a group
        inAgents = false;
        if (value.isEmpty())
            continue; // an empty Disallow allows everything
        const Rule rule{allow, normalised(value)};
        if (groupForAll)
            robots.m_rules.append(rule);
        if (groupForGooglebot)
            robots.m_googlebotRules.append(rule);
    }
    return robots;
}

bool RobotsTxt::allowedBy(const QList<Rule> &rules, const QString &pathAndQuery)
{
    if (rules.isEmpty())
        return true;
    QByteArray path = normalisedPath(pathAndQuery.isEmpty() ? QStringLiteral("/") : pathAndQuery);
    if (path == "/robots.txt")
        return true;
    qsizetype best = -1;
    bool allowed = true;
    for (const Rule &rule : rules) {
        const qsizetype length = rule.pattern.size();
        if (length < best || (length == best && !rule.allow) || (length == best && allowed))
            continue;
        if (matches(path, rule.pattern)) {
            best = length;
            allowed = rule.allow;
        }
    }
    return allowed;
}

bool RobotsTxt::allows(const QString &pathAndQuery) const
{
    return allowedBy(m_rules, pathAndQuery);
}

bool RobotsTxt::allowsGooglebot(const QString &pathAndQuery) const
{
    return allowedBy(m_googlebotGroup ? m_googlebotRules : m_rules, pathAndQuery);
}
