#pragma once

#include <QString>

// The machine-wide settings location. A normal user cannot write it, so the
// program writes there only when it has the rights.
namespace MachineWide {

// The file that holds the machine-wide values of a company's product.
QString location(const QString &company);

// True when the file can be written, or created where it does not exist yet:
// the nearest existing folder on its path must be a writable folder.
bool hasRights(const QString &company);

} // namespace MachineWide
