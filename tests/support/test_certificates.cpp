#include "support/test_certificates.h"

#include <QFile>
#include <QProcess>
#include <QSslCertificate>
#include <QSslKey>
#include <QSslSocket>

#include <stdexcept>

namespace {

// Small and quick to make; the certificates live only as long as the test.
const QStringList kNewKey = {
    QStringLiteral("-newkey"), QStringLiteral("ec"), QStringLiteral("-pkeyopt"),
    QStringLiteral("ec_paramgen_curve:prime256v1"), QStringLiteral("-nodes")};
const QStringList kValidity = {QStringLiteral("-days"), QStringLiteral("2")};

QByteArray readAll(const QString& file) {
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly))
        throw std::runtime_error("cannot read " + file.toStdString());
    return f.readAll();
}

}  // namespace

TestCertificates::TestCertificates() {
    if (!m_dir.isValid())
        throw std::runtime_error("cannot make a temporary folder for certificates");
    openssl(QStringList{QStringLiteral("req"), QStringLiteral("-x509")} + kNewKey + kValidity +
            QStringList{QStringLiteral("-subj"), QStringLiteral("/CN=Kavrin32 Loopback Test CA"),
                        QStringLiteral("-keyout"), path(QStringLiteral("ca.key")),
                        QStringLiteral("-out"), caFile(), QStringLiteral("-addext"),
                        QStringLiteral("basicConstraints=critical,CA:TRUE"),
                        QStringLiteral("-addext"),
                        QStringLiteral("keyUsage=critical,keyCertSign,cRLSign")});
}

QString TestCertificates::caFile() const {
    return path(QStringLiteral("ca.pem"));
}

QSslConfiguration TestCertificates::serverFor(const QString& subjectAltName) {
    const QString name = QStringLiteral("server%1").arg(++m_issued);
    const QString key = path(name + QStringLiteral(".key"));
    const QString request = path(name + QStringLiteral(".csr"));
    const QString extensions = path(name + QStringLiteral(".ext"));
    const QString certificate = path(name + QStringLiteral(".pem"));
    openssl(QStringList{QStringLiteral("req")} + kNewKey +
            QStringList{QStringLiteral("-subj"), QStringLiteral("/CN=") + name,
                        QStringLiteral("-keyout"), key, QStringLiteral("-out"), request});
    QFile ext(extensions);
    if (!ext.open(QIODevice::WriteOnly) ||
        ext.write("subjectAltName=" + subjectAltName.toUtf8() +
                  "\nbasicConstraints=CA:FALSE\nextendedKeyUsage=serverAuth\n") < 0)
        throw std::runtime_error("cannot write " + extensions.toStdString());
    ext.close();
    openssl(QStringList{QStringLiteral("x509"), QStringLiteral("-req"), QStringLiteral("-in"),
                        request, QStringLiteral("-CA"), caFile(), QStringLiteral("-CAkey"),
                        path(QStringLiteral("ca.key")), QStringLiteral("-CAcreateserial"),
                        QStringLiteral("-extfile"), extensions, QStringLiteral("-out"),
                        certificate} +
            kValidity);

    const QSslCertificate shown(readAll(certificate), QSsl::Pem);
    const QSslKey privateKey(readAll(key), QSsl::Ec, QSsl::Pem);
    if (shown.isNull() || privateKey.isNull())
        throw std::runtime_error("openssl made a certificate or key Qt cannot read");
    QSslConfiguration conf = QSslConfiguration::defaultConfiguration();
    conf.setLocalCertificate(shown);
    conf.setPrivateKey(privateKey);
    conf.setPeerVerifyMode(QSslSocket::VerifyNone);  // no client certificates
    return conf;
}

QString TestCertificates::path(const QString& name) const {
    return m_dir.filePath(name);
}

void TestCertificates::openssl(const QStringList& args) const {
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(QStringLiteral("openssl"), args);
    if (!process.waitForFinished(30000) || process.exitStatus() != QProcess::NormalExit ||
        process.exitCode() != 0)
        throw std::runtime_error("openssl " + args.first().toStdString() +
                                 " failed: " + process.readAll().toStdString());
}
