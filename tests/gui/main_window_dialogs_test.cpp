// The main window with the server list and the newsgroup selection dialog it opens.

#include "main_window_fixture.h"

#include "gui/newsgroup_servers_dialog.h"
#include "gui/newsgroups_dialog.h"
#include "widgets/vlistbox.h"

#include <QComboBox>
#include <QListWidget>
#include <QToolButton>

TEST_F(MainWindowTest, DeletingTheShownServerLeavesTheServerBoxWithNothingSelected) {
    seedStore();
    storeLast(workProject());
    start();
    auto* box = control<QComboBox>("cbxNewsgroupServer");
    ASSERT_EQ(box->currentText(), QStringLiteral("news.example.com"));
    prompts.answerNext(PromptAnswer::Yes);
    {
        const auto servers = ModalHandler::on<TfrmNewsgroupServers>([](TfrmNewsgroupServers* d) {
            auto* list = d->findChild<QListWidget*>(QStringLiteral("lstNewsgroupServers"));
            EXPECT_EQ(list->currentItem()->text(), QStringLiteral("news.example.com"));
            QTest::mouseClick(d->findChild<QWidget*>(QStringLiteral("btnDelete")), Qt::LeftButton);
            QTest::mouseClick(d->findChild<QWidget*>(QStringLiteral("btnOk")), Qt::LeftButton);
        });
        control<QToolButton>("btnNewsgroupServer")->click();
    }
    EXPECT_EQ(box->count(), 1);
    EXPECT_EQ(box->currentIndex(), -1);
    EXPECT_EQ(box->currentText(), QString());
}

TEST_F(MainWindowTest, TheSelectionDialogWorksOnTheShownServerAndHandsBackTheProjectsGroups) {
    seedStore();
    storeLast(workProject());
    writeFile(dir / "news.example.com.txt", "alt.pictures\r\nalt.test\r\ncomp.lang.c\r\n");
    start();
    {
        const auto selection = ModalHandler::on<TfrmNewsgroups>([](TfrmNewsgroups* d) {
            EXPECT_EQ(d->windowTitle(), QStringLiteral("Kavrin/32 - news.example.com"));
            EXPECT_EQ(d->SelectedNewsgroups().size(), 2u);  // the project's two
            auto* available = d->findChild<TVListBox*>(QStringLiteral("lstAvailableNewsgroups"));
            clickAt(available->viewport(), available->RowRect(2).center());
            QTest::mouseClick(d->findChild<QWidget*>(QStringLiteral("btnAddSelected")),
                              Qt::LeftButton);
            QTest::mouseClick(d->findChild<QWidget*>(QStringLiteral("btnOk")), Qt::LeftButton);
        });
        control<QToolButton>("btnNewsgroups")->click();
    }
    EXPECT_EQ(window->targetNewsgroups(),
              (QStringList{QStringLiteral("alt.test"), QStringLiteral("alt.pictures"),
                           QStringLiteral("comp.lang.c")}));
    EXPECT_EQ(control<TVListBox>("lstNewsgroups")->RowCount(), 3);
    // Cancel leaves the project's list as it was.
    {
        const auto selection = ModalHandler::on<TfrmNewsgroups>([](TfrmNewsgroups* d) {
            QTest::mouseClick(d->findChild<QWidget*>(QStringLiteral("btnRemoveAll")),
                              Qt::LeftButton);
            QTest::mouseClick(d->findChild<QWidget*>(QStringLiteral("btnCancel")), Qt::LeftButton);
        });
        control<QToolButton>("btnNewsgroups")->click();
    }
    EXPECT_EQ(window->targetNewsgroups().size(), 3);
}
