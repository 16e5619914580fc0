#include "gui/newsgroups_dialog.h"

#include "ui_newsgroups_dialog.h"

#include "gui/busy_cursor.h"
#include "gui/form_helpers.h"
#include "gui/help_window.h"
#include "gui/search_dialog.h"
#include "model/server_storage.h"
#include "newsgroups/newsgroup_picks.h"
#include "widgets/vlistbox.h"

#include <QDropEvent>
#include <QMenu>
#include <QMimeData>

#include <filesystem>

std::vector<TRowSpan> selectedRows(const TVListBox& view) {
    std::vector<TRowSpan> rows;
    rows.reserve(view.Selections().Ranges().size());
    for (const TRowRange& r : view.Selections().Ranges())
        rows.push_back({static_cast<std::size_t>(r.First), static_cast<std::size_t>(r.Count)});
    return rows;
}

namespace {

// A view of one column with no header whose rows are the names of a list.
void showList(TVListBox* view, const TNewsgroupList& list, const QString& name) {
    view->SetHeader(false);
    view->SetMultiSelect(true);
    view->SetExtendedSelect(true);
    view->SetDragMode(dmAutomatic);
    view->setAccessibleName(name);
    view->OnGetItem = [&list](TVListBox*, int Index, int, QString& Strg, TOwnerDrawState, QFont&,
                              QColor&, QColor&) {
        if (Index >= 0 && static_cast<std::size_t>(Index) < list.size())
            Strg = list.text(static_cast<std::size_t>(Index));
    };
}

void setRows(TVListBox* view, const TNewsgroupList& list) {
    view->SetRowCount(static_cast<int>(list.size()));
    view->Refresh();
}

}  // namespace

