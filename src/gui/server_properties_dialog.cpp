#include "gui/server_properties_dialog.h"

#include "ui_server_properties_dialog.h"

#include "gui/form_helpers.h"
#include "gui/help_window.h"
#include "model/server_storage.h"
#include "posting/progress_log.h"

#include <QFocusEvent>
#include <QLineEdit>
#include <QSignalBlocker>
#include <QSslCertificate>

#include <filesystem>

namespace {

constexpr int kDefaultPort = 119;
constexpr int kDefaultTlsPort = 563;
constexpr int kMaxPort = 32767;

std::string toStd(const QString& s) {
    return s.toStdString();
}

QString fromStd(const std::string& s) {
    return QString::fromStdString(s);
}

}  // namespace

QString lastUpdatedText(double lastUpdated, const QLocale& locale) {
    // A list never fetched has no date to show.
    if (lastUpdated == 0.0)
        return QString();
    const QDateTime at = fromRecordDateTime(lastUpdated);
    if (at.time() == QTime(0, 0))
        return locale.toString(at.date(), QLocale::ShortFormat);
    return shortDateLongTime(locale, at);
}

TfrmServerProperties::TfrmServerProperties(GuiContext& context, const QString& hostName,
                                           QWidget* parent)
    : QDialog(parent), m_context(context), m_ui(std::make_unique<Ui::TfrmServerProperties>()) {
    m_ui->setupUi(this);
    installHelpKey(this, HelpPage::ServerProperties);
    m_ui->spnPortNumber->findChild<QLineEdit*>()->setObjectName(QStringLiteral("edtPortNumber"));
    m_ui->barStatus->SetPanelWidths(275, 50);

    m_hover = attachHoverPictures(this,
                                  {QStringLiteral("ok"), QStringLiteral("cancel"),
                                   QStringLiteral("download"), QStringLiteral("open")},
                                  {{m_ui->btnOk, 0},
                                   {m_ui->btnCancel, 2},
                                   {m_ui->btnGetNewsgroups, 4},
                                   {m_ui->btnNewNewsgroups, 4},
                                   {m_ui->btnCaFile, 6}});

    ocxNNTP = new TNNTP(this);
    ocxNNTP->setObjectName(QStringLiteral("ocxNNTP"));
    ocxNNTP->ExtraCaFile = context.extraCaFile;

    TRetrievalPolicy policy;
    policy.updateFileHost = [this] { return toStd(m_ui->edtNewsgroupServer->text()); };
    policy.beforeStart = [this] { FormToRecord(); };
    // A server that asks for a login gets what the fields hold now, saved or not.
    policy.credentials = [this] {
        return NntpAuthRequest{m_ui->edtUserName->text(), m_ui->edtPassword->text()};
    };
    policy.getAllowed = [this] { return !m_ui->edtNewsgroupServer->text().isEmpty(); };
    m_display = std::make_unique<TRetrievalDisplay>(
        *m_ui->barStatus, [this](const TRetrievalButtons& b) { ApplyRetrievalButtons(b); },
        [this] { RetrievalCompleted(); });
    m_retrieval = std::make_unique<TNewsgroupRetrieval>(*ocxNNTP, context.nntpJob, m_server,
                                                        m_newsgroups, *m_display, context.prompts,
                                                        std::move(policy), context.dataDir);

    connect(m_ui->edtNewsgroupServer, &QLineEdit::textChanged, this,
            [this] { ReevaluateButtons(); });
    connect(m_ui->edtLastUpdated, &QLineEdit::textChanged, this, [this] { ReevaluateButtons(); });
    connect(m_ui->edtPassword, &QLineEdit::textChanged, this, [this] { edtPasswordChange(); });
    connect(m_ui->cbxSecurity, &QComboBox::currentIndexChanged, this,
            [this](int index) { cbxSecurityChange(index); });
    m_ui->edtVerifyPassword->installEventFilter(this);
    connect(m_ui->btnCaFile, &QToolButton::clicked, this, [this] { btnCaFileClick(); });
    connect(m_ui->btnGetNewsgroups, &QToolButton::clicked, this,
            [this] { btnGetNewsgroupsClick(); });
    connect(m_ui->btnNewNewsgroups, &QToolButton::clicked, this,
            [this] { btnNewNewsgroupsClick(); });
    connect(m_ui->btnOk, &QToolButton::clicked, this, [this] { btnOkClick(); });
    connect(m_ui->btnCancel, &QToolButton::clicked, this, [this] { reject(); });

    m_server.HostName = toStd(hostName);
    FormShow();
    // The old Windows sizes are the least; texts in other fonts and languages may need more.
    resize(sizeHint().expandedTo(minimumSize()));
}

