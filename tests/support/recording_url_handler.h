#pragma once

#include <QList>
#include <QObject>
#include <QStringList>
#include <QUrl>

// Takes the place of the desktop's browser and mail program while it lives: every address the
// program opens with QDesktopServices (web, mail, files) is recorded instead of opened.
class RecordingUrlHandler : public QObject {
    Q_OBJECT

public:
    explicit RecordingUrlHandler(const QStringList& schemes = {
                                     QStringLiteral("http"), QStringLiteral("https"),
                                     QStringLiteral("mailto"), QStringLiteral("file")});
    ~RecordingUrlHandler() override;

    const QList<QUrl>& opened() const { return m_opened; }
    void clear() { m_opened.clear(); }

public slots:
    void open(const QUrl& url) { m_opened.append(url); }

private:
    QStringList m_schemes;
    QList<QUrl> m_opened;
};
