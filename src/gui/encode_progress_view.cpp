#include "gui/encode_progress_view.h"

#include <QLabel>
#include <QProgressBar>
#include <QWidget>

EncodeProgressView::EncodeProgressView(QWidget* panel, QLabel* caption, QProgressBar* bar)
    : m_panel(panel), m_caption(caption), m_bar(bar) {
    m_bar->setRange(0, 100);
    m_panel->setVisible(false);
}

namespace {

// A progress bar draws itself at once on every new value; while a large file is sent that
// happened a hundred times per file and cost more than the sending. A few times a second is
// all an eye can follow.
constexpr qint64 kRedrawMs = 250;

}  // namespace

void EncodeProgressView::show(std::string_view caption) {
    m_caption->setText(QString::fromUtf8(caption.data(), qsizetype(caption.size())));
    m_bar->setAccessibleName(m_caption->text());
    m_bar->setValue(0);
    m_panel->setVisible(true);
    m_shown.start();
}

void EncodeProgressView::position(int percent) {
    if (percent == m_bar->value() || (percent < 100 && m_shown.elapsed() < kRedrawMs))
        return;
    m_bar->setValue(percent);
    m_shown.start();
}

void EncodeProgressView::hide() {
    m_panel->setVisible(false);
}
