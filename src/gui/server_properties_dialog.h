#pragma once

#include "gui/gui_context.h"
#include "gui/retrieval_display.h"
#include "model/server.h"
#include "newsgroups/newsgroup_list.h"
#include "newsgroups/retrieval.h"
#include "posting/nntp.h"

#include <QDialog>
#include <QString>

#include <memory>

namespace Ui {
class TfrmServerProperties;
}
class THoverPictures;

// Edits one news server: host name (fixed once stored), port, security and trusted certificate
// file, user name and password, and shows how many newsgroups its list holds and when the list
// was last fetched. It fetches the list itself and offers to when it is saved. An empty host
// name makes a new server.
class TfrmServerProperties : public QDialog {
    Q_OBJECT
public:
    TfrmServerProperties(GuiContext& context, const QString& hostName, QWidget* parent = nullptr);
    ~TfrmServerProperties() override;

    // Closing, by any way, leaves no retrieval behind: a list still coming in is abandoned and
    // the connection closed, and neither the list file nor the record changes afterwards.
    void done(int result) override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void FormShow();
    void RecordToForm();
    void FormToRecord();
    void ReevaluateButtons();
    void ApplyRetrievalButtons(const TRetrievalButtons& enabled);
    bool VerifyPassword();
    void edtPasswordChange();
    void cbxSecurityChange(int index);
    void btnCaFileClick();
    void btnGetNewsgroupsClick();
    void btnNewNewsgroupsClick();
    void btnOkClick();
    void RetrievalCompleted();
    bool CaFileUsable();
    // For a new server: true when no stored server has its name, or the user agrees to
    // replace the one that has.
    bool ReplaceStoredServer(const std::string& name);

    GuiContext& m_context;
    std::unique_ptr<Ui::TfrmServerProperties> m_ui;
    THoverPictures* m_hover = nullptr;
    TNNTP* ocxNNTP = nullptr;
    TServer m_server;
    TNewsgroupList m_newsgroups;
    bool m_existing = false;
    bool m_passwordChanged = false;
    bool m_closeWhenDone = false;
    int m_security = kSecurityNone;  // as the drop-down showed it last
    std::unique_ptr<TRetrievalDisplay> m_display;
    std::unique_ptr<TNewsgroupRetrieval> m_retrieval;
};

// The Last Updated field's text for a record's date-time: the user's short date and long time,
// the time left out at exactly midnight, and nothing for a list never fetched (0).
QString lastUpdatedText(double lastUpdated, const QLocale& locale = QLocale());
