#pragma once

#include "history/HistoryTypes.h"

class Project;

// Turns what a finished scan left in the project into the records of a run.
namespace RunCapture {

// The settings that shape a scan's outcome, with the values a scan reads
// now: KEY=VALUE, one a line, in a fixed order.
QString settingsInEffect();

// One record per Linking Site that has result rows, in the order of their
// first rows. A site the scan never reached has no rows and no record. The
// rows of one Main Site and host make one site: its leading row is its first
// link row, or its first row when it has no link (a site's closing row comes
// after its link rows).
QList<SiteRecord> sitesOfResults(const Project &project);

} // namespace RunCapture
