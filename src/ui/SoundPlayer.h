#pragma once

class QObject;

// Installs the window program's sound player: each file gets one sound
// effect, loaded on first use and played without waiting for its end.
void installSoundPlayer(QObject *owner);
