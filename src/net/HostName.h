#pragma once

#include <QString>

// The host text of a request as it goes on the wire. A host typed with
// non-ASCII letters is looked up and named in the Host line in its ASCII
// (punycode) form; a port after a ":" stays as it is. ASCII hosts are kept
// exactly as written, and a name that has no ASCII form is left unchanged
// (its lookup then fails as it would have).
QString asciiHost(const QString &host);
