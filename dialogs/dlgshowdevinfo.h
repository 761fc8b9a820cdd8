#pragma once

#include <QDialog>
#include <QList>
#include <QPair>
#include <QString>

class QStandardItemModel;
class QTableView;
class ThinclientInfo;
class rvxDB;

// "Device Information": a read-only property sheet of one device, from its information
// block and its stored configuration text, sorted by property name.
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

private:
    QStandardItemModel* m_model;
    QTableView* m_view;
};
