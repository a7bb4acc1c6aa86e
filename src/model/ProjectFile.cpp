#include "model/ProjectFile.h"

#include "model/Project.h"
#include "model/Windows1252.h"
#include "settings/SettingsKeys.h"
#include "settings/SettingsStore.h"
#include "url/TextLines.h"

#include <QFile>
#include <QSaveFile>

namespace {
const QString kHtml1 = QStringLiteral("HTML01:");
const QString kHtml2 = QStringLiteral("HTML02:");
const QString kHtml3 = QStringLiteral("HTML03:");
const QString kResult = QStringLiteral("RESULT:");
const QString kNextSite = QStringLiteral("NEXTSITE:");
const QString kRule = QStringLiteral("RULE:");
const QString kPostSingle = QStringLiteral("POSTSINGLE:");
const QString kPostMulti = QStringLiteral("POSTMULTI:");
const QString kLineBreakCode = QStringLiteral("|||");
const QLatin1String kCrLf("\r\n");

bool isMarkerLine(const QString &line)
{
    return !ProjectFile::markerAtStart(line).isEmpty();
}

// Only the page-builder texts may hold line breaks; any other field would
// split its line, so a stray break is dropped rather than written.
QString field(const QString &value)
{
    if (!value.contains(QLatin1Char('\r')) && !value.contains(QLatin1Char('\n')))
        return value;
    QString v = value;
    v.remove(QLatin1Char('\r'));
    v.remove(QLatin1Char('\n'));
    return v;
}

// Every line break of a page-builder text (CR LF, lone CR, lone LF) becomes "|||".
QString encodeBreaks(const QString &text)
{
    QString out = text;
    out.replace(QLatin1String("\r\n"), kLineBreakCode);
    out.replace(QLatin1Char('\r'), kLineBreakCode);
    out.replace(QLatin1Char('\n'), kLineBreakCode);
    return out;
}

void appendLinkingSites(QString &out, const MainSite &m)
{
    for (const LinkingSite &s : m.linkingSites) {
        // A URL that begins like a marker line would be read back as one and
        // take the lines after it along; the entry boxes refuse such a URL,
        // and one that came another way goes out after a space.
        if (isMarkerLine(field(s.url)))
            out += QLatin1Char(' ');
        out += field(s.url) + QLatin1Char('|') + field(s.linksExpected) + QLatin1Char('|')
             + field(s.linkPageUrl) + QLatin1Char('|') + field(s.linkPageText) + QLatin1Char('|')
             + field(s.description) + kCrLf;
    }
}

bool toWholeNumber(const QString &text, int *value)
{
    bool ok = false;
    const int v = text.trimmed().toInt(&ok);
    if (ok)
        *value = v;
    return ok;
}
} // namespace

namespace ProjectFile {

// The whole text of the file before it is encoded.
static QString fileText(const Project &project, int skipMainSite)
{
    const bool anchorTexts = SettingsStore::instance().readFlag(Keys::chkAnchorText, true);
    QString out;
    bool first = true;
    for (int i = 0; i < project.mainSiteCount(); ++i) {
        if (i == skipMainSite)
            continue;
        const MainSite &m = project.mainSite(i);
        // A first Main Site that begins like a marker line would be read back
        // as that marker; written as a "NEXTSITE:" line it reads back as itself.
        if (first && !isMarkerLine(field(m.url)))
            out += field(m.url) + kCrLf;
        else
            out += kNextSite + field(m.url) + kCrLf;
        first = false;
        appendLinkingSites(out, m);
    }
    out += kHtml1 + encodeBreaks(project.htmlBefore()) + kCrLf;
    out += kHtml2 + encodeBreaks(project.htmlLinks()) + kCrLf;
    out += kHtml3 + encodeBreaks(project.htmlAfter()) + kCrLf;
    for (const LinkResult &r : project.results()) {
        out += kResult + QString::number(r.icon) + QLatin1Char('|') + field(r.mainSite) + QLatin1Char('|')
             + field(r.remoteSite) + QLatin1Char('|') + field(r.status) + QLatin1Char('|')
             + field(r.number) + QLatin1Char('|') + field(r.url);
        // Link notes and anchor text only when there are any: a project
        // without them keeps its bytes, and a six-field reader still reads
        // the row. The anchor text comes last, so a "|" in it reads back.
        const bool anchor = anchorTexts && !r.anchor.isEmpty();
        if (!r.notes.isEmpty() || anchor)
            out += QLatin1Char('|') + field(r.notes);
        if (anchor)
            out += QLatin1Char('|') + field(r.anchor);
        out += kCrLf;
    }
    for (const Rule &r : project.rules()) {
        out += kRule + field(r.mainSite) + QLatin1Char('|') + field(r.remoteSite) + QLatin1Char('|')
             + field(r.ruleType) + QLatin1Char('|') + field(r.ruleValue) + kCrLf;
    }
    if (!project.scriptUrl().isEmpty())
        out += kPostSingle + field(project.scriptUrl()) + kCrLf;
    for (const ScriptTarget &t : project.scriptTargets())
        out += kPostMulti + field(t.mainSite) + QLatin1Char('|') + field(t.scriptUrl) + kCrLf;
    out += kCrLf;
    return out;
}

QByteArray serialise(const Project &project, int skipMainSite)
{
    // The one place that encodes: characters beyond the code page become "?".
    return Windows1252::encode(fileText(project, skipMainSite));
}

QString unstorableCharacters(const Project &project)
{
    return Windows1252::unholdable(fileText(project, -1));
}

bool write(const Project &project, const QString &path, QString *error, int skipMainSite)
{
    const QByteArray bytes = serialise(project, skipMainSite);
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        if (error)
            *error = file.errorString();
        return false;
    }
    if (file.write(bytes) != bytes.size()) {
        if (error)
            *error = file.errorString();
        file.cancelWriting();
        return false;
    }
    if (!file.commit()) {
        if (error)
            *error = file.errorString();
        return false;
    }
    return true;
}

