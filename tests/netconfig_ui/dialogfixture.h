#pragma once

// Shared by the dialog tests of this folder: widgets by object name and a configuration
// store holding exactly the given entries.

#include "configlib.h"

#include <QDialog>
#include <QList>
#include <QPair>
#include <QtTest>

template <typename T>
T* child(QDialog& dialog, const char* name)
{
    T* widget = dialog.findChild<T*>(QString::fromLatin1(name));
    if (!widget)
        qFatal("no widget %s", name);
    return widget;
}

// The store of the selected device with only these entries (no defaults).
inline void setStore(const QList<QPair<QByteArray, QByteArray>>& entries)
{
    config_store_reset_for_testing(QStringLiteral("/nonexistent/environment"),
                                   QStringLiteral("/nonexistent/tz"));
    config_store_clear();
    for (const auto& entry : entries)
        config_store_set(entry.first, entry.second);
}
