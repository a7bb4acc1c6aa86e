#pragma once

#include "model/ProjectTypes.h"

#include <QList>
#include <QString>

// The errors list as a text file: "Error", tab, "URL", an empty line, one
// line per error (error, tab, url), CR LF line ends and a final empty line.
QByteArray errorsFileText(const QList<ErrorEntry> &errors);
bool writeErrorsFile(const QList<ErrorEntry> &errors, const QString &path, QString *error);
