// The agent-driven file transfer: an agent reads a server file (types 9, 11, 10) or writes
// one (types 22, 23, 10), one file at a time, within the folders the transfer rules allow.

#include "filetransfer.h"
#include "rvxdb.h"
#include "sending.h"
#include "settingskeys.h"
#include "sslserver_p.h"
#include "thinclientinfo.h"
#include "wire.h"

#include <QDir>
#include <QFile>
#include <QSettings>
#include <QSslSocket>

namespace {

enum Status : quint8
{
    Ok = 0,
    Busy = 1,
    NoSuchFile = 2,
    CannotOpen = 3,
    EmptyRequest = 4
};

QString pathText(const QByteArray& payload, int offset)
{
    return QDir::toNativeSeparators(QString::fromLatin1(wire::cText(payload, offset)));
}

bool emptyRequest(const QByteArray& payload)
{
    const char b0 = payload.size() > 0 ? payload.at(0) : '\0';
    const char b1 = payload.size() > 1 ? payload.at(1) : '\0';
    return b0 == '\0' && b1 == '\0';
}

} // namespace

filetransfer::Rules SSLServer::Private::transferRules() const
{
    filetransfer::Rules rules;
    using rvx::settings::Folder;
    QSettings* settings = q->m_settings;
    auto value = [settings](Folder folder) {
        return settings ? rvx::settings::folder(*settings, folder) : QString();
    };
    // The folders that exist to serve devices, and those picked during this run.
    for (Folder folder :
         {Folder::FirmwareImages, Folder::AgentPackages, Folder::Hotfixes, Folder::Temp, Folder::DeviceFiles,
          Folder::SignageContent1, Folder::SignageContent2, Folder::SignageContent3}) {
        const QString path = value(folder);
        if (!path.isEmpty())
            rules.readRoots << path;
    }
    rules.readRoots += readFolders;
    rules.readFiles = readFiles;
    if (protectedFiles)
        rules.excludedFiles = protectedFiles();
    rules.writeRoots = writeFolders;
    rules.tempDir = value(Folder::Temp);
    // Never the device history nor the profiles, wherever the other folders lie.
    rules.excluded << q->m_db->databaseDir() << value(Folder::Database) << value(Folder::Profiles);
    rules.excluded.removeAll(QString());
    return rules;
}

void SSLServer::Private::closeTransfer(ThinclientInfo* record)
{
    if (record->transferFile) {
        record->transferFile->close();
        delete record->transferFile;
        record->transferFile = nullptr;
    }
}

bool SSLServer::Private::refuseTransferStart(ThinclientInfo* record, const QByteArray& payload)
{
    if (emptyRequest(payload)) {
        sendStatusFrame(record, EmptyRequest, QByteArray());
        return true;
    }
    if (record->transferFile) {
        sendStatusFrame(record, Busy, QByteArray());
        return true;
    }
    return false;
}

void SSLServer::Private::openForReading(ThinclientInfo* record, const QByteArray& payload)
{
    if (refuseTransferStart(record, payload))
        return;
    const QString path = pathText(payload, 1);
    const filetransfer::Resolution r = filetransfer::resolveRead(path, transferRules());
    if (r.verdict == filetransfer::Verdict::Missing ||
        (r.verdict == filetransfer::Verdict::Refused && path.isEmpty())) {
        sendStatusFrame(record, NoSuchFile, QByteArray());
        return;
    }
    if (r.verdict != filetransfer::Verdict::Allowed) {
        sendStatusFrame(record, CannotOpen, QByteArray());
        return;
    }
    QFile* file = filetransfer::openForReading(r.path);
    if (!file) {
        sendStatusFrame(record, CannotOpen, QByteArray());
        return;
    }
    record->transferFile = file;
    sendStatusFrame(record, Ok, QByteArray::number(file->size()));
}

void SSLServer::Private::readBlock(ThinclientInfo* record, const QByteArray& payload)
{
    if (!record->transferFile) {
        sendStatusFrame(record, CannotOpen, QByteArray());
        return;
    }
    wire::PayloadReader reader(payload);
    int wanted = reader.u16();
    // A request of 4096 bytes gets at most 4092, so the reply frame fits in 4096 bytes.
    if (wanted == 4096)
        wanted = 4092;
    QByteArray data(wanted, Qt::Uninitialized);
    const qint64 n = wanted > 0 ? record->transferFile->read(data.data(), wanted) : 0;
    QByteArray reply;
    reply.append(static_cast<char>(msg::number(msg::FileTransferReply)));
    if (n < 0) {
        reply.append(char(1));
        wire::appendU16(reply, 0);
    } else if (n == 0) {
        reply.append(char(2));
        wire::appendU16(reply, 0);
    } else {
        reply.append(char(0));
        wire::appendU16(reply, static_cast<quint16>(n));
        reply.append(data.constData(), static_cast<int>(n));
    }
    writeFrame(record, reply);
}

void SSLServer::Private::openForWriting(ThinclientInfo* record, quint8 code, const QByteArray& payload)
{
    if (refuseTransferStart(record, payload))
        return;
    const QString path = pathText(payload, 0);
    if (path.isEmpty()) {
        sendStatusFrame(record, EmptyRequest, QByteArray());
        return;
    }
    const filetransfer::Resolution r = filetransfer::resolveWrite(path, code, transferRules());
    QFile* file =
        r.verdict == filetransfer::Verdict::Allowed ? filetransfer::openForWriting(r.path) : nullptr;
    if (!file) {
        sendStatusFrame(record, CannotOpen, QByteArray());
        return;
    }
    record->transferFile = file;
    sendStatusFrame(record, Ok, QByteArray());
}

void SSLServer::Private::writeData(ThinclientInfo* record, const QByteArray& payload)
{
    if (!record->transferFile) {
        sendStatusFrame(record, CannotOpen, QByteArray());
        return;
    }
    const qint64 n = record->transferFile->write(payload);
    const bool ok = n == payload.size();
    // Agents from 8.1 on wait for an acknowledgement of every data message.
    if (record->clientVersionAtLeast(8, 1, 0)) {
        QByteArray ack;
        ack.append(static_cast<char>(msg::number(msg::FileTransferReply)));
        ack.append(ok ? char(0) : char(1));
        wire::appendU16(ack, ok ? static_cast<quint16>(n) : 0);
        writeFrame(record, ack);
    }
}
