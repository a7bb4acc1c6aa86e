#pragma once

#include <QString>

// The program's identity, as its version information gives it: product,
// maker, the maker's website and the version shown in the About box.
namespace Identity {
inline QString product() { return QStringLiteral("Reciplex"); }
inline QString company() { return QStringLiteral("Quillmarsh Software"); }
inline QString websiteName() { return QStringLiteral("www.quillmarsh.example"); }
inline QString websiteAddress() { return QStringLiteral("http://www.quillmarsh.example/"); }
inline constexpr int versionMajor = 3;
inline constexpr int versionMinor = 0;
inline QString versionText() { return QString::number(versionMajor) + QLatin1Char('.') + QString::number(versionMinor); }
} // namespace Identity
