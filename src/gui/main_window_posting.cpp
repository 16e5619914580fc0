// The window side of a posting session: Post It, Stop Posting, and what the session shows.

#include "gui/main_window.h"

#include "compose/article.h"
#include "gui/string_lists.h"
#include "platform/text.h"
#include "posting/project_plan.h"
#include "ui_attachments_page.h"
#include "ui_main_window.h"
#include "ui_message_page.h"
#include "ui_newsgroups_page.h"
#include "ui_progress_page.h"
#include "widgets/speed_button.h"
#include "widgets/vlistbox.h"

#include <QAction>
#include <QGuiApplication>
#include <QMenu>
#include <QScrollBar>
#include <QToolBar>

#include <functional>

namespace {

// The attached files and the one-message-per-file switch are read from the window before each
// batch is composed, so what the user changes there while a posting runs counts for the
// batches still to come.
class WindowPostingPlan : public PostingPlan {
public:
    WindowPostingPlan(PostingPlan& plan, std::function<void()> beforeBatch)
        : m_plan(plan), m_beforeBatch(std::move(beforeBatch)) {}

    int BatchCount() override { return m_plan.BatchCount(); }
    void ComposeBatch(int batch, const PostingSend& send) override {
        m_beforeBatch();
        m_plan.ComposeBatch(batch, send);
    }

private:
    PostingPlan& m_plan;
    std::function<void()> m_beforeBatch;
};

}  // namespace

void TfrmKavrin::mniFilePostItClick() {
    if (m_session.Running() || !m_postItEnabled)
        return;
    FormToProject(m_project);
    ComposeEnvironment env;
    env.hostName = m_advanced.HostName;
    ArticleBuilder builder(m_project, m_lists, m_mime, env, m_context.prompts,
                           m_encodeProgress.get());
    ProjectPostingPlan projectPlan(m_project, builder);
    WindowPostingPlan plan(projectPlan, [this] {
        const ProjectForm form = readForm();
        m_project.AttachmentsText = joinLines(toStdLines(form.Attachments));
        m_project.PostSeparateMessageForEachAttachedFile =
            form.PostSeparateMessageForEachAttachedFile;
    });
    m_session.Post(m_project, plan);
    m_encodeProgress->hide();
    if (m_closeAfterPosting) {
        m_closeAfterPosting = false;
        const bool stored = m_closed;
        close();
        // The session was stored when a signal ended the program: closing asked nothing.
        if (stored)
            emit closed();
    }
}

void TfrmKavrin::btnStopPostingClick() {
    m_session.RequestStop();
}

void TfrmKavrin::MemoLine(const QString& line) {
    // A posting reports several lines per article; drawing each at once would cost more than
    // sending the article. They are shown a few times a second, and at once when the session
    // ends or asks something.
    m_memoPending.append(line);
    if (!m_memoFlush.isActive())
        m_memoFlush.start();
}

void TfrmKavrin::flushMemo() {
    m_memoFlush.stop();
    if (m_memoPending.isEmpty())
        return;
    QPlainTextEdit* memo = m_progress->memProgress;
    QScrollBar* bar = memo->verticalScrollBar();
    // Follow the newest line unless the user scrolled back to read.
    const bool atEnd = bar->value() == bar->maximum();
    memo->appendPlainText(m_memoPending.join(QLatin1Char('\n')));
    m_memoPending.clear();
    if (atEnd)
        bar->setValue(bar->maximum());
}

void TfrmKavrin::StatusText(const QString& text) {
    m_statusPanel->setText(text);
}

void TfrmKavrin::ProgressValue(int percent) {
    m_progress->barProgress->setValue(percent);
}

void TfrmKavrin::BusyCursor(bool on) {
    // Off comes before an error box: the memo shows what led to it.
    if (!on)
        flushMemo();
    if (on == m_busy)
        return;
    m_busy = on;
    if (on)
        QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    else
        QGuiApplication::restoreOverrideCursor();
}

void TfrmKavrin::PostingCommands(bool posting) {
    if (!posting)
        flushMemo();
    m_posting = posting;
    if (posting)
        m_ui->pgeKavrin->setCurrentWidget(m_ui->tabProgress);
    updateCommands();
    if (posting)
        m_progress->btnStopPosting->setFocus();
}

void TfrmKavrin::updateCommands() {
    const bool idle = !m_posting;
    const bool server = !serverBoxText().isEmpty();
    m_ui->barCool->setEnabled(idle);
    for (QMenu* menu : {m_ui->mniFile, m_ui->mniEdit, m_ui->mniHelp}) {
        menu->menuAction()->setEnabled(idle);
        // A disabled menu keeps its items' shortcuts alive: they are switched off one by one.
        for (QAction* action : menu->actions())
            action->setEnabled(idle);
    }
    m_ui->mniFilePostIt->setEnabled(idle && m_postItEnabled);
    m_btnPostIt->setEnabled(m_postItEnabled);
    m_ui->mniEditNewsgroups->setEnabled(idle && server);
    m_progress->btnStopPosting->setEnabled(m_posting);
    // Both open windows that fetch over a connection of their own.
    m_message->btnNewsgroupServer->setEnabled(idle);
    m_newsgroupsPage->btnNewsgroups->setEnabled(idle && server);
    m_newsgroupsPage->lstNewsgroups->setEnabled(server);
}
