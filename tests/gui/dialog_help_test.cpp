// F1 in each dialog opens its own page of the help book, over the dialog as a user has it open.

#include "dialog_fixture.h"

#include "gui/help_window.h"
#include "gui/newsgroup_servers_dialog.h"
#include "gui/newsgroups_dialog.h"
#include "gui/search_dialog.h"
#include "gui/server_properties_dialog.h"

#include <QApplication>
#include <QDialog>

#include <functional>
#include <memory>

namespace {

class DialogHelp : public DialogTest {
protected:
    void TearDown() override {
        delete currentHelpWindow();
        DialogTest::TearDown();
    }
};

}  // namespace

TEST_F(DialogHelp, F1OpensTheDialogsOwnPage) {
    storeServer("news.example.net", 119);
    host.boxText = QStringLiteral("news.example.net");
    auto selection = std::make_unique<TfrmNewsgroups>(context, host.boxText, host);
    struct Case {
        const char* page;
        std::function<std::unique_ptr<QDialog>()> open;
    };
    const Case cases[] = {
        {"server-list.html",
         [&] { return std::make_unique<TfrmNewsgroupServers>(context, host, nullptr); }},
        {"server-properties.html",
         [&] { return std::make_unique<TfrmServerProperties>(context, host.boxText); }},
        {"newsgroups.html",
         [&] { return std::make_unique<TfrmNewsgroups>(context, host.boxText, host); }},
        {"search.html", [&] { return std::make_unique<TfrmSearch>(context, *selection); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.page);
        const std::unique_ptr<QDialog> dialog = c.open();
        dialog->open();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(dialog.get()));
        dialog->activateWindow();  // shortcuts belong to the active window
        ASSERT_TRUE(QTest::qWaitForWindowActive(dialog.get()));
        QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : dialog.get(),
                        Qt::Key_F1);
        ASSERT_NE(currentHelpWindow(), nullptr);
        EXPECT_EQ(currentHelpWindow()->currentPage().fileName(), QString::fromLatin1(c.page));
        dialog->close();
    }
}
