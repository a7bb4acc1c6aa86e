#include "model/Project.h"

Project::Project(QObject *parent) : QObject(parent) {}

// Ids are unique across every Project of the run, so rows read into a scratch
// project keep theirs when handed over.
static quint64 nextRowId()
{
    static quint64 last = 0;
    return ++last;
}

int Project::mainSitePositionOf(quint64 id) const
{
    for (int i = 0; i < m_mainSites.size(); ++i)
        if (m_mainSites.at(i).id == id)
            return i;
    return -1;
}

int Project::linkingSitePositionOf(int mainPos, quint64 id) const
{
    if (mainPos < 0 || mainPos >= m_mainSites.size())
        return -1;
    const QList<LinkingSite> &sites = m_mainSites.at(mainPos).linkingSites;
    for (int i = 0; i < sites.size(); ++i)
        if (sites.at(i).id == id)
            return i;
    return -1;
}

QString Project::pageText(PageText which) const
{
    switch (which) {
    case PageText::Before: return m_htmlBefore;
    case PageText::Links: return m_htmlLinks;
    case PageText::After: return m_htmlAfter;
    }
    return QString();
}

int Project::linkingSiteTotal() const
{
    int n = 0;
    for (const MainSite &m : m_mainSites)
        n += int(m.linkingSites.size());
    return n;
}

void Project::clearProject()
{
    m_mainSites.clear();
    m_rules.clear();
    m_results.clear();
    m_scriptTargets.clear();
    m_scriptUrl = ProjectDefaults::scriptUrl;
    m_htmlBefore = ProjectDefaults::htmlBefore;
    m_htmlLinks = ProjectDefaults::htmlLinks;
    m_htmlAfter = ProjectDefaults::htmlAfter;
    m_current = -1;
    emit projectReset();
    emit mainSitesChanged();
    emit rulesChanged();
    emit resultsChanged();
    emit scriptChanged();
    emit pageTextChanged(PageText::Before);
    emit pageTextChanged(PageText::Links);
    emit pageTextChanged(PageText::After);
    emit currentMainSiteChanged(-1);
}

int Project::addMainSite(const QString &url)
{
    m_mainSites.append(MainSite{url, {}, nextRowId()});
    emit mainSitesChanged();
    return int(m_mainSites.size()) - 1;
}

void Project::removeMainSite(int pos)
{
    if (pos < 0 || pos >= m_mainSites.size())
        return;
    const QString url = m_mainSites.at(pos).url;
    m_mainSites.removeAt(pos);
    removeRulesWhere([&](const Rule &r) { return r.mainSite == url; });
    if (m_current == pos)
        m_current = -1;
    else if (m_current > pos)
        --m_current;
    emit mainSitesChanged();
    emit currentMainSiteChanged(m_current);
}

void Project::renameMainSite(int pos, const QString &url)
{
    if (pos < 0 || pos >= m_mainSites.size())
        return;
    m_mainSites[pos].url = url;
    emit mainSitesChanged();
}

int Project::addLinkingSite(int mainPos, const QString &url)
{
    if (mainPos < 0 || mainPos >= m_mainSites.size())
        return -1;
    LinkingSite site;
    site.url = url;
    site.id = nextRowId();
    m_mainSites[mainPos].linkingSites.append(site);
    emit linkingSitesChanged(mainPos);
    return int(m_mainSites[mainPos].linkingSites.size()) - 1;
}

void Project::removeLinkingSite(int mainPos, int pos)
{
    if (mainPos < 0 || mainPos >= m_mainSites.size())
        return;
    auto &list = m_mainSites[mainPos].linkingSites;
    if (pos < 0 || pos >= list.size())
        return;
    list.removeAt(pos);
    emit linkingSitesChanged(mainPos);
}

void Project::updateLinkingSite(int mainPos, int pos, const LinkingSite &columns)
{
    if (mainPos < 0 || mainPos >= m_mainSites.size())
        return;
    auto &list = m_mainSites[mainPos].linkingSites;
    if (pos < 0 || pos >= list.size())
        return;
    LinkingSite &row = list[pos];
    row.url = columns.url;
    row.linksExpected = columns.linksExpected;
    row.linkPageUrl = columns.linkPageUrl;
    row.linkPageText = columns.linkPageText;
    row.description = columns.description;
    emit linkingSiteChanged(mainPos, pos);
}

void Project::loadScanCopy(const Project &source, int mainPos, int row)
{
    MainSite main = source.m_mainSites.at(mainPos);
    main.linkingSites = {main.linkingSites.at(row)};
    m_mainSites = {main};
    m_rules = source.m_rules;
    m_results.clear();
    m_errors.clear();
    m_current = 0;
    emit projectReset();
}

