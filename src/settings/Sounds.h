#pragma once

#include <QString>

#include <functional>

// The notification sounds of the sounds/ folder. The engine only asks for a
// sound; the window installs a player, the headless scanner installs none.
namespace Sounds {
inline const QString foundLink = QStringLiteral("sounds/foundemail.wav");
inline const QString nextSite = QStringLiteral("sounds/nextsearch.wav");
inline const QString finished = QStringLiteral("sounds/finished.wav");

using Player = std::function<void(const QString &absolutePath)>;
void setPlayer(Player player);
} // namespace Sounds

// Plays a sound shipped with the program without waiting; a missing file, or no
// player installed, is silent.
void playSound(const QString &relativePath);