TfrmServerProperties::~TfrmServerProperties() = default;

void TfrmServerProperties::FormShow() {
    m_existing = !m_server.HostName.empty();
    if (m_existing) {
        m_ui->edtNewsgroupServer->setReadOnly(true);
        LoadServer(m_server, m_context.store, m_context.prompts);
        RecordToForm();
        // A server whose list was never fetched has no file, which is no error.
        const std::filesystem::path file = m_retrieval->listFile(m_server.HostName);
        std::error_code ec;
        if (std::filesystem::exists(file, ec) && !loadNewsgroupList(file, m_newsgroups))
            m_context.prompts.error("Unable to read the newsgroup list file " + file.string());
    } else {
        m_server.NumberOfNewsgroups = 0;
        m_server.LastUpdated = 0.0;
        m_server.Port = kDefaultPort;
        RecordToForm();
    }
    m_passwordChanged = false;
    m_ui->lblVerifyPassword->setEnabled(false);
    m_ui->edtVerifyPassword->setEnabled(false);
    ReevaluateButtons();
}

void TfrmServerProperties::RecordToForm() {
    m_ui->edtNewsgroupServer->setText(fromStd(m_server.HostName));
    // A stored port beyond what can be typed is kept as it is, not cut down on the next save.
    m_ui->spnPortNumber->setMaximum(std::max(kMaxPort, m_server.Port));
    m_ui->spnPortNumber->setValue(m_server.Port);
    {
        // Showing the stored security is no switch by the user: the port stays as stored.
        const QSignalBlocker quiet(m_ui->cbxSecurity);
        m_ui->cbxSecurity->setCurrentIndex(m_server.Security);
    }
    m_security = m_server.Security;
    m_ui->edtCaFile->setText(fromStd(m_server.CaFile));
    m_ui->lblCaFile->setEnabled(m_security != kSecurityNone);
    m_ui->edtCaFile->setEnabled(m_security != kSecurityNone);
    m_ui->btnCaFile->setEnabled(m_security != kSecurityNone);
    m_ui->edtNumberOfNewsgroups->setText(QString::number(m_server.NumberOfNewsgroups));
    m_ui->edtLastUpdated->setText(lastUpdatedText(m_server.LastUpdated));
    m_ui->edtUserName->setText(fromStd(m_server.UserName));
    m_ui->edtPassword->setText(fromStd(m_server.Password));
}

void TfrmServerProperties::FormToRecord() {
    m_server.HostName = toStd(m_ui->edtNewsgroupServer->text());
    m_server.Port = m_ui->spnPortNumber->value();
    m_server.Security = m_ui->cbxSecurity->currentIndex();
    m_server.CaFile = toStd(m_ui->edtCaFile->text());
    m_server.UserName = toStd(m_ui->edtUserName->text());
    m_server.Password = toStd(m_ui->edtPassword->text());
}

void TfrmServerProperties::ReevaluateButtons() {
    // While a list comes in the buttons stay off, whatever is typed meanwhile.
    if (m_retrieval->running()) {
        ApplyRetrievalButtons(TRetrievalButtons{});
        return;
    }
    ApplyRetrievalButtons(m_retrieval->idleButtons());
}

void TfrmServerProperties::ApplyRetrievalButtons(const TRetrievalButtons& enabled) {
    m_ui->btnGetNewsgroups->setEnabled(enabled.Get);
    m_ui->btnNewNewsgroups->setEnabled(enabled.Update);
    m_ui->btnOk->setEnabled(enabled.Others);
    m_ui->btnCancel->setEnabled(enabled.Others);
}

void TfrmServerProperties::edtPasswordChange() {
    m_passwordChanged = true;
    m_ui->lblVerifyPassword->setEnabled(true);
    m_ui->edtVerifyPassword->setEnabled(true);
}

bool TfrmServerProperties::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_ui->edtVerifyPassword && event->type() == QEvent::FocusOut) {
        // Leaving the field for another control of the dialog, not the dialog for another
        // window (a message box, a menu).
        const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
        if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason &&
            m_ui->edtVerifyPassword->isEnabled() && isVisible())
            VerifyPassword();
    }
    return QDialog::eventFilter(watched, event);
}

bool TfrmServerProperties::VerifyPassword() {
    if (m_ui->edtVerifyPassword->text() == m_ui->edtPassword->text()) {
        m_passwordChanged = false;
        m_ui->lblVerifyPassword->setEnabled(false);
        m_ui->edtVerifyPassword->setEnabled(false);
        return true;
    }
    m_context.prompts.error("Password and Verify Password do not match");
    return false;
}

