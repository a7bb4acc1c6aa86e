#pragma once

#include "model/ProjectTypes.h"

#include <QString>

// A row's status as the report and the tab export show it: the link notes
// follow in brackets ("Direct Link (nofollow, ugc)"); a row without notes
// shows its status alone.
QString statusWithNotes(const LinkResult &row);

// Whether a link row's notes say it passes no value: every note does except
// "JavaScript", which only says where the link was found.
bool passesNoValue(const LinkResult &row);
