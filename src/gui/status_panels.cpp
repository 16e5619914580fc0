#include "gui/status_panels.h"

#include <QLabel>

TStatusPanels::TStatusPanels(QWidget* parent) : QStatusBar(parent) {
    setSizeGripEnabled(false);
    for (int i = 0; i < 2; ++i) {
        m_panels[i] = new QLabel(this);
        m_panels[i]->setObjectName(QStringLiteral("barStatusPanel%1").arg(i));
        m_panels[i]->setTextFormat(Qt::PlainText);
    }
    m_panels[1]->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    // The live region a screen reader follows: what the dialog is doing.
    m_panels[0]->setAccessibleName(QStringLiteral("Status"));
    m_panels[1]->setAccessibleName(QStringLiteral("Progress"));
    addWidget(m_panels[0], 1);
    addPermanentWidget(m_panels[1]);
}

void TStatusPanels::SetPanelWidths(int panel0, int panel1) {
    m_panels[0]->setMinimumWidth(panel0);
    m_panels[1]->setMinimumWidth(panel1);
}

void TStatusPanels::SetPanelText(int panel, const QString& text) {
    if (panel == 0 || panel == 1)
        m_panels[panel]->setText(text);
}

QString TStatusPanels::PanelText(int panel) const {
    return (panel == 0 || panel == 1) ? m_panels[panel]->text() : QString();
}
