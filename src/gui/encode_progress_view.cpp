#include "gui/encode_progress_view.h"

#include <QLabel>
#include <QProgressBar>
#include <QWidget>

EncodeProgressView::EncodeProgressView(QWidget* panel, QLabel* caption, QProgressBar* bar)
    : m_panel(panel), m_caption(caption), m_bar(bar) {
    m_bar->setRange(0, 100);
    m_panel->setVisible(false);
}

void EncodeProgressView::show(std::string_view caption) {
    m_caption->setText(QString::fromUtf8(caption.data(), qsizetype(caption.size())));
    m_bar->setAccessibleName(m_caption->text());
    m_bar->setValue(0);
    m_panel->setVisible(true);
}

void EncodeProgressView::position(int percent) {
    // Called for every block read: only a new value costs a repaint.
    if (percent != m_bar->value())
        m_bar->setValue(percent);
}

void EncodeProgressView::hide() {
    m_panel->setVisible(false);
}
