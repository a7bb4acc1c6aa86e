#pragma once

#include "ScanRun.h"

#include <QStringList>

// --schedule, --unschedule and --schedules: the scheduled scans of this user.
// Returns the exit status: 0 done, 2 not (the reason on stderr).
int runScheduleCommand(const ScanCommandLine &command);

// The options given with --schedule that every scheduled run repeats, as
// arguments with every file name made absolute (a timer does not run in the
// folder the command was given in).
QStringList scheduledScanOptions(const ScanRunOptions &options);
