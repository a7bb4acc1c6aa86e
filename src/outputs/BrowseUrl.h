#pragma once

#include <QString>

// The form in which a result's or an error's URL is handed to a browser: a
// text that does not contain "http" in any letter case gets "http://" in
// front; anything else ("https://", "HTTPS://", "http://") is left as it is.
QString browseUrl(const QString &text);
