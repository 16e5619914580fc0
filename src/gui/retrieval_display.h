#pragma once

#include "gui/busy_cursor.h"
#include "newsgroups/retrieval.h"

#include <functional>
#include <optional>

class TStatusPanels;
class TNNTP;

// What the two newsgroup list dialogs share of showing a retrieval: the status panels and the
// busy cursor. Which buttons a report enables and what a completed list changes are the
// dialog's own, handed in as functions.
class TRetrievalDisplay : public TRetrievalObserver {
public:
    TRetrievalDisplay(TStatusPanels& bar, std::function<void(const TRetrievalButtons&)> buttons,
                      std::function<void()> completed);

    void statusChanged(int panel, const QString& text) override;
    void busyChanged(bool busy) override;
    void buttonsChanged(const TRetrievalButtons& enabled) override;
    void retrievalCompleted() override;

    // An abandoned retrieval reports nothing more: the dialog closing it gives the normal cursor
    // back here.
    void endBusy() { m_busy.reset(); }

private:
    TStatusPanels& m_bar;
    std::function<void(const TRetrievalButtons&)> m_buttons;
    std::function<void()> m_completed;
    std::optional<BusyCursor> m_busy;
};

// A list dialog closing, by any way: a retrieval still running is abandoned (nothing of it
// reaches the list, the file or the record afterwards), an open connection is closed and the
// normal cursor comes back.
void closeRetrieval(TNewsgroupRetrieval& retrieval, TNNTP& nntp, TRetrievalDisplay& display);
