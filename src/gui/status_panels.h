#pragma once

#include <QStatusBar>
#include <QString>

class QLabel;

// The two-panel status bar of the newsgroup list dialogs: panel 0 on the left for what is
// happening, panel 1 on the right, right-aligned, for byte and group counts.
class TStatusPanels : public QStatusBar {
    Q_OBJECT
public:
    explicit TStatusPanels(QWidget* parent = nullptr);

    // The minimum widths of the panels, in pixels at the normal font.
    void SetPanelWidths(int panel0, int panel1);
    void SetPanelText(int panel, const QString& text);
    QString PanelText(int panel) const;

private:
    QLabel* m_panels[2];
};