void Project::setLinkingSiteUrl(int mainPos, int pos, const QString &url)
{
    if (mainPos < 0 || mainPos >= m_mainSites.size())
        return;
    auto &list = m_mainSites[mainPos].linkingSites;
    if (pos < 0 || pos >= list.size())
        return;
    list[pos].url = url;
    emit linkingSiteChanged(mainPos, pos);
}

bool Project::ruleInScope(const Rule &r, Scope scope, const QString &mainSite, const QString &remoteSite)
{
    switch (scope) {
    case Scope::Global:
        return r.mainSite == kGlobalScope && r.remoteSite == kGlobalScope;
    case Scope::MainSite:
        return r.mainSite == mainSite && r.remoteSite == kGlobalScope;
    case Scope::LinkingSite:
        return r.mainSite == mainSite && r.remoteSite == remoteSite;
    }
    return false;
}

QList<Rule> Project::scopeRules(Scope scope, const QString &mainSite, const QString &remoteSite) const
{
    QList<Rule> out;
    for (const Rule &r : m_rules)
        if (ruleInScope(r, scope, mainSite, remoteSite))
            out.append(r);
    return out;
}

void Project::replaceScopeRules(Scope scope, const QString &mainSite, const QString &remoteSite,
                                const QList<Rule> &newRules)
{
    QList<Rule> kept;
    kept.reserve(m_rules.size() + newRules.size());
    for (const Rule &r : std::as_const(m_rules))
        if (!ruleInScope(r, scope, mainSite, remoteSite))
            kept.append(r);
    kept.append(newRules);
    m_rules = kept;
    emit rulesChanged();
}

void Project::appendRule(const Rule &rule)
{
    m_rules.append(rule);
    emit rulesChanged();
}

void Project::removeRulesWhere(const std::function<bool(const Rule &)> &pred)
{
    const auto before = m_rules.size();
    m_rules.removeIf(pred);
    if (m_rules.size() != before)
        emit rulesChanged();
}

// Leading and trailing spaces removed; a tab or a no-break space is text.
static QStringView withoutOuterSpaces(const QString &text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && text.at(begin) == QLatin1Char(' '))
        ++begin;
    while (end > begin && text.at(end - 1) == QLatin1Char(' '))
        --end;
    return QStringView(text).mid(begin, end - begin);
}

QString Project::findScriptUrl(const QString &mainSite) const
{
    const QStringView wanted = withoutOuterSpaces(mainSite);
    for (const ScriptTarget &t : m_scriptTargets)
        if (withoutOuterSpaces(t.mainSite) == wanted)
            return t.scriptUrl;
    return QString();
}

int Project::findMainSite(const QString &mainSite) const
{
    const QStringView wanted = withoutOuterSpaces(mainSite);
    for (int i = 0; i < m_mainSites.size(); ++i)
        if (withoutOuterSpaces(m_mainSites.at(i).url) == wanted)
            return i;
    return 0;
}

void Project::markEdited()
{
    setSaved(false);
}

void Project::setSaved(bool saved)
{
    if (m_saved == saved)
        return;
    m_saved = saved;
    emit savedChanged(saved);
}

void Project::setCurrentMainSite(int pos)
{
    if (pos < -1 || pos >= m_mainSites.size())
        pos = -1;
    m_current = pos;
    emit currentMainSiteChanged(pos);
}

void Project::appendResult(const LinkResult &row)
{
    m_results.append(row);
    emit resultAppended(int(m_results.size()) - 1);
}

void Project::setResult(int index, const LinkResult &row)
{
    if (index < 0 || index >= m_results.size())
        return;
    m_results[index] = row;
    emit resultChanged(index);
}

void Project::setResults(const QList<LinkResult> &rows)
{
    m_results = rows;
    emit resultsChanged();
}

void Project::moveResult(int from, int to)
{
    if (from < 0 || from >= m_results.size() || to < 0 || to >= m_results.size() || from == to)
        return;
    m_results.move(from, to);
    emit resultsChanged();
}

void Project::clearResults()
{
    m_results.clear();
    emit resultsChanged();
}

void Project::appendError(const ErrorEntry &row)
{
    m_errors.append(row);
    emit errorAppended(int(m_errors.size()) - 1);
}

void Project::setErrors(const QList<ErrorEntry> &rows)
{
    m_errors = rows;
    emit errorsChanged();
}

void Project::moveError(int from, int to)
{
    if (from < 0 || from >= m_errors.size() || to < 0 || to >= m_errors.size() || from == to)
        return;
    m_errors.move(from, to);
    emit errorsChanged();
}

void Project::clearErrors()
{
    m_errors.clear();
    emit errorsChanged();
}

