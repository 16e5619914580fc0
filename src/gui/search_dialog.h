#pragma once

#include "gui/gui_context.h"
#include "newsgroups/newsgroup_picks.h"

#include <QDialog>

#include <memory>

namespace Ui {
class TfrmSearch;
}
class QMenu;
class THoverPictures;
class TfrmNewsgroups;

// Finds newsgroups by a piece of their name in the open selection dialog's available list and
// adds the matches, or some of them, to its selected list. Made afresh for every search the
// selection dialog opens, as its child.
class TfrmSearch : public QDialog {
    Q_OBJECT
public:
    TfrmSearch(GuiContext& context, TfrmNewsgroups& owner);
    ~TfrmSearch() override;

    void done(int result) override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void btnSearchClick();
    void btnAddSelectedClick();
    void btnAddAllClick();
    void SetLabels();

    GuiContext& m_context;
    TfrmNewsgroups& m_owner;
    std::unique_ptr<Ui::TfrmSearch> m_ui;
    THoverPictures* m_hover = nullptr;
    QMenu* pumAdd = nullptr;
    // Rows of the selection dialog's available list.
    TNewsgroupMatches m_matches;
    // Each search has its number: one started while another runs (the window stays live
    // during a search) takes over, and the older one stops.
    unsigned m_search = 0;
    bool m_closed = false;
};
