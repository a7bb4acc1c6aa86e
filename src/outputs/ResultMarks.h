#pragma once

#include "model/ProjectTypes.h"

// The user's override of a result's outcome. Only the status, the colour and
// the image change; "No.", "URL" and the Linking Site's own row stay as they
// are, and the project is not marked edited.
void markAsFound(LinkResult &row);     // "Direct Link", blue, found image
// "None Found", red, not-found image; without a link the row has no link notes.
void markAsNoneFound(LinkResult &row);
