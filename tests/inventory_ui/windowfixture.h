#pragma once

// A started main window in a private workspace, with real simulated agents connected to its
// agent server over TLS on loopback, and helpers to read and select rows.

#include "guisupport.h"

#include "ask.h"
#include "departmentview.h"
#include "mainwindow.h"
#include "rvxdb.h"
#include "simagent.h"
#include "sslserver.h"
#include "thinclientinfo.h"
#include "zyldroplabel.h"
#include "zyltreeview.h"

#include <QFile>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QSettings>
#include <QStandardItem>
#include <QStandardItemModel>

#include <memory>
#include <vector>

namespace rvx::test {

inline std::unique_ptr<QSettings> openStore()
{
    return std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope,
                                       QStringLiteral("Orbenium"), QStringLiteral("RVX"));
}

struct DeviceSpec
{
    DeviceSpec(const QString& serial_, const QString& mac_ = QStringLiteral("00:11:22:33:44:55"),
               quint8 type = 2)
        : serial(serial_)
        , mac(mac_)
        , firmwareType(type)
    {
    }

    QString serial;
    QString mac;
    quint8 firmwareType;
    QString firmwareVersion = QStringLiteral("8.4.0");
    QString clientVersion = QStringLiteral("8.4.0");
    quint8 bootMode = ThinclientInfo::BootNormal;
    QString hostname;

    QByteArray block() const
    {
        ThinclientInfo info;
        info.loadBlock(SimAgent::deviceBlock(serial, clientVersion, hostname, mac));
        info.setFirmwareType(firmwareType);
        info.setFirmwareVersion(firmwareVersion);
        info.setBootMode(bootMode);
        return info.block();
    }
};

class WindowFixture
{
public:
    explicit WindowFixture(quint16 udpPort = 0, bool discovery = false)
    {
        Ask::setTestMode(true);
        clearAudit();
        port = freeTcpPort();
        auto store = openStore();
        store->clear();
        ws.writeSettings(*store, port, udpPort);
        store->setValue(QStringLiteral("discoveryState"), discovery);
        QFile::copy(testCertificatePath(), ws.path(QStringLiteral("rvx.crt")));
        QFile::copy(testKeyPath(), ws.path(QStringLiteral("rvx.key")));
    }

    ~WindowFixture()
    {
        window.reset();
        agents.clear();
        openStore()->clear();
    }

    void setSetting(const QString& key, const QVariant& value) { openStore()->setValue(key, value); }

    // Before start(): a device the history remembers (it is listed offline at start-up).
    void storeDevice(const DeviceSpec& setup, qint64 lastSeen = 0)
    {
        rvxDB db(ws.path(QStringLiteral("db")));
        db.saveState(setup.serial, setup.block());
        if (lastSeen)
            db.setLastSeen(setup.serial, lastSeen);
    }

    QString departmentsPath() const { return ws.path(QStringLiteral("departments.ini")); }
    void writeDepartments(const QByteArray& text)
    {
        QFile f(departmentsPath());
        f.open(QIODevice::WriteOnly | QIODevice::Truncate);
        f.write(text);
    }
    QByteArray departmentsFile() const
    {
        QFile f(departmentsPath());
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

    MainWindow* start()
    {
        window = std::make_unique<MainWindow>();
        return window.get();
    }
    // Closes the window as the administrator would, then starts a new one.
    MainWindow* restart()
    {
        window->close();
        window.reset();
        return start();
    }

    // A connected agent that identified itself with the block (proven by an echo).
    SimAgent* connectAgent(const DeviceSpec& setup)
    {
        auto agent = std::make_unique<SimAgent>();
        agent->setIdentifier(setup.mac.toLatin1());
        if (!agent->handshake(port))
            return nullptr;
        agent->identify(setup.block());
        if (!agent->echo())
            return nullptr;
        agents.push_back(std::move(agent));
        return agents.back().get();
    }

    ThinclientInfo* device(const QString& serial) const { return window->server()->findBySerial(serial); }

    DeptInfo* department(const QString& name) const
    {
        for (DeptInfo* dept : window->departments().items()) {
            if (dept->name == name)
                return dept;
        }
        return nullptr;
    }
    QStringList departmentNames() const
    {
        QStringList names;
        for (DeptInfo* dept : window->departments().items())
            names << dept->name;
        return names;
    }

    DepartmentView* shown() const { return window->shownView(); }

    // The texts of a device's row, cell by cell.
    static QStringList rowTexts(const ThinclientInfo* device)
    {
        QStringList texts;
        if (!device || !device->item || !device->item->parent())
            return texts;
        QStandardItem* parent = device->item->parent();
        for (int c = 0; c < parent->columnCount(); ++c) {
            QStandardItem* cell = parent->child(device->item->row(), c);
            texts << (cell ? cell->text() : QString());
        }
        return texts;
    }
    static QModelIndex indexOf(const ThinclientInfo* device) { return device->item->index(); }

    // Selects the devices' rows (whole rows) in the shown list, as a click would, and runs
    // the click's follow-up.
    void select(const QList<ThinclientInfo*>& devices)
    {
        QItemSelectionModel* selection = shown()->view()->selectionModel();
        selection->clearSelection();
        for (ThinclientInfo* device : devices)
            selection->select(indexOf(device), QItemSelectionModel::Select | QItemSelectionModel::Rows);
        window->onTreeViewClicked(devices.isEmpty() ? QModelIndex() : indexOf(devices.last()));
    }

    Workspace ws;
    quint16 port = 0;
    std::unique_ptr<MainWindow> window;
    std::vector<std::unique_ptr<SimAgent>> agents;
};

} // namespace rvx::test
