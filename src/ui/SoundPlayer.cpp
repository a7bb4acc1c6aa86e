#include "ui/SoundPlayer.h"

#include "settings/Sounds.h"

#include <QHash>
#include <QPointer>
#include <QSoundEffect>
#include <QUrl>

void installSoundPlayer(QObject *owner)
{
    auto effects = std::make_shared<QHash<QString, QPointer<QSoundEffect>>>();
    QPointer<QObject> guard(owner);
    Sounds::setPlayer([effects, guard](const QString &path) {
        if (!guard)
            return;
        QPointer<QSoundEffect> &effect = (*effects)[path];
        if (!effect) {
            effect = new QSoundEffect(guard.data());
            effect->setSource(QUrl::fromLocalFile(path));
        }
        effect->play();
    });
    QObject::connect(owner, &QObject::destroyed, [] { Sounds::setPlayer(nullptr); });
}
