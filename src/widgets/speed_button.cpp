#include "widgets/speed_button.h"

#include <QEnterEvent>
#include <QIcon>

TMySpeedButton::TMySpeedButton(QWidget* parent) : QToolButton(parent) {
    setAutoRaise(true);
    setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
}

void TMySpeedButton::enterEvent(QEnterEvent* event) {
    emit OnMouseEnter();
    QToolButton::enterEvent(event);
}

void TMySpeedButton::leaveEvent(QEvent* event) {
    emit OnMouseLeave();
    QToolButton::leaveEvent(event);
}

THoverPictures::THoverPictures(const QList<QPixmap>& imgButtons, QObject* parent)
    : QObject(parent), m_images(imgButtons) {}

void THoverPictures::Attach(TMySpeedButton* button) {
    // The normal picture from the start, so a button attached while disabled has one too.
    const qsizetype index = button->Tag();
    if (index >= 0 && index < m_images.size())
        button->setIcon(QIcon(m_images.at(index)));
    connect(button, &TMySpeedButton::OnMouseEnter, this, [this, button] { btnMouseEnter(button); });
    connect(button, &TMySpeedButton::OnMouseLeave, this, [this, button] { btnMouseLeave(button); });
}

void THoverPictures::btnMouseEnter(QObject* Sender) {
    show(Sender, 1);
}

void THoverPictures::btnMouseLeave(QObject* Sender) {
    show(Sender, 0);
}

void THoverPictures::show(QObject* sender, int offset) {
    auto* button = qobject_cast<TMySpeedButton*>(sender);
    if (!button || !button->isEnabled())
        return;
    const qsizetype index = qsizetype(button->Tag()) + offset;
    // A Tag past the end of the image list leaves the picture alone.
    if (index < 0 || index >= m_images.size())
        return;
    button->setIcon(QIcon(m_images.at(index)));
}
