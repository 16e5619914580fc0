#include "support/recording_url_handler.h"

#include <QDesktopServices>

RecordingUrlHandler::RecordingUrlHandler(const QStringList& schemes) : m_schemes(schemes) {
    for (const QString& scheme : m_schemes)
        QDesktopServices::setUrlHandler(scheme, this, "open");
}

RecordingUrlHandler::~RecordingUrlHandler() {
    for (const QString& scheme : m_schemes)
        QDesktopServices::unsetUrlHandler(scheme);
}
