#pragma once

// The real main window (offscreen) with its real agent server, and simulated agents of
// chosen versions connected to it over TLS. Rows are selected through the shown
// department's view, as a click would; every prompt is scripted through the Ask seam.

#include "guisupport.h"

#include "ask.h"
#include "departmentview.h"
#include "mainwindow.h"
#include "simagent.h"
#include "sslserver.h"
#include "thinclientinfo.h"
#include "zyltreeview.h"

#include <QFile>
#include <QItemSelectionModel>
#include <QSettings>
#include <QStandardItem>

#include <memory>
#include <vector>

using rvx::Ask;

struct AgentSetup
{
    AgentSetup(const QString& serial = QString(), const QString& client = QStringLiteral("8.4.0"),
               const QString& firmware = QStringLiteral("4.10.0"), int firmwareType = 2)
        : serial(serial)
        , client(client)
        , firmware(firmware)
        , firmwareType(firmwareType)
    {
    }

    QString serial;
    QString client;
    QString firmware;
    int firmwareType;
    int bootMode = ThinclientInfo::BootNormal;
    QByteArray configuration; // reported as a whole configuration after identifying
    QString hostname;
    bool printServer = false;
    int protocolType = 0;
};

class WindowFixture
{
public:
    // A started window: complete settings (no first-start dialog), a certificate in the
    // working folder, discovery off.
    bool start()
    {
        port = rvx::test::freeTcpPort();
        {
            QSettings s(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Orbenium"),
                        QStringLiteral("RVX"));
            s.clear();
            ws.writeSettings(s, port);
        }
        QFile::copy(rvx::test::testCertificatePath(), ws.path(QStringLiteral("rvx.crt")));
        QFile::copy(rvx::test::testKeyPath(), ws.path(QStringLiteral("rvx.key")));
        window = std::make_unique<MainWindow>();
        return window->server() && window->server()->isListening();
    }

    ~WindowFixture()
    {
        agents.clear();
        window.reset();
    }

    // A connected agent that identified itself (and reported its configuration when one is
    // given); its frames are cleared so a test sees only what its action sent, unless they
    // are kept to see what the server sent on its own at the identification.
    SimAgent* connect(const AgentSetup& setup, bool keepFrames = false)
    {
        auto agent = std::make_unique<SimAgent>();
        const QString mac = QStringLiteral("00:11:22:33:%1:%2")
                                .arg(agents.size() / 256, 2, 16, QLatin1Char('0'))
                                .arg(agents.size() % 256, 2, 16, QLatin1Char('0'));
        agent->setIdentifier(mac.toLatin1());
        if (!agent->handshake(port))
            return nullptr;
        ThinclientInfo info;
        info.loadBlock(SimAgent::deviceBlock(setup.serial, setup.client, setup.hostname, mac));
        info.setFirmwareVersion(setup.firmware);
        info.setFirmwareType(static_cast<quint8>(setup.firmwareType));
        info.setBootMode(static_cast<quint8>(setup.bootMode));
        info.setPrintServerEnabled(setup.printServer);
        info.setProtocolType(static_cast<quint8>(setup.protocolType));
        agent->identify(info.block());
        if (!setup.configuration.isEmpty())
            agent->sendConfiguration(setup.configuration, 55,
                                     ThinclientInfo::versionAtLeast(setup.client, 8, 4, 0));
        if (!agent->echo())
            return nullptr;
        if (!keepFrames)
            agent->clearFrames();
        agents.push_back(std::move(agent));
        return agents.back().get();
    }

    ThinclientInfo* record(const QString& serial) const { return window->server()->findBySerial(serial); }

    // Selects the rows of these devices in the shown department, then follows the selection
    // up as a click does (one device selected: its configuration is loaded into the store).
    void select(const QStringList& serials)
    {
        DepartmentView* view = window->shownView();
        QItemSelectionModel* model = view->view()->selectionModel();
        model->clearSelection();
        QModelIndex last;
        for (const QString& serial : serials) {
            ThinclientInfo* device = record(serial);
            if (!device || !device->item)
                continue;
            last = device->item->index();
            model->select(last, QItemSelectionModel::Select | QItemSelectionModel::Rows);
        }
        window->onTreeViewClicked(last);
        QCoreApplication::processEvents();
    }

    // The frames an agent received since its frames were last cleared, proven complete by an
    // echo (the echo itself is left out); the list is cleared again.
    static QList<SimAgent::Frame> received(SimAgent* agent)
    {
        if (!agent->echo())
            return {{0xFF, 0xFF, QByteArray("no echo"), QByteArray("no echo")}};
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

    rvx::test::Workspace ws;
    quint16 port = 0;
    std::unique_ptr<MainWindow> window;
    std::vector<std::unique_ptr<SimAgent>> agents;
};
