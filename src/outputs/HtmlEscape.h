#pragma once

#include <QString>

// Text from a project or from a scanned page placed into HTML: a partner's page
// must not be able to plant markup or script in what the program shows.
// "&", "<", ">", '"' and "'" become entities; everything else is unchanged.
QString escapeHtml(const QString &text);
