#pragma once

// The real main window (offscreen) with its real agent server in a private workspace, and
// simulated agents connected to it over TLS on loopback. Rows are selected through the shown
// department's view, as a click would; every prompt is scripted through the Ask seam.

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

using rvx::Ask;

namespace rvx::test {

inline std::unique_ptr<QSettings> openStore()
{
    return std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope,
                                       QStringLiteral("Orbenium"), QStringLiteral("RVX"));
}

// A device as a simulated agent presents it. An empty MAC address gives each connected agent
// one of its own.
struct DeviceSpec
{
    DeviceSpec(const QString& serial_ = QString(), const QString& mac_ = QStringLiteral("00:11:22:33:44:55"),
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
    bool printServer = false;
    int protocolType = 0;
    QByteArray configuration; // reported as a whole configuration after identifying

    QByteArray block(const QString& macAddress = QString()) const
    {
        ThinclientInfo info;
        info.loadBlock(
            SimAgent::deviceBlock(serial, clientVersion, hostname, macAddress.isEmpty() ? mac : macAddress));
        info.setFirmwareType(firmwareType);
        info.setFirmwareVersion(firmwareVersion);
        info.setBootMode(bootMode);
        info.setPrintServerEnabled(printServer);
        info.setProtocolType(static_cast<quint8>(protocolType));
        return info.block();
    }
};

// The same device given by its serial number, agent and firmware versions and type.
struct AgentSetup : DeviceSpec
{
    AgentSetup(const QString& serial_ = QString(), const QString& client = QStringLiteral("8.4.0"),
               const QString& firmware = QStringLiteral("4.10.0"), int type = 2)
        : DeviceSpec(serial_, QString(), static_cast<quint8>(type))
    {
        clientVersion = client;
        firmwareVersion = firmware;
    }
};

class WindowFixture
{
public:
    // Complete settings (no first-start dialog) for a working folder of its own, a certificate
    // in it, discovery as asked.
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
    void writeDepartments(const QByteArray& text) { writeRaw(departmentsPath(), text); }
    QByteArray departmentsFile() const
    {
        QFile f(departmentsPath());
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

    // The started window (null when its agent server is not listening).
    MainWindow* start()
    {
        window = std::make_unique<MainWindow>();
        return window->server() && window->server()->isListening() ? window.get() : nullptr;
    }
    // A started window for one test, with the box records and the audit trail cleared (null
    // when it did not start).
    static std::unique_ptr<WindowFixture> started()
    {
        auto fixture = std::make_unique<WindowFixture>();
        if (!fixture->start())
            return nullptr;
        Ask::clearRecords();
        clearAudit();
        return fixture;
    }
    // Closes the window as the administrator would, then starts a new one.
    MainWindow* restart()
    {
        window->close();
        window.reset();
        return start();
    }

    // A connected agent that identified itself with the block (proven by an echo).
    SimAgent* connectAgent(const DeviceSpec& setup) { return connect(setup, true); }

    // A connected agent that identified itself and reported its configuration when one is
    // given; its frames are cleared so a test sees only what its action sent, unless they are
    // kept to see what the server sent on its own at the identification.
    SimAgent* connect(const DeviceSpec& setup, bool keepFrames = false)
    {
        auto agent = std::make_unique<SimAgent>();
        const QString mac = !setup.mac.isEmpty() ? setup.mac
                                                 : QStringLiteral("00:11:22:33:%1:%2")
                                                       .arg(agents.size() / 256, 2, 16, QLatin1Char('0'))
                                                       .arg(agents.size() % 256, 2, 16, QLatin1Char('0'));
        agent->setIdentifier(mac.toLatin1());
        if (!agent->handshake(port))
            return nullptr;
        agent->identify(setup.block(mac));
        if (!setup.configuration.isEmpty())
            agent->sendConfiguration(setup.configuration, 55,
                                     ThinclientInfo::versionAtLeast(setup.clientVersion, 8, 4, 0));
        if (!agent->echo())
            return nullptr;
        if (!keepFrames)
            agent->clearFrames();
        agents.push_back(std::move(agent));
        return agents.back().get();
    }

    ThinclientInfo* device(const QString& serial) const { return window->server()->findBySerial(serial); }
    ThinclientInfo* record(const QString& serial) const { return device(serial); }

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
    // the click's follow-up (one device selected: its configuration is loaded into the store).
    void select(const QList<ThinclientInfo*>& devices)
    {
        QItemSelectionModel* selection = shown()->view()->selectionModel();
        selection->clearSelection();
        for (ThinclientInfo* device : devices)
            selection->select(indexOf(device), QItemSelectionModel::Select | QItemSelectionModel::Rows);
        window->onTreeViewClicked(devices.isEmpty() ? QModelIndex() : indexOf(devices.last()));
    }
    void selectSerials(const QStringList& serials)
    {
        QList<ThinclientInfo*> devices;
        for (const QString& serial : serials) {
            ThinclientInfo* d = device(serial);
            if (d && d->item)
                devices << d;
        }
        select(devices);
        QCoreApplication::processEvents();
    }

    // The frames an agent received since its frames were last cleared, proven complete by an
    // echo (the echo itself is left out); the list is cleared again.
    static QList<SimAgent::Frame> received(SimAgent* agent)
    {
        if (!agent->echo()) {
            SimAgent::Frame none;
            none.type = none.code = 0xFF;
            none.payload = none.raw = QByteArray("no echo");
            return {none};
        }
        QList<SimAgent::Frame> frames = agent->frames();
        frames.removeLast();
        agent->clearFrames();
        return frames;
    }
    static QList<QByteArray> receivedRaw(SimAgent* agent)
    {
        QList<QByteArray> raw;
        for (const SimAgent::Frame& f : received(agent))
            raw << f.raw;
        return raw;
    }

    // The plain configuration message of an agent below 8.4.0.
    static QByteArray plainConfig(int category, const QByteArray& text)
    {
        QByteArray out;
        const int length = text.size() + 2;
        out.append(char(55));
        out.append(char(0));
        out.append(static_cast<char>(length >> 8));
        out.append(static_cast<char>(length & 0xFF));
        out.append(static_cast<char>(category));
        out.append(text);
        out.append('\0');
        return out;
    }

    // A compressed configuration message of an agent from 8.4.0 on: true when the frame is
    // one, of that category, carrying exactly that text.
    static bool isCompressedConfig(const QByteArray& frame, int category, const QByteArray& text)
    {
        if (frame.size() < 5 || frame.at(0) != char(55) || frame.at(1) != char(1) ||
            frame.at(4) != static_cast<char>(category))
            return false;
        const int length = (static_cast<uchar>(frame.at(2)) << 8) | static_cast<uchar>(frame.at(3));
        if (length != frame.size() - 4)
            return false;
        return qUncompress(frame.mid(5)) == text + QByteArray(1, '\0');
    }

    // The last message box of a kind.
    static Ask::Record lastOf(Ask::Kind kind)
    {
        const QList<Ask::Record>& records = Ask::records();
        for (int i = records.size() - 1; i >= 0; --i) {
            if (records.at(i).kind == kind)
                return records.at(i);
        }
        return {};
    }

    Workspace ws;
    quint16 port = 0;
    std::unique_ptr<MainWindow> window;
    std::vector<std::unique_ptr<SimAgent>> agents;
};

} // namespace rvx::test
