#include "install.h"

#include "commands.h"
#include "messages.h"
#include "wire.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>

namespace upgrade {

namespace {

struct KindRow
{
    const char* comboText;
    const char* browseTitle;
};
const KindRow Kinds[DialogKindCount] = {
    {"CA Certificate (.cer/.crt)", "Select CA certificate"},
    {"Printer Description File (.ppd)", "Select PPD file"},
    {"SSH Public Key (.pub)", "Select SSH key"},
    {"Wallpaper Image (.png/.jpg)", "Select PNG/JPG image"},
    {"Certificate Bundle (.pfx/.p12)", "Select PFX bundle"},
    {"HTML Bookmarks File", "Select bookmarks file"},
    {"OpenVPN Configuration File (.ovpn)", "Select OVPN file"},
};

// Longest text an lp-string can carry (its count is the length plus one).
constexpr int LpTextMax = 0xFFFE;
constexpr qint64 ReadPiece = 1024 * 1024;

const QString MissingData = QStringLiteral("Missing Data");
const QString InvalidFile = QStringLiteral("Invalid File");
const QString InstallTitle = QStringLiteral("Install File on Device");

bool isKind(int kind)
{
    return kind >= 1 && kind <= DialogKindCount;
}

// Whether the file holds every one of the OpenVPN sections, read piece by piece so a large
// file costs no more memory than a piece.
bool hasOpenVpnParts(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QByteArray needles[] = {QByteArrayLiteral("<ca>"), QByteArrayLiteral("<cert>"),
                                  QByteArrayLiteral("<key>")};
    bool found[3] = {false, false, false};
    QByteArray carry;
    while (!file.atEnd()) {
        const QByteArray piece = file.read(ReadPiece);
        if (piece.isEmpty())
            break;
        const QByteArray window = carry + piece;
        bool all = true;
        for (int i = 0; i < 3; ++i) {
            found[i] = found[i] || window.contains(needles[i]);
            all = all && found[i];
        }
        if (all)
            return true;
        carry = window.right(5); // shorter than the longest needle
    }
    return false;
}

QString fileNameOf(const QString& path)
{
    return QFileInfo(QDir::fromNativeSeparators(path)).fileName();
}

// The file-system refusals, shared by the dialog and the preparation after it.
std::optional<Box> fileRefusal(const QString& path)
{
    const QFileInfo info(path);
    if (!info.exists())
        return critical(InvalidFile, QStringLiteral("\n") + path + QStringLiteral(" does not exist!"));
    if (info.isSymLink() || !info.isFile())
        return critical(InvalidFile,
                        QStringLiteral("\n") + path + QStringLiteral(" is not an ordinary file."));
    if (info.size() == 0)
        return critical(InvalidFile,
                        QStringLiteral("\n") + path + QStringLiteral(" does not contain any data."));
    if (info.size() > MaxInstallSize) {
        return critical(InvalidFile,
                        QStringLiteral("\n") + path + QStringLiteral(" is too large (max 4 GB allowed)."));
    }
    return std::nullopt;
}

Box openErrorBox(const QString& path)
{
    return critical(InstallTitle, QStringLiteral("Error opening file:\n\n") + QDir::toNativeSeparators(path));
}

Box readErrorBox(const QString& path)
{
    return critical(InstallTitle,
                    QStringLiteral("Error reading from file:\n\n") + QDir::toNativeSeparators(path));
}

} // namespace

QString kindComboText(int kind)
{
    return isKind(kind) ? QString::fromLatin1(Kinds[kind - 1].comboText) : QString();
}

QString kindBrowseTitle(int kind)
{
    return isKind(kind) ? QString::fromLatin1(Kinds[kind - 1].browseTitle) : QString();
}

bool validInstallName(const QString& name)
{
    if (name.isEmpty())
        return false;
    for (const QChar c : name) {
        const ushort u = c.unicode();
        const bool letter = (u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z');
        const bool digit = u >= '0' && u <= '9';
        if (!letter && !digit && u != '_' && u != '.' && u != ',' && u != '-' && u != ':')
            return false;
    }
    return true;
}

std::optional<Box> installRefusal(const InstallInput& input, bool openVpnConfirmed)
{
    if (!isKind(input.kind))
        return critical(MissingData, QStringLiteral("\nPlease select an installation type!"));
    if (input.kind == int(FileKind::CertificateBundle)) {
        if (input.password.isEmpty())
            return critical(MissingData,
                            QStringLiteral("\nYou must enter a password for decrypting the file."));
        // The password must reach the device unchanged, or the bundle cannot be opened.
        if (!commands::isLatin1(input.password) || input.password.contains(QChar(0))) {
            return critical(
                QStringLiteral("Invalid Password"),
                QStringLiteral("\nThe password may only contain characters of the Latin-1 (Western "
                               "European) character set."));
        }
        if (input.password.size() > LpTextMax)
            return critical(QStringLiteral("Invalid Password"),
                            QStringLiteral("\nThe password is too long."));
    }
    if (input.path.isEmpty())
        return critical(MissingData, QStringLiteral("\nPlease select a file to install on device."));
    if (auto box = fileRefusal(input.path))
        return box;
    if (input.kind == int(FileKind::OpenVpn) && !openVpnConfirmed && !hasOpenVpnParts(input.path)) {
        return question(
            QStringLiteral("Missing Certificates and Keys"),
            QStringLiteral("\n") + input.path +
                QStringLiteral(" does not contain a CA certificate, a client certificate, and a "
                               "private key.  It doesn't seem likely that this will work.\n\nInstall "
                               "file anyway?"),
            false);
    }
    const QString name = fileNameOf(input.path);
    if (!validInstallName(name)) {
        return critical(QStringLiteral("Invalid Filename"),
                        QStringLiteral("\nThe filename ") + name +
                            QStringLiteral(" is invalid. It may contain only ASCII letters and numbers, "
                                           "underscore, period, comma, hyphen and colon."));
    }
    return std::nullopt;
}

std::optional<QByteArray> installFileHead(int kind, const QString& name, const QString& password, qint64 size)
{
    if (kind < 1 || kind > 0xFF || !validInstallName(name) || size < 0 || size > MaxInstallSize)
        return std::nullopt;
    QByteArray fields;
    fields.append(static_cast<char>(kind));
    if (kind == int(FileKind::CertificateBundle)) {
        if (!commands::isLatin1(password) || password.contains(QChar(0)) || password.size() > LpTextMax)
            return std::nullopt;
        fields += wire::lpString(password.toLatin1());
    }
    fields += wire::lpString(name.toLatin1());
    wire::appendU32(fields, static_cast<quint32>(size));
    const quint64 length = quint64(fields.size()) + quint64(size);
    if (length > 0xFFFFFFFFull)
        return std::nullopt;
    return wire::frameHeader(msg::Type::InstallFile, 1, static_cast<quint32>(length)) + fields;
}

QByteArray normaliseSshKey(const QByteArray& key)
{
    QByteArray out = key;
    out.replace('\r', QByteArray());
    if (!out.endsWith('\n'))
        out.append('\n');
    return out;
}

InstallPreparation prepareInstall(const InstallInput& input, const QString& tempFolder)
{
    InstallPreparation result;
    if (auto box = installRefusal(input, true)) {
        result.box = box;
        return result;
    }
    InstallPlan plan;
    if (input.kind == int(FileKind::SshPublicKey)) {
        QFile source(input.path);
        if (!source.open(QIODevice::ReadOnly)) {
            result.box = openErrorBox(input.path);
            return result;
        }
        // A public key is a line or two; anything that does not fit a piece is no key.
        const QByteArray key = source.read(ReadPiece);
        if (key.isEmpty() || !source.atEnd()) {
            result.box = readErrorBox(input.path);
            return result;
        }
        auto temporary =
            std::make_shared<QTemporaryFile>(QDir(tempFolder.isEmpty() ? QDir::tempPath() : tempFolder)
                                                 .filePath(QStringLiteral("sshkey_XXXXXX.pub")));
        const QByteArray normalised = normaliseSshKey(key);
        if (!temporary->open() || temporary->write(normalised) != normalised.size() || !temporary->flush()) {
            result.box = critical(InstallTitle, QStringLiteral("Error writing temporary file:\n\n") +
                                                    QDir::toNativeSeparators(temporary->fileName()));
            return result;
        }
        temporary->close();
        plan.bodyPath = temporary->fileName();
        plan.name = QFileInfo(plan.bodyPath).fileName();
        plan.size = normalised.size();
        plan.keepAlive = temporary;
        const auto head = installFileHead(input.kind, plan.name, QString(), plan.size);
        if (!head) {
            result.box = readErrorBox(input.path);
            return result;
        }
        plan.head = *head;
    } else {
        QFile source(input.path);
        if (!source.open(QIODevice::ReadOnly)) {
            result.box = openErrorBox(input.path);
            return result;
        }
        plan.bodyPath = QFileInfo(input.path).absoluteFilePath();
        plan.name = fileNameOf(input.path);
        plan.size = source.size();
        const QString password = input.kind == int(FileKind::CertificateBundle) ? input.password : QString();
        const auto head = installFileHead(input.kind, plan.name, password, plan.size);
        if (!head) {
            result.box = readErrorBox(input.path);
            return result;
        }
        plan.head = *head;
    }
    result.plan = plan;
    return result;
}

// ---- Raspberry Pi configuration ------------------------------------------------------------------

QString piConfigTitle()
{
    return QStringLiteral("Edit Raspberry Pi Configuration");
}

Box notRaspberryPiBox()
{
    return critical(piConfigTitle(), QStringLiteral("This device is not a Raspberry Pi."));
}

Box piConfigWarning()
{
    return question(
        piConfigTitle(),
        QStringLiteral("RVX has no way to determine whether or not this configuration is valid.  If "
                       "you have made a mistake in the configuration, there is a risk that the Pi may "
                       "fail to boot and require the SD card to be re-imaged.\n\nDo you wish to "
                       "proceed with writing the new configuration?"),
        true);
}

std::optional<Box> piConfigTextBox(const QString& text)
{
    if (commands::isLatin1(text))
        return std::nullopt;
    return critical(piConfigTitle(), QStringLiteral("\nThe configuration may only contain characters of the "
                                                    "Latin-1 (Western European) character set."));
}

std::optional<QByteArray> piConfigInstallMessage(const QString& text)
{
    if (!commands::isLatin1(text))
        return std::nullopt;
    const QByteArray body = text.toLatin1();
    const auto head =
        installFileHead(int(FileKind::PiConfig), QStringLiteral("config.txt"), QString(), body.size());
    if (!head)
        return std::nullopt;
    return *head + body;
}

QString piConfigSentence(const QString& serial)
{
    return QStringLiteral("installed modified config.txt on ") + serial;
}

// ---- log retrieval ---------------------------------------------------------------------------------

Box restartSessionQuestion()
{
    return question(
        QStringLiteral("Terminate Current Session"),
        QStringLiteral("\nThe RVX agent is not permitted to send files that have not been sanitised "
                       "(i.e. purged of clear-text passwords), and for application logs this can only "
                       "occur after the application has exited.\n\nDo you wish to forcibly restart the "
                       "active session on the device(s) before retrieving log files?"),
        true);
}

QString logFolderChooserTitle()
{
    return QStringLiteral("Destination Folder For Log Files");
}

std::optional<Box> logFolderBox(const QString& folder)
{
    const QString title = QStringLiteral("Get Log Files");
    if (!commands::isLatin1(folder) || folder.contains(QChar(0))) {
        return critical(title,
                        QStringLiteral("\nThe folder\n\n") + QDir::toNativeSeparators(folder) +
                            QStringLiteral("\n\nholds characters outside the Latin-1 (Western European) "
                                           "character set, which devices cannot write to. Please choose "
                                           "another folder."));
    }
    if (!QFileInfo(folder).isDir()) {
        return critical(title, QStringLiteral("\nThe folder\n\n") + QDir::toNativeSeparators(folder) +
                                   QStringLiteral("\n\ndoes not exist."));
    }
    return std::nullopt;
}

std::optional<QByteArray> logRetrievalMessage(const QString& folder)
{
    if (folder.isEmpty() || !commands::isLatin1(folder) || folder.contains(QChar(0)) ||
        folder.size() > LpTextMax)
        return std::nullopt;
    const QByteArray message =
        wire::frame(msg::Type::LogRetrieval, 1, wire::lpString(QDir::toNativeSeparators(folder).toLatin1()));
    if (message.isEmpty())
        return std::nullopt;
    return message;
}

} // namespace upgrade
