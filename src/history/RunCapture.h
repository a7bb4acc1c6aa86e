#pragma once

#include "history/HistoryTypes.h"

struct SiteConclusion;

// Turns what a scan concluded of each Linking Site into the records of a run.
namespace RunCapture {

// The settings that shape a scan's outcome and its comparison with earlier
// runs, with the values a scan reads now: KEY=VALUE, one a line, in a fixed
// order.
QString settingsInEffect();

// The record of one Linking Site as the scan concluded it: its leading row
// is its first link row, or its first row when it has no link (a site's
// closing row comes after its link rows).
SiteRecord recordOf(const SiteConclusion &site);

} // namespace RunCapture
