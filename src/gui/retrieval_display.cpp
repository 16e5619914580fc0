#include "gui/retrieval_display.h"

#include "gui/status_panels.h"

TRetrievalDisplay::TRetrievalDisplay(TStatusPanels& bar,
                                     std::function<void(const TRetrievalButtons&)> buttons,
                                     std::function<void()> completed)
    : m_bar(bar), m_buttons(std::move(buttons)), m_completed(std::move(completed)) {}

void TRetrievalDisplay::statusChanged(int panel, const QString& text) {
    m_bar.SetPanelText(panel, text);
}

void TRetrievalDisplay::busyChanged(bool busy) {
    if (busy && !m_busy)
        m_busy.emplace();
    else if (!busy)
        m_busy.reset();
}

void TRetrievalDisplay::buttonsChanged(const TRetrievalButtons& enabled) {
    if (m_buttons)
        m_buttons(enabled);
}

void TRetrievalDisplay::retrievalCompleted() {
    if (m_completed)
        m_completed();
}

void closeRetrieval(TNewsgroupRetrieval& retrieval, TNNTP& nntp, TRetrievalDisplay& display) {
    retrieval.abandon();
    const int state = nntp.State();
    if (state != nsDisconnected && state != nsNone)
        nntp.Quit();
    display.endBusy();
}
