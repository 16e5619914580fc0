#include "gui/about_dialog.h"

#include "gui/button_pictures.h"
#include "gui/contact.h"
#include "gui/help_window.h"
#include "gui/program_pictures.h"
#include "ui_about_dialog.h"
#include "widgets/speed_button.h"
#include "widgets/version_label.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPalette>

namespace {

const QColor kNavy(0x00, 0x00, 0x80);
const QColor kPale(0xe8, 0xec, 0xfa);
const QColor kAmber(0xff, 0xd1, 0x66);

QString linkText(const QString& address) {
    return QStringLiteral("<a href=\"open\" style=\"color:%1\">%2</a>")
        .arg(kAmber.name(), address.toHtmlEscaped());
}

void showAddress(QLabel* label, const QString& address, const QString& what) {
    label->setVisible(!address.isEmpty());
    label->setText(linkText(address));
    label->setAccessibleName(address);
    label->setAccessibleDescription(what);
    label->setToolTip(what);
}

}  // namespace

TfrmAbout::TfrmAbout(GuiContext& context, QWidget* parent)
    : QDialog(parent), m_context(context), m_ui(std::make_unique<Ui::TfrmAbout>()) {
    m_ui->setupUi(this);
    setWindowFlags(Qt::Tool | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                   Qt::WindowStaysOnTopHint);

    QPalette navy = palette();
    for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive}) {
        navy.setColor(group, QPalette::Window, kNavy);
        navy.setColor(group, QPalette::Button, kNavy);
        navy.setColor(group, QPalette::WindowText, kPale);
        navy.setColor(group, QPalette::ButtonText, kPale);
        navy.setColor(group, QPalette::Text, kPale);
        navy.setColor(group, QPalette::Link, kAmber);
    }
    setPalette(navy);
    setAutoFillBackground(true);

    const qreal ratio = screenPixelRatio();
    const QString web = webAddress();
    m_ui->imgProgram->setPixmap(aboutPicture(ratio));
    m_ui->imgProgram->setAccessibleName(QStringLiteral("Kavrin/32"));
    if (web.isEmpty()) {
        m_ui->imgProgram->unsetCursor();
    } else {
        m_ui->imgProgram->setToolTip(web);
        m_ui->imgProgram->installEventFilter(this);
    }

    QFont big = m_ui->lblProgramName->font();
    big.setBold(true);
    big.setPointSizeF(big.pointSizeF() * 2);
    m_ui->lblProgramName->setFont(big);

    m_ui->lblVersion->SetVersionResource(vrFileVersion);
    m_ui->lblVersion->SetInfoPrefix(QStringLiteral("Version"));
    m_ui->lblCopyright->SetVersionResource(vrLegalCopyright);
    m_ui->lblCopyright->SetShowInfoPrefix(false);

    showAddress(m_ui->lblHTTP, web, QStringLiteral("Opens the web site"));
    showAddress(m_ui->lblSMTP, mailAddress(), QStringLiteral("Writes a mail"));
    connect(m_ui->lblHTTP, &QLabel::linkActivated, this, &TfrmAbout::lblHTTPClick);
    connect(m_ui->lblSMTP, &QLabel::linkActivated, this, &TfrmAbout::lblSMTPClick);

    // The button's glyph in light colours, which the navy needs.
    m_hover = new THoverPictures({glyphPicture(QStringLiteral("ok"), 16, kPale, ratio),
                                  glyphPicture(QStringLiteral("ok"), 16, kAmber, ratio)},
                                 this);
    m_ui->btnOK->SetTag(0);
    m_hover->Attach(m_ui->btnOK);
    m_ui->btnOK->setFocusPolicy(Qt::StrongFocus);
    connect(m_ui->btnOK, &QToolButton::clicked, this, &TfrmAbout::btnOKClick);
    m_ui->btnOK->setFocus();
    installHelpKey(this, HelpPage::About);
}

TfrmAbout::~TfrmAbout() = default;

bool TfrmAbout::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_ui->imgProgram && event->type() == QEvent::MouseButtonRelease) {
        auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() == Qt::LeftButton &&
            m_ui->imgProgram->rect().contains(mouse->position().toPoint())) {
            imgProgramClick();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void TfrmAbout::keyPressEvent(QKeyEvent* event) {
    // The button is a flat tool button, which a dialog's Enter does not reach by itself.
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        m_ui->btnOK->click();
        return;
    }
    QDialog::keyPressEvent(event);
}

void TfrmAbout::imgProgramClick() {
    openWebAddress(m_context.prompts);
}

void TfrmAbout::lblHTTPClick() {
    openWebAddress(m_context.prompts);
}

void TfrmAbout::lblSMTPClick() {
    openMailAddress(m_context.prompts);
}

void TfrmAbout::btnOKClick() {
    accept();
}
