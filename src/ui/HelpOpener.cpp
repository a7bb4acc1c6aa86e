#include "ui/HelpOpener.h"

#include "settings/MachineWide.h"
#include "settings/ProgramFolder.h"
#include "settings/SettingsKeys.h"
#include "settings/SettingsStore.h"
#include "ui/DialogService.h"
#include "ui/Identity.h"

#include <QFileInfo>
#include <QUrl>

// The machine-wide copy of showHelp. An ordinary user has no rights there and
// is not bothered; a failure despite the rights is told, unless the user asked
// never to hear of it again.
static void recordMachineWide(QWidget *parent)
{
    SettingsStore &store = SettingsStore::instance();
    if (!MachineWide::hasRights(Identity::company()))
        return;
    for (;;) {
        if (store.writeMachineWide(Identity::company(), Keys::showHelp, QStringLiteral("0")))
            return;
        if (store.read(Keys::IgnorePermissionDeniedError, QStringLiteral("0")) == QLatin1String("1"))
            return;
        const QString text = Identity::product()
            + QObject::tr(" requires read/write access to the system registry and hard drive in order to run properly.  "
                          "This user account does not have the proper permissions set.  As a result some or all of "
                          "your settings may not be properly saved.  Please contact your system administrator or "
                          "change the permission settings for this account.")
            + QStringLiteral("\n\n")
            + QObject::tr("If you would like to prevent this error message from being displayed again, please press 'Ignore'.");
        const auto answer = DialogService::instance().message(parent, text, QObject::tr("Permission Denied"),
                                                              DialogService::Buttons::AbortRetryIgnore,
                                                              DialogService::Icon::Critical);
        if (answer == DialogService::Answer::Retry)
            continue;
        if (answer == DialogService::Answer::Ignore)
            store.write(Keys::IgnorePermissionDeniedError, QStringLiteral("1"));
        return;
    }
}

bool openHelpFile(QWidget *parent)
{
    const QString path = ProgramFolder::shippedFilePath(QStringLiteral("Help.html"));
    if (!QFileInfo(path).isFile())
        return false;
    DialogService::instance().openWithDesktop(path);
    recordMachineWide(parent);
    return true;
}

QString startPageUrl()
{
    const QString path = ProgramFolder::filePath(QStringLiteral("Help.html"));
    return QFileInfo(path).isFile() ? QUrl::fromLocalFile(path).toString() : QStringLiteral("about:blank");
}