ReadResult readText(Project &project, const QByteArray &bytes)
{
    ReadResult result;
    result.opened = true;
    project.clearProject();
    // A line ends at CR LF, a lone CR or a lone LF (a file edited on Linux reads back).
    const QStringList lines = splitTextLines(Windows1252::decode(bytes), true);
    if (lines.isEmpty())
        return result; // an empty file stops before anything is added
    project.setSaved(true);

    // Rows are gathered in a scratch project and handed over in one piece, so
    // front ends redraw once rather than once per row of a large file.
    Project read;
    int owner = -1; // the Main Site that Linking Site lines belong to
    int startAt = 0;
    if (!isMarkerLine(lines.first())) {
        owner = read.addMainSite(lines.first());
        startAt = 1;
    }

    QList<LinkResult> results;
    QList<Rule> rules;
    auto readLine = [&](QString line) -> bool {
        if (line.isEmpty() || line == QLatin1String(" "))
            return true;
        if (line.startsWith(kHtml1) || line.startsWith(kHtml2) || line.startsWith(kHtml3)) {
            const int n = line.startsWith(kHtml1) ? 1 : line.startsWith(kHtml2) ? 2 : 3;
            line.remove(n == 1 ? kHtml1 : n == 2 ? kHtml2 : kHtml3);
            line.replace(kLineBreakCode, QLatin1String("\r\n"));
            read.setPageText(n == 1 ? Project::PageText::Before
                             : n == 2 ? Project::PageText::Links
                                      : Project::PageText::After, line);
        } else if (line.startsWith(kResult)) {
            line.remove(kResult);
            const QStringList f = line.split(QLatin1Char('|'));
            LinkResult r;
            if (f.size() < 5 || !toWholeNumber(f.at(0), &r.icon))
                return false;
            const int o = f.size() >= 6 ? 1 : 0;
            if (o)
                r.mainSite = f.at(1);
            r.remoteSite = f.at(1 + o);
            r.status = f.at(2 + o);
            r.number = f.at(3 + o);
            r.url = f.at(4 + o);
            if (o) {
                r.notes = f.value(6);
                r.anchor = f.mid(7).join(QLatin1Char('|'));
            }
            results.append(r);
        } else if (line.startsWith(kNextSite)) {
            line.remove(kNextSite);
            owner = read.addMainSite(line);
        } else if (line.startsWith(kRule)) {
            line.remove(kRule);
            const QStringList f = line.split(QLatin1Char('|'));
            if (f.size() < 4)
                return false;
            rules.append(Rule{f.at(0), f.at(1), f.at(2), f.at(3)});
        } else if (line.startsWith(kPostSingle)) {
            line.remove(kPostSingle);
            read.setScriptUrl(line);
        } else if (line.startsWith(kPostMulti)) {
            line.remove(kPostMulti);
            const QStringList f = line.split(QLatin1Char('|'));
            if (f.size() < 2)
                return false;
            read.addScriptTarget(ScriptTarget{f.at(0), f.at(1)});
        } else {
            const QStringList f = line.split(QLatin1Char('|'));
            // A Linking Site line needs a "|" and a Main Site read before it.
            if (f.size() < 2 || owner < 0)
                return false;
            LinkingSite s;
            s.url = f.at(0);
            s.linksExpected = f.at(1);
            s.linkPageUrl = f.value(2);
            s.linkPageText = f.value(3);
            s.description = f.value(4);
            read.appendLinkingSite(owner, s);
        }
        return true;
    };

    result.complete = true;
    for (int i = startAt; i < lines.size(); ++i) {
        if (!readLine(lines.at(i))) {
            result.complete = false;
            result.stopLineNumber = i + 1;
            result.stopLine = lines.at(i);
            break;
        }
    }
    read.setResults(results);
    read.setRules(rules);
    if (result.complete && read.mainSiteCount() > 0)
        read.setCurrentMainSite(0);
    project.assign(read);
    return result;
}

ReadResult read(Project &project, const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        project.clearProject();
        return ReadResult{};
    }
    return readText(project, file.readAll());
}

const QStringList &markers()
{
    static const QStringList all = {kHtml1, kHtml2, kHtml3, kResult, kNextSite, kRule, kPostSingle, kPostMulti};
    return all;
}

QString markerAtStart(const QString &line)
{
    for (const QString &m : markers())
        if (line.startsWith(m))
            return m;
    return QString();
}

QString proposedSaveName(const Project &project)
{
    if (project.mainSiteCount() == 0 || project.mainSite(0).url.isEmpty())
        return QStringLiteral("Unnamed.prj");
    QString name = project.mainSite(0).url;
    name.remove(QLatin1Char('.'));
    name.remove(QStringLiteral("http://"), Qt::CaseInsensitive);
    name.remove(QStringLiteral("https://"), Qt::CaseInsensitive);
    const int slash = name.indexOf(QLatin1Char('/'));
    if (slash > 0)
        name.truncate(slash);
    return name + QStringLiteral(".prj");
}

} // namespace ProjectFile
