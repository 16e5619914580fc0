#include "gui/search_dialog.h"

#include "ui_search_dialog.h"

#include "gui/busy_cursor.h"
#include "gui/form_helpers.h"
#include "gui/help_window.h"
#include "gui/newsgroups_dialog.h"
#include "widgets/vlistbox.h"

#include <QCoreApplication>
#include <QMenu>
#include <QValidator>

#include <algorithm>

namespace {

// Letters typed or pasted into the search text become lower case as they come in.
class LowerCase : public QValidator {
public:
    using QValidator::QValidator;
    State validate(QString& input, int&) const override {
        input = input.toLower();
        return Acceptable;
    }
};

}  // namespace

TfrmSearch::TfrmSearch(GuiContext& context, TfrmNewsgroups& owner)
    : QDialog(&owner),
      m_context(context),
      m_owner(owner),
      m_ui(std::make_unique<Ui::TfrmSearch>()) {
    m_ui->setupUi(this);
    installHelpKey(this, HelpPage::Search);
    m_ui->edtSearchText->setValidator(new LowerCase(m_ui->edtSearchText));

    m_hover = attachHoverPictures(
        this,
        {QStringLiteral("ok"), QStringLiteral("right"), QStringLiteral("right-all"),
         QStringLiteral("search")},
        {{m_ui->btnOK, 0}, {m_ui->btnAddSelected, 2}, {m_ui->btnAddAll, 4}, {m_ui->btnSearch, 6}});

    TVListBox* view = m_ui->lstMatchingNewsgroups;
    view->SetHeader(false);
    view->SetMultiSelect(true);
    view->SetExtendedSelect(true);
    view->setAccessibleName(QStringLiteral("Matching Newsgroups"));
    view->OnGetItem = [this](TVListBox*, int Index, int, QString& Strg, TOwnerDrawState, QFont&,
                             QColor&, QColor&) {
        if (Index >= 0 && static_cast<std::size_t>(Index) < m_matches.size())
            Strg =
                m_owner.AvailableNewsgroups().text(m_matches.row(static_cast<std::size_t>(Index)));
    };

    pumAdd = new QMenu(this);
    pumAdd->setObjectName(QStringLiteral("pumAdd"));
    QAction* addSelected =
        addMenuItem(pumAdd, QStringLiteral("mniAddSelectedItems"),
                    QStringLiteral("Add Selected Items to Selected Newsgroups"), Qt::Key_Insert);
    QAction* addAll = addMenuItem(pumAdd, QStringLiteral("mniAddAllItems"),
                                  QStringLiteral("Add All Items to Selected Newsgroups"),
                                  QKeySequence(Qt::CTRL | Qt::Key_Insert));
    connect(addSelected, &QAction::triggered, this, [this] { btnAddSelectedClick(); });
    connect(addAll, &QAction::triggered, this, [this] { btnAddAllClick(); });
    connect(view, &QWidget::customContextMenuRequested, this,
            [this, view](const QPoint& at) { pumAdd->popup(view->viewport()->mapToGlobal(at)); });

    connect(m_ui->edtSearchText, &QLineEdit::textChanged, this,
            [this](const QString& text) { m_ui->btnSearch->setEnabled(!text.isEmpty()); });
    connect(m_ui->edtSearchText, &QLineEdit::returnPressed, this, [this] {
        if (m_ui->btnSearch->isEnabled())
            btnSearchClick();
    });
    connect(m_ui->btnSearch, &QToolButton::clicked, this, [this] { btnSearchClick(); });
    connect(m_ui->btnAddSelected, &QToolButton::clicked, this, [this] { btnAddSelectedClick(); });
    connect(m_ui->btnAddAll, &QToolButton::clicked, this, [this] { btnAddAllClick(); });
    connect(m_ui->btnOK, &QToolButton::clicked, this, [this] { accept(); });
    connect(view, &TVListBox::OnDblClick, this, [this] { btnAddSelectedClick(); });
    view->installEventFilter(this);
    // The old Windows sizes are the least; texts in other fonts and languages may need more.
    resize(sizeHint().expandedTo(minimumSize()));
}

TfrmSearch::~TfrmSearch() = default;

void TfrmSearch::SetLabels() {
    m_ui->lblMatchingNewsgroups->setText(
        QStringLiteral("Matching Newsgroups (%1)").arg(m_matches.size()));
}

void TfrmSearch::btnSearchClick() {
    const std::string text = m_ui->edtSearchText->text().toStdString();
    if (text.empty())
        return;
    const unsigned search = ++m_search;
    const BusyCursor busy;
    TVListBox* view = m_ui->lstMatchingNewsgroups;
    m_matches.clear();
    view->Selections().Clear();
    view->SetItemIndex(-1);
    view->SetRowCount(0);
    SetLabels();
    QCoreApplication::processEvents();
    if (search != m_search || m_closed)
        return;

    QProgressBar* bar = m_ui->barSearchProgress;
    const bool finished = searchNewsgroups(
        m_owner.AvailableNewsgroups(), text, m_matches, [&](std::size_t i, std::size_t last) {
            bar->setValue(last == 0 ? 100 : static_cast<int>(i * 100 / last));
            SetLabels();
            QCoreApplication::processEvents();
            return search == m_search && !m_closed;
        });
    // A search started meanwhile owns the list now.
    if (!finished && search != m_search)
        return;
    view->SetRowCount(static_cast<int>(m_matches.size()));
    view->Refresh();
    SetLabels();
    bar->setValue(0);
}

void TfrmSearch::btnAddSelectedClick() {
    const TVListBox& view = *m_ui->lstMatchingNewsgroups;
    const int current = view.ItemIndex();
    if (current >= 0 && !m_matches.empty()) {
        const BusyCursor busy;
        std::vector<TRowSpan> picked;
        if (view.Selections().SelectedCount() <= 1) {
            picked.push_back({static_cast<std::size_t>(current), 1});
        } else {
            // Top to bottom, as a list box hands out its selected items.
            picked = selectedRows(view);
            std::sort(picked.begin(), picked.end(),
                      [](const TRowSpan& a, const TRowSpan& b) { return a.First < b.First; });
        }
        std::vector<TRowSpan> rows;
        for (const TRowSpan& p : picked)
            m_matches.appendRows(p.First, p.Count, rows);
        addUnlessSelected(m_owner.SelectedNewsgroups(), m_owner.AvailableNewsgroups(), rows);
    }
    SetLabels();
    m_owner.SelectedNewsgroupsChanged();
}

void TfrmSearch::btnAddAllClick() {
    {
        const BusyCursor busy;
        m_owner.SelectedNewsgroups() = namesInRows(m_owner.AvailableNewsgroups(), m_matches.runs());
    }
    SetLabels();
    m_owner.SelectedNewsgroupsChanged();
}

bool TfrmSearch::eventFilter(QObject* watched, QEvent* event) {
    bool ctrl = false;
    if (watched == m_ui->lstMatchingNewsgroups &&
        releasedKey(event, {Qt::Key_Insert, Qt::Key_Return, Qt::Key_Enter}, &ctrl)) {
        ctrl ? btnAddAllClick() : btnAddSelectedClick();
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

void TfrmSearch::done(int result) {
    // A search in progress stops at its next step.
    m_closed = true;
    QDialog::done(result);
}
