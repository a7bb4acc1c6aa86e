#pragma once

#include "model/ProjectTypes.h"

#include <QObject>

// The one document the program works on. Everything is text in entry order;
// rows refer to each other only by URL text. Front ends learn of changes
// through the signals; every change goes through a member function.
// Positions are 0-based; -1 means none.
class Project : public QObject
{
    Q_OBJECT
public:
    enum class Scope { Global, MainSite, LinkingSite };
    enum class PageText { Before, Links, After };

    explicit Project(QObject *parent = nullptr);

    // --- reading ---
    const QList<MainSite> &mainSites() const { return m_mainSites; }
    int mainSiteCount() const { return int(m_mainSites.size()); }
    const MainSite &mainSite(int pos) const { return m_mainSites.at(pos); }
    const QList<LinkingSite> &linkingSites(int mainPos) const { return m_mainSites.at(mainPos).linkingSites; }
    const QList<Rule> &rules() const { return m_rules; }
    const QList<LinkResult> &results() const { return m_results; }
    const QList<ErrorEntry> &errors() const { return m_errors; }
    const QString &scriptUrl() const { return m_scriptUrl; }
    const QList<ScriptTarget> &scriptTargets() const { return m_scriptTargets; }
    const QString &htmlBefore() const { return m_htmlBefore; }
    const QString &htmlLinks() const { return m_htmlLinks; }
    const QString &htmlAfter() const { return m_htmlAfter; }
    QString pageText(PageText which) const;
    int currentMainSite() const { return m_current; }
    bool isSaved() const { return m_saved; }
    int linkingSiteTotal() const;

    // --- the operations every Part shares ---
    void clearProject();
    int addMainSite(const QString &url);
    void removeMainSite(int pos);
    void renameMainSite(int pos, const QString &url);
    int addLinkingSite(int mainPos, const QString &url);
    void removeLinkingSite(int mainPos, int pos);
    void updateLinkingSite(int mainPos, int pos, const LinkingSite &columns);
    void setLinkingSiteUrl(int mainPos, int pos, const QString &url);
    void replaceScopeRules(Scope scope, const QString &mainSite, const QString &remoteSite,
                           const QList<Rule> &newRules);
    QString findScriptUrl(const QString &mainSite) const;
    int findMainSite(const QString &mainSite) const;
    void markEdited();
    void setSaved(bool saved);
    void setCurrentMainSite(int pos);
    // Makes this project hold one Linking Site of another under its Main
    // Site, with the rules and no results: the private world of a Linking
    // Site scanned beside others.
    void loadScanCopy(const Project &source, int mainPos, int row);

    // The position of the row with an id (LinkingSite::id, MainSite::id),
    // -1 when the row is gone.
    int mainSitePositionOf(quint64 id) const;
    int linkingSitePositionOf(int mainPos, quint64 id) const;

    // Rules of one scope, in list order (exact, case-sensitive comparison).
    QList<Rule> scopeRules(Scope scope, const QString &mainSite, const QString &remoteSite) const;
    static bool ruleInScope(const Rule &r, Scope scope, const QString &mainSite, const QString &remoteSite);
    void appendRule(const Rule &rule);
    // Removes every rule for which the predicate holds.
    void removeRulesWhere(const std::function<bool(const Rule &)> &pred);

    // --- rows written by the scan, the results list and the file reader ---
    void appendResult(const LinkResult &row);
    void setResult(int index, const LinkResult &row);
    void setResults(const QList<LinkResult> &rows); // a whole new order or content
    void moveResult(int from, int to);              // one row to another place; announced as a reorder
    void clearResults();
    void appendError(const ErrorEntry &row);
    void setErrors(const QList<ErrorEntry> &rows);
    void moveError(int from, int to);
    void clearErrors();
    void setLinkingSiteColour(int mainPos, int pos, RowColour colour);
    void resetLinkingSiteColours();
    void setLinkingSites(int mainPos, const QList<LinkingSite> &rows); // sorting

    // Takes every field but the errors from another project (a file read in
    // a scratch project) and announces it as one reset.
    void assign(const Project &other);
    void appendLinkingSite(int mainPos, const LinkingSite &row);
    // Many rows at once (imports), announced once.
    void appendLinkingSites(int mainPos, const QList<LinkingSite> &rows);
    void addMainSites(const QStringList &urls);
    void setRules(const QList<Rule> &rules);

    void setScriptUrl(const QString &url);
    void addScriptTarget(const ScriptTarget &target);
    void removeScriptTarget(int index);
    void setPageText(PageText which, const QString &text);

signals:
    void projectReset();                     // cleared or read anew
    void mainSitesChanged();
    void linkingSitesChanged(int mainPos);   // rows added, removed or reordered
    void linkingSiteChanged(int mainPos, int pos); // columns or colour of one row
    void rulesChanged();
    void resultAppended(int index);
    void resultChanged(int index);
    void resultsChanged();                   // emptied, reordered or replaced
    void errorAppended(int index);
    void errorsChanged();
    void scriptChanged();                    // scriptUrl or scriptTargets
    void pageTextChanged(Project::PageText which);
    void currentMainSiteChanged(int pos);
    void savedChanged(bool saved);

private:
    QList<MainSite> m_mainSites;
    QList<Rule> m_rules;
    QList<LinkResult> m_results;
    QList<ErrorEntry> m_errors;
    QString m_scriptUrl = ProjectDefaults::scriptUrl;
    QList<ScriptTarget> m_scriptTargets;
    QString m_htmlBefore = ProjectDefaults::htmlBefore;
    QString m_htmlLinks = ProjectDefaults::htmlLinks;
    QString m_htmlAfter = ProjectDefaults::htmlAfter;
    int m_current = -1;
    bool m_saved = true;
};
