#include "gui/newsgroup_servers_dialog.h"

#include "ui_newsgroup_servers_dialog.h"

#include "gui/form_helpers.h"
#include "gui/help_window.h"
#include "gui/server_properties_dialog.h"
#include "model/server_storage.h"

#include <QListWidget>
#include <QMenu>

TfrmNewsgroupServers::TfrmNewsgroupServers(GuiContext& context, ServerBoxHost& mainWindow,
                                           ServerBoxHost* preferences, QWidget* parent)
    : QDialog(parent),
      m_context(context),
      m_mainWindow(mainWindow),
      m_preferences(preferences),
      m_ui(std::make_unique<Ui::TfrmNewsgroupServers>()) {
    m_ui->setupUi(this);
    installHelpKey(this, HelpPage::ServerList);

    m_hover = attachHoverPictures(
        this,
        {QStringLiteral("ok"), QStringLiteral("add"), QStringLiteral("delete"),
         QStringLiteral("properties")},
        {{m_ui->btnOk, 0}, {m_ui->btnAdd, 2}, {m_ui->btnDelete, 4}, {m_ui->btnProperties, 6}});

    pumNewsgroupServers = new QMenu(this);
    pumNewsgroupServers->setObjectName(QStringLiteral("pumNewsgroupServers"));
    QAction* add = addMenuItem(pumNewsgroupServers, QStringLiteral("mniAddNewsgroupServer"),
                               QStringLiteral("&Add Newsgroup Server..."), Qt::Key_Insert);
    QAction* remove =
        addMenuItem(pumNewsgroupServers, QStringLiteral("mniDeleteSelectedNewsgroupServer"),
                    QStringLiteral("&Delete Selected Newsgroup Server"), Qt::Key_Delete);
    pumNewsgroupServers->addSeparator();
    QAction* properties =
        addMenuItem(pumNewsgroupServers, QStringLiteral("mniNewsgroupServerProperties"),
                    QStringLiteral("Newsgroup Server &Properties..."));
    connect(add, &QAction::triggered, this, [this] { btnAddClick(); });
    connect(remove, &QAction::triggered, this, [this] { btnDeleteClick(); });
    connect(properties, &QAction::triggered, this, [this] { btnPropertiesClick(); });
    connect(m_ui->lstNewsgroupServers, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& at) {
                pumNewsgroupServers->popup(m_ui->lstNewsgroupServers->viewport()->mapToGlobal(at));
            });

    connect(m_ui->btnAdd, &QToolButton::clicked, this, [this] { btnAddClick(); });
    connect(m_ui->btnDelete, &QToolButton::clicked, this, [this] { btnDeleteClick(); });
    connect(m_ui->btnProperties, &QToolButton::clicked, this, [this] { btnPropertiesClick(); });
    connect(m_ui->btnOk, &QToolButton::clicked, this, [this] { accept(); });
    connect(m_ui->lstNewsgroupServers, &QListWidget::itemDoubleClicked, this,
            [this] { btnPropertiesClick(); });
    m_ui->lstNewsgroupServers->installEventFilter(this);

    FillServerList();
    // The old Windows sizes are the least; texts in other fonts and languages may need more.
    resize(sizeHint().expandedTo(minimumSize()));
}

TfrmNewsgroupServers::~TfrmNewsgroupServers() = default;

void TfrmNewsgroupServers::FillServerList() {
    QListWidget* list = m_ui->lstNewsgroupServers;
    list->clear();
    for (const std::string& name : serverNames(m_context.store))
        list->addItem(QString::fromStdString(name));
    const QString shown = m_mainWindow.serverBoxText();
    for (int i = 0; i < list->count(); ++i) {
        if (list->item(i)->text().compare(shown, Qt::CaseInsensitive) == 0) {
            list->setCurrentRow(i);
            return;
        }
    }
    list->setCurrentRow(-1);
}

bool TfrmNewsgroupServers::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_ui->lstNewsgroupServers) {
        bool ctrl = false;
        switch (releasedKey(event, {Qt::Key_Insert, Qt::Key_Delete, Qt::Key_Return, Qt::Key_Enter},
                            &ctrl)) {
            case Qt::Key_Insert:
                btnAddClick();
                return true;
            case Qt::Key_Delete:
                btnDeleteClick();
                return true;
            case Qt::Key_Return:
            case Qt::Key_Enter:
                btnPropertiesClick();
                return true;
            default:
                break;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void TfrmNewsgroupServers::btnAddClick() {
    TfrmServerProperties properties(m_context, QString(), this);
    properties.exec();
    // The new server is listed, but selected only when it is the main window's.
    FillServerList();
}

void TfrmNewsgroupServers::btnDeleteClick() {
    QListWidgetItem* item = m_ui->lstNewsgroupServers->currentItem();
    if (!item || !item->isSelected())
        return;
    const QString name = item->text();
    if (m_context.prompts.confirm("Remove " + name.toStdString() +
                                  " from you list of newsgroup servers?") != PromptAnswer::Yes)
        return;
    try {
        m_context.store.deleteKeyTree(serverKeyPath(name.toStdString()));
    } catch (const std::exception&) {
        m_context.prompts.error("Unable to remove news server from registry");
        return;
    }
    // The server's newsgroup list file stays: a server added again under this name finds it.
    delete m_ui->lstNewsgroupServers->takeItem(m_ui->lstNewsgroupServers->row(item));
    // Nothing is selected afterwards, so a second Delete removes no other server.
    m_ui->lstNewsgroupServers->setCurrentRow(-1);
    m_ui->lstNewsgroupServers->clearSelection();
}

void TfrmNewsgroupServers::btnPropertiesClick() {
    QListWidgetItem* item = m_ui->lstNewsgroupServers->currentItem();
    if (!item || !item->isSelected())
        return;
    // A stored server's name cannot change, so the list stays as it is.
    TfrmServerProperties properties(m_context, item->text(), this);
    properties.exec();
}

void TfrmNewsgroupServers::done(int result) {
    QDialog::done(result);
    m_mainWindow.refreshServerBox();
    if (m_preferences)
        m_preferences->refreshServerBox();
}
