#pragma once

#include <QString>

// File dialog filters are written as the user sees them: a description, "|",
// and the pattern list separated by "," or ";" ("HTML Files (*.htm,
// *.html)|*.htm,*.html"). Qt reads the patterns from the parentheses of the
// description and splits them at spaces, so the description's parenthesised
// list is replaced by the real patterns: "HTML Files (*.htm *.html)". The
// patterns are exactly those after the "|" (a listed pattern that is not
// among them is not filtered for). A text without "|" is returned unchanged.
QString dialogFilter(const QString &descriptionAndPatterns);
