#pragma once

// Shared by the dialog tests of this folder: widgets by object name and a configuration
// store holding exactly the given entries.

#include "configlib.h"
#include "guisupport.h"

#include <QDialog>
#include <QList>
#include <QPair>
#include <QtTest>

using rvx::test::child;

// The store of the selected device with only these entries (no defaults).
inline void setStore(const QList<QPair<QByteArray, QByteArray>>& entries)
{
    config_store_reset_for_testing(QStringLiteral("/nonexistent/environment"),
                                   QStringLiteral("/nonexistent/tz"));
    config_store_clear();
    for (const auto& entry : entries)
        config_store_set(entry.first, entry.second);
}
