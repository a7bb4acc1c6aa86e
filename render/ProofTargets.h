#pragma once

#include <QString>
#include <QStringList>

// Which links a proof picture outlines: those to a target, a Main Site as the
// user typed it ("mysite.com/links.htm") or a whole href. Scheme, letter case,
// a leading "www." and a target's trailing slashes do not count; a target
// matches the hrefs that start with it where a host, path or name ends there
// ("mysite.com" matches "http://www.mysite.com/a" but not "mysite.com.example.org").
namespace ProofTargets {

QString normalised(const QString &urlOrSite);
bool matches(const QString &href, const QStringList &targets);

} // namespace ProofTargets
