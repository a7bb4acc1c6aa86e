#pragma once

#include "ui/DialogService.h"

#include <QObject>
#include <QString>
#include <QtTest>

// Finds a control by its objectName and fails the test when it is missing.
template <class T>
T *need(QObject *root, const char *name)
{
    T *w = root->findChild<T *>(QLatin1String(name));
    if (!w)
        qFatal("control %s not found", name);
    return w;
}

// The messages the dialog service was asked to show, in order.
inline QStringList askedMessages()
{
    QStringList out;
    for (const auto &a : DialogService::instance().asked())
        if (a.kind == QLatin1String("message"))
            out.append(a.text);
    return out;
}
