#pragma once

// Files installed on devices, the boot configuration of Raspberry Pi devices, and the
// retrieval of device logs.
//
// An installed file travels in one message of type 38 with a 32-bit length: the kind, for a
// certificate bundle the password that decrypts it, the destination name, the size, then the
// file's bytes. The rules here build the head of that message (everything before the file's
// bytes); the connection's writer streams the body behind it, so a file of gigabytes never
// sits in memory.

#include "box.h"

#include <QByteArray>
#include <QString>

#include <memory>
#include <optional>

namespace upgrade {

enum class FileKind : quint8
{
    CaCertificate = 1,
    PrinterDescription = 2,
    SshPublicKey = 3,
    Wallpaper = 4,
    CertificateBundle = 5,
    Bookmarks = 6,
    OpenVpn = 7,
    PiConfig = 10, // a Raspberry Pi's config.txt; not offered in the dialog
};
// The kinds of the dialog are codes 1 to 7, in that order.
constexpr int DialogKindCount = 7;
// The dialog's entry and the title of its file chooser for a code 1 to 7 (empty otherwise).
QString kindComboText(int kind);
QString kindBrowseTitle(int kind);

constexpr qint64 MaxInstallSize = 4000000000LL;

// A destination name may hold only ASCII letters and digits, "_", ".", ",", "-" and ":".
bool validInstallName(const QString& name);

struct InstallInput
{
    int kind = 0;
    QString path;
    QString password; // kind 5 only
};

// The first refusal of the dialog's OK, in the order the administrator meets them: a
// certificate bundle without (or with an unusable) password, no path, a missing file, a
// folder or link, an empty or too large file, an OpenVPN file without its certificates and
// key (a question: go on only after Yes, then call again with openVpnConfirmed), an invalid
// file name. None when the input may be installed.
std::optional<Box> installRefusal(const InstallInput& input, bool openVpnConfirmed);

// The head of the install-file message: type 38, code 1, the 32-bit length of everything
// after the first 6 bytes (the body included), the kind byte, for kind 5 the password, the
// name (lp-strings) and the 32-bit size. Nothing when the name is invalid, a text is not
// Latin-1 or too long for its lp-string, or the size is above the limit.
std::optional<QByteArray> installFileHead(int kind, const QString& name, const QString& password,
                                          qint64 size);

// An SSH public key without carriage returns and ending with exactly the line feeds it had,
// plus one when it had none at the end.
QByteArray normaliseSshKey(const QByteArray& key);

// What the window streams to each selected device.
struct InstallPlan
{
    QByteArray head;  // frame up to the body
    QString bodyPath; // the file whose bytes follow
    qint64 size = 0;  // bytes of the body
    QString name;     // destination name (for the audit trail)
    // Holds the normalised SSH key's temporary file: pass it to every stream, so it lives
    // until the last one has ended.
    std::shared_ptr<void> keepAlive;
};
struct InstallPreparation
{
    std::optional<InstallPlan> plan;
    std::optional<Box> box; // why nothing can be sent
};
// Prepares an accepted dialog's choice. An SSH key is normalised into a new temporary file in
// tempFolder and installed under that file's own name with no password; other kinds under
// their own name, the password only for kind 5. The file is measured again here: one that
// went away, cannot be read, or changed to an unusable size is refused with its box.
InstallPreparation prepareInstall(const InstallInput& input, const QString& tempFolder);

// ---- Raspberry Pi configuration -------------------------------------------------------------

QString piConfigTitle(); // "Edit Raspberry Pi Configuration"
Box notRaspberryPiBox();
// The Yes/No question (default Yes) before the edited text is written back.
Box piConfigWarning();
// The edited text must be Latin-1 (it is sent byte for byte); the box when it is not.
std::optional<Box> piConfigTextBox(const QString& text);
// A complete install-file message of kind 10 named "config.txt" with the text as its body.
// Nothing when the text is not Latin-1.
std::optional<QByteArray> piConfigInstallMessage(const QString& text);
QString piConfigSentence(const QString& serial);

// ---- log retrieval --------------------------------------------------------------------------

// The Yes/No question (default Yes) whether to restart the active session first.
Box restartSessionQuestion();
QString logFolderChooserTitle(); // "Destination Folder For Log Files"
// The folder is sent to the devices, which write their logs into it: the box when it cannot
// be (not Latin-1, or not an existing folder).
std::optional<Box> logFolderBox(const QString& folder);
// Type 21, code 1: the folder (native separators) as an lp-string. Nothing when not Latin-1.
std::optional<QByteArray> logRetrievalMessage(const QString& folder);

} // namespace upgrade