void TfrmServerProperties::cbxSecurityChange(int index) {
    // TLS on connect has a port of its own; a port still at the other's default follows.
    const int port = m_ui->spnPortNumber->value();
    if (index == kSecurityTlsOnConnect && m_security != kSecurityTlsOnConnect &&
        port == kDefaultPort)
        m_ui->spnPortNumber->setValue(kDefaultTlsPort);
    else if (index != kSecurityTlsOnConnect && m_security == kSecurityTlsOnConnect &&
             port == kDefaultTlsPort)
        m_ui->spnPortNumber->setValue(kDefaultPort);
    m_security = index;
    const bool secured = index != kSecurityNone;
    m_ui->lblCaFile->setEnabled(secured);
    m_ui->edtCaFile->setEnabled(secured);
    m_ui->btnCaFile->setEnabled(secured);
}

void TfrmServerProperties::btnCaFileClick() {
    const QString chosen = m_context.files.openFile(
        this, QStringLiteral("Select Trusted Certificate File"), m_ui->edtCaFile->text(),
        {QStringLiteral("Certificate Files (*.pem *.crt *.cer)"), QStringLiteral("All Files (*)")});
    if (!chosen.isEmpty())
        m_ui->edtCaFile->setText(chosen);
}

bool TfrmServerProperties::CaFileUsable() {
    const QString file = m_ui->edtCaFile->text();
    if (m_ui->cbxSecurity->currentIndex() == kSecurityNone || file.isEmpty())
        return true;
    if (!QSslCertificate::fromPath(file, QSsl::Pem).isEmpty())
        return true;
    m_context.prompts.error("The trusted certificate file \"" + toStd(file) +
                            "\" holds no certificate in PEM form.");
    return false;
}

bool TfrmServerProperties::ReplaceStoredServer(const std::string& name) {
    // Store keys ignore letter case: a new server of a stored one's name takes its place, its
    // login with it, so the user is asked first.
    for (const std::string& stored : serverNames(m_context.store))
        if (namesEqual(stored, name))
            return m_context.prompts.confirm("A newsgroup server named " + stored +
                                             " is already in the list.\rReplace its settings with "
                                             "these?") == PromptAnswer::Yes;
    return true;
}

void TfrmServerProperties::btnGetNewsgroupsClick() {
    m_closeWhenDone = false;
    m_retrieval->getNewsgroups();
}

void TfrmServerProperties::btnNewNewsgroupsClick() {
    m_closeWhenDone = false;
    m_retrieval->updateNewsgroups();
}

void TfrmServerProperties::btnOkClick() {
    if (m_ui->edtNewsgroupServer->text().isEmpty()) {
        m_context.prompts.error(
            "Enter a newsgroup server name before saving, or\rclick Cancel to abandon changes.");
        return;
    }
    if (m_passwordChanged && !VerifyPassword())
        return;
    if (!CaFileUsable())
        return;
    if (!m_existing && !ReplaceStoredServer(toStd(m_ui->edtNewsgroupServer->text())))
        return;
    FormToRecord();
    // A record the store refused (a name it cannot hold, a password too long) is not offered a
    // list: the message said why, and the dialog stays for the user to mend it.
    if (!SaveServer(m_server, m_context.store, m_context.prompts))
        return;
    const std::string name = m_server.HostName;
    if (m_server.LastUpdated == 0.0) {
        if (m_context.prompts.confirm("Would you like to retrieve the list of newsgroups from\r" +
                                      name + " now?") != PromptAnswer::Yes) {
            accept();
            return;
        }
        m_newsgroups.clear();
        m_server.NumberOfNewsgroups = 0;
        m_ui->edtNumberOfNewsgroups->setText(QStringLiteral("0"));
        m_closeWhenDone = true;
        m_retrieval->getNewsgroups();
        return;
    }
    if (toRecordDateTime(QDateTime::currentDateTime()) - m_server.LastUpdated > 1.0) {
        if (m_context.prompts.confirm(
                "Would you like to retrieve the list of new newsgroups from " + name + " now?") !=
            PromptAnswer::Yes) {
            accept();
            return;
        }
        m_closeWhenDone = true;
        // With no list file an update would start from nothing and the file would hold only
        // the new groups: it fetches the whole list then.
        m_retrieval->updateNewsgroups();
        return;
    }
    accept();
}

void TfrmServerProperties::RetrievalCompleted() {
    RecordToForm();
    if (m_closeWhenDone) {
        SaveServer(m_server, m_context.store, m_context.prompts);
        accept();
    }
}

void TfrmServerProperties::done(int result) {
    closeRetrieval(*m_retrieval, *ocxNNTP, *m_display);
    QDialog::done(result);
}
