#pragma once

#include <QSslConfiguration>
#include <QString>
#include <QTemporaryDir>

// A certificate authority of its own, made with the openssl command in a temporary folder, and
// server certificates it signs: the certificates a TLS server on loopback shows.
class TestCertificates {
public:
    // Throws std::runtime_error when openssl fails.
    TestCertificates();

    // The PEM file of the authority, for a client to trust.
    QString caFile() const;
    // The server side of TLS with a certificate for subjectAltName, as openssl writes it
    // ("DNS:other.invalid", "IP:127.0.0.1"), signed by the authority.
    QSslConfiguration serverFor(const QString& subjectAltName);

private:
    QString path(const QString& name) const;
    void openssl(const QStringList& args) const;

    QTemporaryDir m_dir;
    int m_issued = 0;
};
