#pragma once

#include "model/ProjectTypes.h"

#include <QString>

// A row's status as the report and the tab export show it: the link notes
// follow in brackets ("Direct Link (nofollow, ugc)"); a row without notes
// shows its status alone.
QString statusWithNotes(const LinkResult &row);