TfrmNewsgroups::TfrmNewsgroups(GuiContext& context, const QString& hostName,
                               NewsgroupTarget& target, QWidget* parent)
    : QDialog(parent),
      m_context(context),
      m_target(target),
      m_ui(std::make_unique<Ui::TfrmNewsgroups>()) {
    m_ui->setupUi(this);
    installHelpKey(this, HelpPage::Newsgroups);
    m_ui->barStatus->SetPanelWidths(300, 50);
    m_ui->lblAvailableNewsgroups->setBuddy(m_ui->lstAvailableNewsgroups);
    m_ui->lblSelectedNewsgroups->setBuddy(m_ui->lstSelectedNewsgroups);
    showList(m_ui->lstAvailableNewsgroups, m_available, QStringLiteral("Available Newsgroups"));
    showList(m_ui->lstSelectedNewsgroups, m_selected, QStringLiteral("Selected Newsgroups"));

    m_hover = attachHoverPictures(
        this,
        {QStringLiteral("ok"), QStringLiteral("cancel"), QStringLiteral("right"),
         QStringLiteral("right-all"), QStringLiteral("left"), QStringLiteral("left-all"),
         QStringLiteral("download"), QStringLiteral("search")},
        {{m_ui->btnOk, 0},
         {m_ui->btnCancel, 2},
         {m_ui->btnAddSelected, 4},
         {m_ui->btnAddAll, 6},
         {m_ui->btnRemoveSelected, 8},
         {m_ui->btnRemoveAll, 10},
         {m_ui->btnGetNewsgroups, 12},
         {m_ui->btnNewNewsgroups, 12},
         {m_ui->btnSearch, 14}});

    pumAdd = new QMenu(this);
    pumAdd->setObjectName(QStringLiteral("pumAdd"));
    pumRemove = new QMenu(this);
    pumRemove->setObjectName(QStringLiteral("pumRemove"));
    // The menus, keys and double-clicks do what the buttons do, also while a list comes in and
    // the buttons are off.
    connect(addMenuItem(pumAdd, QStringLiteral("mniAddSelectedItems"),
                        QStringLiteral("Add Selected Items to Selected Newsgroups")),
            &QAction::triggered, this, [this] { btnAddSelectedClick(); });
    connect(addMenuItem(pumAdd, QStringLiteral("mniAddAllItems"),
                        QStringLiteral("Add All Items to Selected Newsgroups")),
            &QAction::triggered, this, [this] { btnAddAllClick(); });
    connect(addMenuItem(pumRemove, QStringLiteral("mniRemoveSelectedItems"),
                        QStringLiteral("Remove Selected Items from Selected Newsgroups")),
            &QAction::triggered, this, [this] { btnRemoveSelectedClick(); });
    connect(addMenuItem(pumRemove, QStringLiteral("mniRemoveAllItems"),
                        QStringLiteral("Remove All Items from Selected Newsgroups")),
            &QAction::triggered, this, [this] { btnRemoveAllClick(); });
    const auto popupOn = [](TVListBox* view, QMenu* menu) {
        connect(view, &QWidget::customContextMenuRequested, menu,
                [view, menu](const QPoint& at) { menu->popup(view->viewport()->mapToGlobal(at)); });
    };
    popupOn(m_ui->lstAvailableNewsgroups, pumAdd);
    popupOn(m_ui->lstSelectedNewsgroups, pumRemove);

    connect(m_ui->btnAddSelected, &QToolButton::clicked, this, [this] { btnAddSelectedClick(); });
    connect(m_ui->btnAddAll, &QToolButton::clicked, this, [this] { btnAddAllClick(); });
    connect(m_ui->btnRemoveSelected, &QToolButton::clicked, this,
            [this] { btnRemoveSelectedClick(); });
    connect(m_ui->btnRemoveAll, &QToolButton::clicked, this, [this] { btnRemoveAllClick(); });
    connect(m_ui->lstAvailableNewsgroups, &TVListBox::OnDblClick, this,
            [this] { btnAddSelectedClick(); });
    connect(m_ui->lstSelectedNewsgroups, &TVListBox::OnDblClick, this,
            [this] { lstSelectedNewsgroupsDblClick(); });
    connect(m_ui->btnSearch, &QToolButton::clicked, this, [this] { btnSearchClick(); });
    connect(m_ui->btnOk, &QToolButton::clicked, this, [this] { btnOkClick(); });
    connect(m_ui->btnCancel, &QToolButton::clicked, this, [this] { reject(); });
    m_ui->lstSelectedNewsgroups->installEventFilter(this);
    m_ui->lstSelectedNewsgroups->viewport()->setAcceptDrops(true);
    m_ui->lstSelectedNewsgroups->viewport()->installEventFilter(this);

    ocxNNTP = new TNNTP(this);
    ocxNNTP->setObjectName(QStringLiteral("ocxNNTP"));
    ocxNNTP->ExtraCaFile = context.extraCaFile;
    TRetrievalPolicy policy;
    // Every fetch is stored at once, so the count and time always describe the list file.
    policy.saveRecord = [this](const TServer& server) {
        SaveServer(server, m_context.store, m_context.prompts);
    };
    m_display = std::make_unique<TRetrievalDisplay>(
        *m_ui->barStatus, [this](const TRetrievalButtons& b) { ApplyRetrievalButtons(b); },
        [this] { RetrievalCompleted(); });
    m_retrieval = std::make_unique<TNewsgroupRetrieval>(*ocxNNTP, context.nntpJob, m_server,
                                                        m_available, *m_display, context.prompts,
                                                        std::move(policy), context.dataDir);
    connect(m_ui->btnGetNewsgroups, &QToolButton::clicked, this,
            [this] { m_retrieval->getNewsgroups(); });
    connect(m_ui->btnNewNewsgroups, &QToolButton::clicked, this,
            [this] { m_retrieval->updateNewsgroups(); });

    FormShow(hostName);
    // The old Windows sizes are the least; texts in other fonts and languages may need more.
    resize(sizeHint().expandedTo(minimumSize()));
}

TfrmNewsgroups::~TfrmNewsgroups() = default;

void TfrmNewsgroups::FormShow(const QString& hostName) {
    const BusyCursor busy;
    m_server.HostName = hostName.toStdString();
    LoadServer(m_server, m_context.store, m_context.prompts);
    setWindowTitle(QStringLiteral("Kavrin/32 - ") + hostName);
    const std::filesystem::path file = m_retrieval->listFile(m_server.HostName);
    std::error_code ec;
    if (!m_server.HostName.empty() && std::filesystem::exists(file, ec)) {
        if (!loadNewsgroupList(file, m_available))
            m_context.prompts.error("Unable to read the newsgroup list file " + file.string());
    }
    setRows(m_ui->lstAvailableNewsgroups, m_available);
    const QStringList target = m_target.targetNewsgroups();
    m_selected.reserve(static_cast<std::size_t>(target.size()));
    for (const QString& group : target)
        m_selected.append(group.toStdString());
    setRows(m_ui->lstSelectedNewsgroups, m_selected);
    SetLabels();
    ApplyRetrievalButtons(m_retrieval->idleButtons());
}

void TfrmNewsgroups::SetLabels() {
    m_ui->lblAvailableNewsgroups->setText(
        QStringLiteral("Available Newsgroups (%1)").arg(m_available.size()));
    m_ui->lblSelectedNewsgroups->setText(
        QStringLiteral("Selected Newsgroups (%1)").arg(m_selected.size()));
}

void TfrmNewsgroups::SelectedNewsgroupsChanged() {
    setRows(m_ui->lstSelectedNewsgroups, m_selected);
    SetLabels();
}