void Project::setLinkingSiteColour(int mainPos, int pos, RowColour colour)
{
    if (mainPos < 0 || mainPos >= m_mainSites.size())
        return;
    auto &list = m_mainSites[mainPos].linkingSites;
    if (pos < 0 || pos >= list.size())
        return;
    list[pos].colour = colour;
    emit linkingSiteChanged(mainPos, pos);
}

void Project::resetLinkingSiteColours()
{
    for (int m = 0; m < m_mainSites.size(); ++m) {
        for (LinkingSite &s : m_mainSites[m].linkingSites)
            s.colour = RowColour::Default;
        emit linkingSitesChanged(m);
    }
}

void Project::setLinkingSites(int mainPos, const QList<LinkingSite> &rows)
{
    if (mainPos < 0 || mainPos >= m_mainSites.size())
        return;
    m_mainSites[mainPos].linkingSites = rows;
    for (LinkingSite &s : m_mainSites[mainPos].linkingSites)
        if (s.id == 0)
            s.id = nextRowId();
    emit linkingSitesChanged(mainPos);
}

void Project::assign(const Project &other)
{
    m_mainSites = other.m_mainSites;
    m_rules = other.m_rules;
    m_results = other.m_results;
    m_scriptUrl = other.m_scriptUrl;
    m_scriptTargets = other.m_scriptTargets;
    m_htmlBefore = other.m_htmlBefore;
    m_htmlLinks = other.m_htmlLinks;
    m_htmlAfter = other.m_htmlAfter;
    m_current = other.m_current;
    emit projectReset();
    emit mainSitesChanged();
    emit rulesChanged();
    emit resultsChanged();
    emit scriptChanged();
    emit pageTextChanged(PageText::Before);
    emit pageTextChanged(PageText::Links);
    emit pageTextChanged(PageText::After);
    emit currentMainSiteChanged(m_current);
}

void Project::appendLinkingSite(int mainPos, const LinkingSite &row)
{
    if (mainPos < 0 || mainPos >= m_mainSites.size())
        return;
    m_mainSites[mainPos].linkingSites.append(row);
    m_mainSites[mainPos].linkingSites.last().id = nextRowId();
    emit linkingSitesChanged(mainPos);
}

void Project::appendLinkingSites(int mainPos, const QList<LinkingSite> &rows)
{
    if (mainPos < 0 || mainPos >= m_mainSites.size() || rows.isEmpty())
        return;
    QList<LinkingSite> &list = m_mainSites[mainPos].linkingSites;
    list.reserve(list.size() + rows.size());
    for (const LinkingSite &row : rows) {
        list.append(row);
        list.last().id = nextRowId();
    }
    emit linkingSitesChanged(mainPos);
}

void Project::addMainSites(const QStringList &urls)
{
    if (urls.isEmpty())
        return;
    m_mainSites.reserve(m_mainSites.size() + urls.size());
    for (const QString &url : urls)
        m_mainSites.append(MainSite{url, {}, nextRowId()});
    emit mainSitesChanged();
}

void Project::setRules(const QList<Rule> &rules)
{
    m_rules = rules;
    emit rulesChanged();
}

void Project::setScriptUrl(const QString &url)
{
    if (m_scriptUrl == url)
        return;
    m_scriptUrl = url;
    emit scriptChanged();
}

void Project::addScriptTarget(const ScriptTarget &target)
{
    m_scriptTargets.append(target);
    emit scriptChanged();
}

void Project::removeScriptTarget(int index)
{
    if (index < 0 || index >= m_scriptTargets.size())
        return;
    m_scriptTargets.removeAt(index);
    emit scriptChanged();
}

// Page-builder texts keep their line breaks as CR LF whatever the text area gave.
static QString withCrLf(const QString &text)
{
    if (!text.contains(QLatin1Char('\n')) && !text.contains(QLatin1Char('\r')))
        return text;
    QString out;
    out.reserve(text.size() + 16);
    for (int i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c == QLatin1Char('\r')) {
            out += QLatin1String("\r\n");
            if (i + 1 < text.size() && text.at(i + 1) == QLatin1Char('\n'))
                ++i;
        } else if (c == QLatin1Char('\n')) {
            out += QLatin1String("\r\n");
        } else {
            out += c;
        }
    }
    return out;
}

void Project::setPageText(PageText which, const QString &rawText)
{
    const QString text = withCrLf(rawText);
    QString *field = which == PageText::Before ? &m_htmlBefore
                   : which == PageText::Links  ? &m_htmlLinks
                                               : &m_htmlAfter;
    if (*field == text)
        return;
    *field = text;
    emit pageTextChanged(which);
}
