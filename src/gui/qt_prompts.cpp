#include "gui/qt_prompts.h"

#include <QApplication>
#include <QGuiApplication>
#include <QMessageBox>
#include <QSplashScreen>
#include <QString>

namespace {

QString boxText(std::string_view text) {
    QString s = QString::fromUtf8(text.data(), qsizetype(text.size()));
    s.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    s.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return s;
}

QMessageBox::Icon iconOf(PromptKind kind) {
    switch (kind) {
        case PromptKind::Error:
            return QMessageBox::Critical;
        case PromptKind::Warning:
            return QMessageBox::Warning;
        case PromptKind::Information:
            return QMessageBox::Information;
        case PromptKind::Confirmation:
            return QMessageBox::Question;
    }
    return QMessageBox::NoIcon;
}

QMessageBox::StandardButtons buttonsOf(PromptButtons buttons) {
    switch (buttons) {
        case PromptButtons::Ok:
            return QMessageBox::Ok;
        case PromptButtons::YesNo:
            return QMessageBox::Yes | QMessageBox::No;
        case PromptButtons::YesNoCancel:
            return QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
    }
    return QMessageBox::Ok;
}

}  // namespace

PromptAnswer QtPrompts::show(PromptKind kind, PromptButtons buttons, std::string_view text,
                             std::string_view caption) {
    QWidget* parent = m_parent ? m_parent.data() : QApplication::activeWindow();
    const QString title =
        caption.empty()
            ? QString::fromUtf8(kApplicationTitle.data(), qsizetype(kApplicationTitle.size()))
            : QString::fromUtf8(caption.data(), qsizetype(caption.size()));
    QMessageBox box(iconOf(kind), title, boxText(text), buttonsOf(buttons), parent);
    if (buttons == PromptButtons::YesNoCancel)
        box.setEscapeButton(QMessageBox::Cancel);
    else if (buttons == PromptButtons::YesNo)
        box.setEscapeButton(QMessageBox::No);
    // A splash window stays above everything: a box shown while it is up (at the start, say)
    // would be hidden behind it.
    for (QWidget* top : QApplication::topLevelWidgets())
        if (auto* splash = qobject_cast<QSplashScreen*>(top); splash && splash->isVisible())
            splash->close();
    QGuiApplication::setOverrideCursor(Qt::ArrowCursor);
    const int chosen = box.exec();
    QGuiApplication::restoreOverrideCursor();
    switch (chosen) {
        case QMessageBox::Yes:
            return PromptAnswer::Yes;
        case QMessageBox::No:
            return PromptAnswer::No;
        case QMessageBox::Cancel:
            return PromptAnswer::Cancel;
        default:
            return buttons == PromptButtons::Ok      ? PromptAnswer::Ok
                   : buttons == PromptButtons::YesNo ? PromptAnswer::No
                                                     : PromptAnswer::Cancel;
    }
}
