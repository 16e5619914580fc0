#include "gui/contact.h"

#include <QDesktopServices>
#include <QUrl>

namespace {

void openAddress(const QUrl& url, const QString& failure, UserPrompts& prompts) {
    if (url.isEmpty() || QDesktopServices::openUrl(url))
        return;
    prompts.warning(failure.toStdString());
}

}  // namespace

QString webAddress() {
    return QStringLiteral(KAVRIN32_WEB_ADDRESS);
}

QString mailAddress() {
    return QStringLiteral(KAVRIN32_MAIL_ADDRESS);
}

void openWebAddress(UserPrompts& prompts) {
    const QString address = webAddress();
    openAddress(QUrl::fromUserInput(address),
                QStringLiteral("No web browser is set up to open %1.").arg(address), prompts);
}

void openMailAddress(UserPrompts& prompts) {
    const QString address = mailAddress();
    const QUrl url = address.isEmpty() ? QUrl() : QUrl(QStringLiteral("mailto:") + address);
    openAddress(url, QStringLiteral("No mail program is set up to write to %1.").arg(address),
                prompts);
}
