#pragma once

#include "compose/attachment.h"

#include <QElapsedTimer>
#include <QString>

class QLabel;
class QProgressBar;
class QWidget;

// The encoders' progress inside the main window's progress page: the caption ("UUEncode -
// name", "MIME/Base64 Encode - name") and a 0..100 bar, shown only while a file is encoded.
class EncodeProgressView : public EncodeProgress {
public:
    EncodeProgressView(QWidget* panel, QLabel* caption, QProgressBar* bar);

    void show(std::string_view caption) override;
    void position(int percent) override;
    void hide() override;

private:
    QWidget* m_panel;
    QLabel* m_caption;
    QProgressBar* m_bar;
    QElapsedTimer m_shown;
};
