#pragma once

#include "ScanRun.h"

// --history-reset: moves a damaged history (--history FILE, else the one
// beside PROJECT) aside as FILE.damaged-YYYYMMDD-HHMMSS, so that the next run
// starts a new one. A history SQLite reads whole is left alone. Returns the
// exit status: 0 moved, 2 not (the reason on stderr).
int runHistoryReset(const ScanRunOptions &options);

// What to tell a user whose history is damaged: the command that moves it aside.
QString historyResetHint(const ScanRunOptions &options);
