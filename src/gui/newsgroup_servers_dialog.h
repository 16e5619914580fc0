#pragma once

#include "gui/dialog_hosts.h"
#include "gui/gui_context.h"

#include <QDialog>
#include <QString>

#include <memory>

namespace Ui {
class TfrmNewsgroupServers;
}
class QMenu;
class THoverPictures;

// The stored news servers: adds, removes and opens them. Opened from the main window, or from
// the preferences dialog (which then passes itself as `preferences`); its entry for the main
// window's server is selected, and closing it refreshes the server boxes of both.
class TfrmNewsgroupServers : public QDialog {
    Q_OBJECT
public:
    TfrmNewsgroupServers(GuiContext& context, ServerBoxHost& mainWindow, ServerBoxHost* preferences,
                         QWidget* parent = nullptr);
    ~TfrmNewsgroupServers() override;

    void done(int result) override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void FillServerList();
    void btnAddClick();
    void btnDeleteClick();
    void btnPropertiesClick();

    GuiContext& m_context;
    ServerBoxHost& m_mainWindow;
    ServerBoxHost* m_preferences;
    std::unique_ptr<Ui::TfrmNewsgroupServers> m_ui;
    THoverPictures* m_hover = nullptr;
    QMenu* pumNewsgroupServers = nullptr;
};