void TfrmNewsgroups::ApplyRetrievalButtons(const TRetrievalButtons& enabled) {
    m_ui->btnGetNewsgroups->setEnabled(enabled.Get);
    m_ui->btnNewNewsgroups->setEnabled(enabled.Update);
    for (QWidget* button :
         {static_cast<QWidget*>(m_ui->btnAddSelected), static_cast<QWidget*>(m_ui->btnAddAll),
          static_cast<QWidget*>(m_ui->btnRemoveSelected), static_cast<QWidget*>(m_ui->btnRemoveAll),
          static_cast<QWidget*>(m_ui->btnSearch), static_cast<QWidget*>(m_ui->btnOk),
          static_cast<QWidget*>(m_ui->btnCancel)})
        button->setEnabled(enabled.Others);
}

void TfrmNewsgroups::RetrievalCompleted() {
    setRows(m_ui->lstAvailableNewsgroups, m_available);
    SetLabels();
}

void TfrmNewsgroups::btnAddSelectedClick() {
    const TVListBox& view = *m_ui->lstAvailableNewsgroups;
    if (view.Selections().SelectedCount() > 0) {
        const BusyCursor busy;
        addUnlessSelected(m_selected, m_available, selectedRows(view));
        setRows(m_ui->lstSelectedNewsgroups, m_selected);
    }
    SetLabels();
}

void TfrmNewsgroups::btnAddAllClick() {
    {
        const BusyCursor busy;
        // Groups picked before that the list does not hold go; repeats in the list stay.
        m_selected = m_available;
        setRows(m_ui->lstSelectedNewsgroups, m_selected);
    }
    SetLabels();
}

void TfrmNewsgroups::btnRemoveSelectedClick() {
    {
        const BusyCursor busy;
        TVListBox& view = *m_ui->lstSelectedNewsgroups;
        if (!m_selected.empty() && view.Selections().SelectedCount() > 0) {
            m_selected.removeRows(selectedRows(view));
            view.Selections().Clear();
            setRows(&view, m_selected);
        }
    }
    SetLabels();
}

void TfrmNewsgroups::btnRemoveAllClick() {
    {
        const BusyCursor busy;
        m_selected.clear();
        setRows(m_ui->lstSelectedNewsgroups, m_selected);
    }
    SetLabels();
}

void TfrmNewsgroups::lstSelectedNewsgroupsDblClick() {
    TVListBox& view = *m_ui->lstSelectedNewsgroups;
    const int row = view.ItemIndex();
    if (m_selected.empty() || row < 0 || static_cast<std::size_t>(row) >= m_selected.size())
        return;
    m_selected.removeAt(static_cast<std::size_t>(row));
    view.Selections().Clear();
    setRows(&view, m_selected);
    SetLabels();
}

void TfrmNewsgroups::btnSearchClick() {
    TfrmSearch search(m_context, *this);
    search.exec();
}

void TfrmNewsgroups::btnOkClick() {
    QStringList groups;
    groups.reserve(static_cast<qsizetype>(m_selected.size()));
    for (std::size_t i = 0; i < m_selected.size(); ++i)
        groups.append(m_selected.text(i));
    m_target.setTargetNewsgroups(groups);
    accept();
}

bool TfrmNewsgroups::AcceptsDrop(const QObject* source, const QMimeData* data) const {
    return source == m_ui->lstAvailableNewsgroups && data &&
           data->hasFormat(TVListBox::DragMimeType());
}

bool TfrmNewsgroups::eventFilter(QObject* watched, QEvent* event) {
    TVListBox* selected = m_ui->lstSelectedNewsgroups;
    bool ctrl = false;
    if (watched == selected &&
        releasedKey(event, {Qt::Key_Delete, Qt::Key_Return, Qt::Key_Enter}, &ctrl)) {
        ctrl ? btnRemoveAllClick() : btnRemoveSelectedClick();
        return true;
    }
    if (watched == selected->viewport()) {
        switch (event->type()) {
            case QEvent::DragEnter:
            case QEvent::DragMove: {
                auto* drag = static_cast<QDragMoveEvent*>(event);
                if (AcceptsDrop(drag->source(), drag->mimeData()))
                    drag->acceptProposedAction();
                else
                    drag->ignore();
                return true;
            }
            case QEvent::Drop: {
                auto* drop = static_cast<QDropEvent*>(event);
                if (!AcceptsDrop(drop->source(), drop->mimeData())) {
                    drop->ignore();
                    return true;
                }
                drop->acceptProposedAction();
                btnAddSelectedClick();
                return true;
            }
            default:
                break;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void TfrmNewsgroups::done(int result) {
    closeRetrieval(*m_retrieval, *ocxNNTP, *m_display);
    QDialog::done(result);
}
