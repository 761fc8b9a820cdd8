#include "certificates.h"

#include "savefile.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <openssl/bio.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/rsa.h>
#include <openssl/x509.h>

#include <memory>

namespace {

template <typename T, void (*Free)(T*)>
struct Deleter
{
    void operator()(T* p) const { Free(p); }
};

using PKeyPtr = std::unique_ptr<EVP_PKEY, Deleter<EVP_PKEY, EVP_PKEY_free>>;
using X509Ptr = std::unique_ptr<X509, Deleter<X509, X509_free>>;
using BioPtr = std::unique_ptr<BIO, Deleter<BIO, BIO_free_all>>;

QByteArray bioContents(BIO* bio)
{
    char* data = nullptr;
    const long length = BIO_get_mem_data(bio, &data);
    return QByteArray(data, static_cast<int>(length));
}

bool writeFile(const QString& path, const QByteArray& contents, bool ownerOnly)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    if (ownerOnly)
        file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    return rvx::writeAndCommit(file, contents);
}

bool fail(QString* error, const QString& text)
{
    if (error)
        *error = text;
    return false;
}

} // namespace

bool generateSelfSignedCertificate(const QString& certificatePath, const QString& keyPath,
                                   const QString& commonName, QString* error)
{
    PKeyPtr key(EVP_RSA_gen(2048));
    if (!key)
        return fail(error, QStringLiteral("RSA key generation failed"));

    X509Ptr cert(X509_new());
    if (!cert)
        return fail(error, QStringLiteral("certificate allocation failed"));
    X509_set_version(cert.get(), 2);
    ASN1_INTEGER_set(X509_get_serialNumber(cert.get()),
                     static_cast<long>(QDateTime::currentSecsSinceEpoch()));
    X509_gmtime_adj(X509_getm_notBefore(cert.get()), -3600);
    X509_gmtime_adj(X509_getm_notAfter(cert.get()), 10L * 365 * 24 * 3600);
    X509_set_pubkey(cert.get(), key.get());
    X509_NAME* name = X509_get_subject_name(cert.get());
    const QByteArray cn = commonName.toUtf8();
    X509_NAME_add_entry_by_txt(name, "O", MBSTRING_ASC, reinterpret_cast<const unsigned char*>("Orbenium"),
                               -1, -1, 0);
    X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_UTF8,
                               reinterpret_cast<const unsigned char*>(cn.constData()), -1, -1, 0);
    X509_set_issuer_name(cert.get(), name);
    if (X509_sign(cert.get(), key.get(), EVP_sha256()) == 0)
        return fail(error, QStringLiteral("certificate signing failed"));

    BioPtr keyBio(BIO_new(BIO_s_mem()));
    BioPtr certBio(BIO_new(BIO_s_mem()));
    if (!keyBio || !certBio ||
        PEM_write_bio_PrivateKey(keyBio.get(), key.get(), nullptr, nullptr, 0, nullptr, nullptr) != 1 ||
        PEM_write_bio_X509(certBio.get(), cert.get()) != 1)
        return fail(error, QStringLiteral("PEM encoding failed"));

    QDir().mkpath(QFileInfo(keyPath).absolutePath());
    QDir().mkpath(QFileInfo(certificatePath).absolutePath());
    if (!writeFile(keyPath, bioContents(keyBio.get()), true))
        return fail(error, QStringLiteral("cannot write ") + QDir::toNativeSeparators(keyPath));
    if (!writeFile(certificatePath, bioContents(certBio.get()), false))
        return fail(error, QStringLiteral("cannot write ") + QDir::toNativeSeparators(certificatePath));
    return true;
}

CertificateFiles locateCertificate(const QString& applicationDir, const QString& workingDir)
{
    CertificateFiles files;
    const QDir appDir(applicationDir);
    if (QFileInfo::exists(appDir.filePath(QStringLiteral("rvx.crt"))) &&
        QFileInfo::exists(appDir.filePath(QStringLiteral("rvx.key")))) {
        files.certificatePath = appDir.filePath(QStringLiteral("rvx.crt"));
        files.keyPath = appDir.filePath(QStringLiteral("rvx.key"));
        files.ok = true;
        return files;
    }
    const QDir work(workingDir);
    files.certificatePath = work.filePath(QStringLiteral("rvx.crt"));
    files.keyPath = work.filePath(QStringLiteral("rvx.key"));
    if (QFileInfo::exists(files.certificatePath) && QFileInfo::exists(files.keyPath)) {
        files.ok = true;
        return files;
    }
    files.ok = generateSelfSignedCertificate(files.certificatePath, files.keyPath,
                                             QStringLiteral("RVX server"), &files.error);
    files.generated = files.ok;
    return files;
}
