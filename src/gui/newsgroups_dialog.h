#pragma once

#include "gui/dialog_hosts.h"
#include "gui/gui_context.h"
#include "gui/retrieval_display.h"
#include "model/server.h"
#include "newsgroups/newsgroup_list.h"
#include "newsgroups/retrieval.h"
#include "posting/nntp.h"

#include <QDialog>
#include <QString>

#include <memory>
#include <vector>

namespace Ui {
class TfrmNewsgroups;
}
class QMenu;
class QMimeData;
class THoverPictures;
class TVListBox;

// Picks newsgroups for a project from one server's list: the available newsgroups on the left,
// the selected ones on the right, moved between them by the arrow buttons, pop-up menus, keys,
// double-clicks and a drag from left to right. It fetches or updates the server's list itself
// and opens the search dialog. OK hands the selected newsgroups to the target.
class TfrmNewsgroups : public QDialog {
    Q_OBJECT
public:
    TfrmNewsgroups(GuiContext& context, const QString& hostName, NewsgroupTarget& target,
                   QWidget* parent = nullptr);
    ~TfrmNewsgroups() override;

    // Closing abandons a retrieval in progress; the target is changed only by OK.
    void done(int result) override;

    // What the search dialog works on: the available list (read) and the selected list, after
    // whose change it calls SelectedNewsgroupsChanged.
    const TNewsgroupList& AvailableNewsgroups() const { return m_available; }
    TNewsgroupList& SelectedNewsgroups() { return m_selected; }
    // The selected view's row count and both labels follow the lists.
    void SelectedNewsgroupsChanged();

    // Whether the selected view takes a drop: only rows dragged from the available view.
    bool AcceptsDrop(const QObject* source, const QMimeData* data) const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void FormShow(const QString& hostName);
    void SetLabels();
    void ApplyRetrievalButtons(const TRetrievalButtons& enabled);
    void RetrievalCompleted();
    void btnAddSelectedClick();
    void btnAddAllClick();
    void btnRemoveSelectedClick();
    void btnRemoveAllClick();
    void lstSelectedNewsgroupsDblClick();
    void btnSearchClick();
    void btnOkClick();

    GuiContext& m_context;
    NewsgroupTarget& m_target;
    std::unique_ptr<Ui::TfrmNewsgroups> m_ui;
    THoverPictures* m_hover = nullptr;
    QMenu* pumAdd = nullptr;
    QMenu* pumRemove = nullptr;
    TNNTP* ocxNNTP = nullptr;
    TServer m_server;
    TNewsgroupList m_available;
    TNewsgroupList m_selected;
    std::unique_ptr<TRetrievalDisplay> m_display;
    std::unique_ptr<TNewsgroupRetrieval> m_retrieval;
};

// The selected rows of a view as the view keeps them: in the order they were selected.
std::vector<TRowSpan> selectedRows(const TVListBox& view);
