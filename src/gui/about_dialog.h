#pragma once

#include "gui/gui_context.h"

#include <QDialog>

#include <memory>

namespace Ui {
class TfrmAbout;
}
class THoverPictures;

// The About box: the program's picture and name, its version and legal notice, the web and
// mail addresses (each opens in the desktop's own program, as does a click on the picture),
// and "&OK". A tool window above the others, centred over its opener, navy throughout.
class TfrmAbout : public QDialog {
    Q_OBJECT

public:
    explicit TfrmAbout(GuiContext& context, QWidget* parent = nullptr);
    ~TfrmAbout() override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void imgProgramClick();
    void lblHTTPClick();
    void lblSMTPClick();
    void btnOKClick();

    GuiContext& m_context;
    std::unique_ptr<Ui::TfrmAbout> m_ui;
    THoverPictures* m_hover = nullptr;
};
