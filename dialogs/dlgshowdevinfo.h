#pragma once

#include "drift.h"

#include <QDialog>
#include <QList>
#include <QPair>
#include <QString>

class QLabel;
class QStandardItemModel;
class QTableView;
class ThinclientInfo;
class rvxDB;

// "Device Information": a read-only property sheet of one device, from its information
// block and its stored configuration text, sorted by property name. For a device of a
// department with a linked profile, a second list below holds the settings that differ from
// the profile, with the device's and the profile's values (secrets masked).
class DlgShowDevInfo : public QDialog
{
    Q_OBJECT

public:
    DlgShowDevInfo(QWidget* parent, ThinclientInfo* info, rvxDB* db);

    // The (property, value) rows of a device, in the order they are listed before sorting.
    // A missing configuration key gives an empty value.
    static QList<QPair<QString, QString>> deviceRows(const ThinclientInfo& info,
                                                     const QByteArray& configText);
    // Discovery method of a configuration text: rvx_discovery_mode's name, else the number
    // in rvx_server_mode, else Auto.
    static QString discoveryModeName(const QByteArray& configText);

    QStandardItemModel* model() const { return m_model; }
    QTableView* view() const { return m_view; }

    // Shows the drift from the linked profile: nothing when it could not be compared.
    void showDrift(const QString& profilePath, const std::optional<QList<drift::Difference>>& differences);
    QLabel* driftLabel() const { return m_driftLabel; }
    QStandardItemModel* driftModel() const { return m_driftModel; }
    // The summary above the list.
    static QString driftSummary(const QString& profilePath,
                                const std::optional<QList<drift::Difference>>& differences);

private:
    QStandardItemModel* m_model;
    QTableView* m_view;
    QLabel* m_driftLabel = nullptr;
    QStandardItemModel* m_driftModel = nullptr;
    QTableView* m_driftView = nullptr;
};
