#include "settings/Sounds.h"

#include "settings/ProgramFolder.h"

#include <QFileInfo>

static Sounds::Player &player()
{
    static Sounds::Player p;
    return p;
}

void Sounds::setPlayer(Player p)
{
    player() = std::move(p);
}

void playSound(const QString &relativePath)
{
    if (!player())
        return;
    const QString path = ProgramFolder::shippedFilePath(relativePath);
    if (!QFileInfo::exists(path))
        return;
    player()(path);
}
