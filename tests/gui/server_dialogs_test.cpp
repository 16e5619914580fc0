// The server list and server properties dialogs, offscreen, against the scripted server and
// the test INN server.

#include "gui/newsgroup_servers_dialog.h"
#include "gui/server_properties_dialog.h"

#include "dialog_fixture.h"

#include "support/nntp_test_support.h"
#include "support/scripted_nntp_server.h"
#include "support/test_certificates.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QSpinBox>

#include <cmath>

namespace {

double now() {
    return toRecordDateTime(QDateTime::currentDateTime());
}

class ServerDialogsTest : public DialogTest {
protected:
    ServerDialogsTest() {
        server.listenBelow(32768);
        server.replies("MODE", {"200 reader\r\n"});
        server.replies("QUIT", {"205 bye\r\n"});
        server.replies("LIST", {"215 list\r\nb.two 2 1 y\r\nA.one 1 1 y\r\n.\r\n"});
    }

    ScriptedNntpServer server;
    const std::string local = "127.0.0.1";
};

TEST_F(ServerDialogsTest, ANewServerIsSavedAndItsListFetchedWhenTheUserSaysYes) {
    for (const PromptAnswer answer : {PromptAnswer::No, PromptAnswer::Yes}) {
        const bool yes = answer == PromptAnswer::Yes;
        SCOPED_TRACE(yes ? "Yes" : "No");
        prompts.clear();
        store.deleteKeyTree(serverKeyPath(local));  // a new server each round
        TfrmServerProperties dialog(context, QString());
        dialog.open();
        EXPECT_EQ(text(&dialog, "edtPortNumber"), "119");
        EXPECT_EQ(text(&dialog, "edtNumberOfNewsgroups"), "0");
        EXPECT_EQ(text(&dialog, "edtLastUpdated"), "");
        EXPECT_FALSE(enabled(&dialog, "btnGetNewsgroups"));
        EXPECT_FALSE(enabled(&dialog, "btnNewNewsgroups"));
        typeText(control<QLineEdit>(&dialog, "edtNewsgroupServer"), QString::fromStdString(local));
        EXPECT_TRUE(enabled(&dialog, "btnGetNewsgroups"));
        control<QSpinBox>(&dialog, "spnPortNumber")->setValue(server.port());

        prompts.answerNext(answer);
        click(&dialog, "btnOk");
        ASSERT_FALSE(prompts.shown().empty());
        EXPECT_EQ(prompts.shown()[0].text,
                  "Would you like to retrieve the list of newsgroups from\r127.0.0.1 now?");
        EXPECT_EQ(prompts.shown()[0].kind, PromptKind::Confirmation);
        ASSERT_TRUE(closes(&dialog));
        EXPECT_EQ(dialog.result(), QDialog::Accepted);
        const TServer record = stored(local);
        EXPECT_EQ(record.Port, server.port());
        EXPECT_EQ(record.NumberOfNewsgroups, yes ? 2 : 0);
        if (yes) {
            EXPECT_LT(std::fabs(record.LastUpdated - now()), 1.0 / 24 / 60);
            EXPECT_EQ(readFile(listFile(local)), "A.one\r\nb.two\r\n");
        } else {
            EXPECT_EQ(record.LastUpdated, 0.0);
            EXPECT_FALSE(std::filesystem::exists(listFile(local)));
            // Never fetched: there is nothing to update.
            TfrmServerProperties again(context, QString::fromStdString(local));
            EXPECT_FALSE(enabled(&again, "btnNewNewsgroups"));
            EXPECT_EQ(text(&again, "edtLastUpdated"), "");
            EXPECT_TRUE(control<QLineEdit>(&again, "edtNewsgroupServer")->isReadOnly());
        }
        EXPECT_EQ(prompts.shown().size(), 1u);
    }
}

TEST_F(ServerDialogsTest, OkOffersTheNewGroupsOnlyWhenTheListIsMoreThanADayOld) {
    struct Case {
        const char* what;
        double age;  // days
        bool listFile;
        bool asked;
        const char* command;  // what the fetch asked for, if any
        const char* file;
    };
    const Case cases[] = {
        {"updated an hour ago", 1.0 / 24, true, false, nullptr, "A.one\r\n"},
        {"updated two days ago", 2.0, true, true, "NEWGROUPS", "A.one\r\nc.new\r\n"},
        // Without its file an update would keep only the new groups: the whole list comes.
        {"two days ago, list file gone", 2.0, false, true, "LIST", "A.one\r\nb.two\r\n"},
    };
    server.replies("NEWGROUPS", {"231 new\r\nc.new 1 1 y\r\n.\r\n"});
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::filesystem::remove(listFile(local));
        if (c.listFile)
            writeList(local, {"A.one"});
        const double updated = now() - c.age;
        storeServer(local, server.port(), updated, 1);
        server.commands.clear();
        prompts.clear();
        prompts.answerNext(PromptAnswer::Yes);

        TfrmServerProperties dialog(context, QString::fromStdString(local));
        dialog.open();
        EXPECT_EQ(text(&dialog, "edtLastUpdated"), lastUpdatedText(updated).toStdString());
        click(&dialog, "btnOk");
        ASSERT_TRUE(closes(&dialog));
        const std::vector<std::string> question = {
            "Would you like to retrieve the list of new newsgroups from 127.0.0.1 now?"};
        EXPECT_EQ(prompts.texts(), c.asked ? question : std::vector<std::string>{});
        const bool fetched = c.command != nullptr;
        EXPECT_EQ(std::any_of(server.commands.begin(), server.commands.end(),
                              [&](const QByteArray& line) {
                                  return fetched && line.startsWith(c.command);
                              }),
                  fetched);
        EXPECT_EQ(std::filesystem::exists(listFile(local)) ? readFile(listFile(local)) : "",
                  c.listFile || fetched ? c.file : "");
        EXPECT_EQ(stored(local).LastUpdated > updated, fetched);
    }
}

TEST_F(ServerDialogsTest, AChangedPasswordIsSavedOnlyOnceTheVerificationMatches) {
    storeServer("news.example.com", 119, now(), 0);
    TfrmServerProperties dialog(context, QStringLiteral("news.example.com"));
    dialog.open();
    dialog.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog));
    auto* verify = control<QLineEdit>(&dialog, "edtVerifyPassword");
    EXPECT_FALSE(verify->isEnabled());
    EXPECT_FALSE(enabled(&dialog, "lblVerifyPassword"));
    typeText(control<QLineEdit>(&dialog, "edtPassword"), QStringLiteral("Secret-1"));
    EXPECT_TRUE(verify->isEnabled());
    EXPECT_TRUE(enabled(&dialog, "lblVerifyPassword"));

    const std::string mismatch = "Password and Verify Password do not match";
    for (const char* typed : {"", "secret-1"}) {
        SCOPED_TRACE(typed);
        verify->setText(QString::fromLatin1(typed));
        prompts.clear();
        click(&dialog, "btnOk");
        EXPECT_EQ(prompts.texts(), std::vector<std::string>{mismatch});
        EXPECT_TRUE(dialog.isVisible());
        EXPECT_EQ(stored("news.example.com").Password, "");
    }

    // Leaving the field with the keyboard checks it too.
    verify->setFocus();
    prompts.clear();
    pressKey(verify, Qt::Key_Tab);
    EXPECT_EQ(prompts.texts(), std::vector<std::string>{mismatch});
    verify->setText(QStringLiteral("Secret-1"));
    verify->setFocus();
    pressKey(verify, Qt::Key_Tab);
    EXPECT_FALSE(verify->isEnabled());
    EXPECT_EQ(prompts.texts().size(), 1u);

    click(&dialog, "btnOk");
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(stored("news.example.com").Password, "Secret-1");
}

TEST_F(ServerDialogsTest, OkRefusesWhatCannotBeSavedAndStaysOpen) {
    struct Case {
        const char* what;
        QString name;
        std::string message;
    };
    const Case cases[] = {
        {"no name", QString(),
         "Enter a newsgroup server name before saving, or\rclick Cancel to abandon changes."},
        {"a name with a blank", QStringLiteral("news example"),
         std::string(kInvalidHostNameMessage)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        prompts.clear();
        TfrmServerProperties dialog(context, QString());
        dialog.open();
        control<QLineEdit>(&dialog, "edtNewsgroupServer")->setText(c.name);
        click(&dialog, "btnOk");
        EXPECT_EQ(prompts.texts(), std::vector<std::string>{c.message});
        EXPECT_TRUE(dialog.isVisible());
        EXPECT_TRUE(serverNames(store).empty());
    }
}

TEST_F(ServerDialogsTest, ANewServerOfAStoredOnesNameReplacesItOnlyWhenTheUserSaysSo) {
    TServer kept;
    kept.HostName = "news.example.com";
    kept.Port = 119;
    kept.UserName = "kept";
    ASSERT_TRUE(SaveServer(kept, store, prompts));
    for (const PromptAnswer answer : {PromptAnswer::No, PromptAnswer::Yes}) {
        const bool yes = answer == PromptAnswer::Yes;
        SCOPED_TRACE(yes ? "Yes" : "No");
        prompts.clear();
        TfrmServerProperties dialog(context, QString());
        dialog.open();
        control<QLineEdit>(&dialog, "edtNewsgroupServer")
            ->setText(QStringLiteral("NEWS.example.com"));
        control<QLineEdit>(&dialog, "edtUserName")->setText(QStringLiteral("new"));
        prompts.answerNext(answer);
        if (yes)
            prompts.answerNext(PromptAnswer::No);  // no list now
        click(&dialog, "btnOk");
        ASSERT_FALSE(prompts.shown().empty());
        EXPECT_EQ(prompts.shown()[0].text,
                  "A newsgroup server named news.example.com is already "
                  "in the list.\rReplace its settings with these?");
        EXPECT_EQ(dialog.isVisible(), !yes);
        EXPECT_EQ(serverNames(store).size(), 1u);
        EXPECT_EQ(stored("news.example.com").UserName, yes ? "new" : "kept");
    }
}

TEST_F(ServerDialogsTest, PortsStayWithinTheirRangeAndAStoredOneIsKept) {
    TfrmServerProperties fresh(context, QString());
    auto* port = control<QSpinBox>(&fresh, "spnPortNumber");
    port->setValue(40000);
    EXPECT_EQ(port->value(), 32767);

    // A record stored with a port beyond what can be typed keeps it through a save.
    storeServer("big.example.com", 40119, now(), 0);
    TfrmServerProperties dialog(context, QStringLiteral("big.example.com"));
    dialog.open();
    EXPECT_EQ(text(&dialog, "edtPortNumber"), "40119");
    click(&dialog, "btnOk");
    EXPECT_EQ(stored("big.example.com").Port, 40119);
}

TEST_F(ServerDialogsTest, SecurityMovesADefaultPortAndEnablesTheCertificateFile) {
    struct Case {
        int from, to;
        int portBefore, portAfter;
    };
    const Case cases[] = {
        {kSecurityNone, kSecurityTlsOnConnect, 119, 563},
        {kSecurityTlsOnConnect, kSecurityStartTls, 563, 119},
        {kSecurityTlsOnConnect, kSecurityNone, 563, 119},
        {kSecurityStartTls, kSecurityTlsOnConnect, 119, 563},
        {kSecurityNone, kSecurityTlsOnConnect, 8119, 8119},  // not a default: left alone
        {kSecurityNone, kSecurityStartTls, 563, 563},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.from << " to " << c.to << " at " << c.portBefore);
        TfrmServerProperties dialog(context, QString());
        auto* security = control<QComboBox>(&dialog, "cbxSecurity");
        auto* port = control<QSpinBox>(&dialog, "spnPortNumber");
        security->setCurrentIndex(c.from);
        port->setValue(c.portBefore);
        security->setCurrentIndex(c.to);
        EXPECT_EQ(port->value(), c.portAfter);
        EXPECT_EQ(enabled(&dialog, "edtCaFile"), c.to != kSecurityNone);
        EXPECT_EQ(enabled(&dialog, "btnCaFile"), c.to != kSecurityNone);
    }
    EXPECT_EQ(control<QComboBox>(std::make_unique<TfrmServerProperties>(context, QString()).get(),
                                 "cbxSecurity")
                  ->count(),
              3);
}

TEST_F(ServerDialogsTest, TheCertificateFileIsChosenCheckedAndStored) {
    const TestCertificates authority;
    const std::string pem = authority.caFile().toStdString();
    const std::string notPem = (data / "notes.txt").string();
    writeFile(notPem, "not a certificate");

    TfrmServerProperties dialog(context, QString());
    dialog.open();
    control<QLineEdit>(&dialog, "edtNewsgroupServer")->setText(QStringLiteral("secure.example"));
    control<QComboBox>(&dialog, "cbxSecurity")->setCurrentIndex(kSecurityStartTls);
    files.answerNext(QString::fromStdString(notPem));
    click(&dialog, "btnCaFile");
    ASSERT_EQ(files.asked().size(), 1u);
    EXPECT_EQ(text(&dialog, "edtCaFile"), notPem);
    click(&dialog, "btnOk");
    EXPECT_EQ(prompts.texts(), std::vector<std::string>{"The trusted certificate file \"" + notPem +
                                                        "\" holds no certificate in PEM form."});
    EXPECT_TRUE(dialog.isVisible());

    files.answerNext(QString::fromStdString(pem));
    click(&dialog, "btnCaFile");
    prompts.answerNext(PromptAnswer::No);  // no list now
    click(&dialog, "btnOk");
    EXPECT_FALSE(dialog.isVisible());
    const TServer record = stored("secure.example");
    EXPECT_EQ(record.Security, kSecurityStartTls);
    EXPECT_EQ(record.CaFile, pem);
}

TEST_F(ServerDialogsTest, CancelAfterGetKeepsTheNewFileButTheStoredCountAndTime) {
    writeList(local, {"old.group"});
    const TServer before = storeServer(local, server.port(), 45000.5, 1);
    TfrmServerProperties dialog(context, QString::fromStdString(local));
    dialog.open();
    click(&dialog, "btnGetNewsgroups");
    // While the list comes in, the buttons are off.
    EXPECT_FALSE(enabled(&dialog, "btnOk"));
    EXPECT_FALSE(enabled(&dialog, "btnGetNewsgroups"));
    ASSERT_TRUE(waitFor([&] { return text(&dialog, "edtNumberOfNewsgroups") == "2"; }));
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_TRUE(enabled(&dialog, "btnOk"));
    EXPECT_NE(text(&dialog, "edtLastUpdated"), lastUpdatedText(before.LastUpdated).toStdString());
    click(&dialog, "btnCancel");
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(readFile(listFile(local)), "A.one\r\nb.two\r\n");
    EXPECT_EQ(stored(local).NumberOfNewsgroups, 1);
    EXPECT_EQ(stored(local).LastUpdated, 45000.5);
}

TEST_F(ServerDialogsTest, ClosingWhileTheListComesInChangesNothing) {
    writeList(local, {"old.group"});
    storeServer(local, server.port(), 45000.5, 1);
    server.replies("LIST", {ScriptedNntpServer::kSilent});
    TfrmServerProperties dialog(context, QString::fromStdString(local));
    dialog.open();
    click(&dialog, "btnGetNewsgroups");
    ASSERT_TRUE(waitFor([&] { return server.commands.contains("LIST"); }, 10000));
    EXPECT_NE(QGuiApplication::overrideCursor(), nullptr);
    dialog.reject();
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
    EXPECT_EQ(job.Value, jobNothing);
    ASSERT_TRUE(waitFor([&] { return server.disconnections == 1; }, 10000));
    EXPECT_EQ(readFile(listFile(local)), "old.group\r\n");
    EXPECT_EQ(stored(local).LastUpdated, 45000.5);
}

TEST_F(ServerDialogsTest, TheListSelectsTheMainWindowsServerAndRefreshesBothBoxesOnClosing) {
    for (const char* name : {"news.a.example", "News.B.example", "news.c.example"})
        storeServer(name, 119);
    host.boxText = QStringLiteral("news.b.EXAMPLE");
    FakeHost preferences;
    for (ServerBoxHost* second :
         {static_cast<ServerBoxHost*>(nullptr), static_cast<ServerBoxHost*>(&preferences)}) {
        host.refreshed = preferences.refreshed = 0;
        TfrmNewsgroupServers dialog(context, host, second);
        dialog.open();
        auto* list = control<QListWidget>(&dialog, "lstNewsgroupServers");
        ASSERT_EQ(list->count(), 3);
        ASSERT_NE(list->currentItem(), nullptr);
        EXPECT_EQ(list->currentItem()->text().toStdString(), "News.B.example");
        EXPECT_TRUE(list->currentItem()->isSelected());
        click(&dialog, "btnOk");
        EXPECT_FALSE(dialog.isVisible());
        EXPECT_EQ(host.refreshed, 1);
        EXPECT_EQ(preferences.refreshed, second ? 1 : 0);
    }
    host.boxText = QStringLiteral("gone.example");
    TfrmNewsgroupServers none(context, host, nullptr);
    EXPECT_EQ(control<QListWidget>(&none, "lstNewsgroupServers")->selectedItems().size(), 0);
}

TEST_F(ServerDialogsTest, DeleteAsksAndKeepsTheListFile) {
    storeServer("news.a.example", 119);
    storeServer("news.b.example", 119);
    writeList("news.b.example", {"kept.group"});
    host.boxText = QStringLiteral("news.b.example");
    TfrmNewsgroupServers dialog(context, host, nullptr);
    dialog.open();
    auto* list = control<QListWidget>(&dialog, "lstNewsgroupServers");
    list->setFocus();

    prompts.answerNext(PromptAnswer::No);
    pressKey(list, Qt::Key_Delete);
    EXPECT_EQ(prompts.texts(), std::vector<std::string>{
                                   "Remove news.b.example from you list of newsgroup servers?"});
    EXPECT_EQ(list->count(), 2);

    prompts.answerNext(PromptAnswer::Yes);
    click(&dialog, "btnDelete");
    EXPECT_EQ(list->count(), 1);
    EXPECT_EQ(serverNames(store), std::vector<std::string>{"news.a.example"});
    EXPECT_TRUE(std::filesystem::exists(listFile("news.b.example")));
    // Nothing is selected now, so Delete again removes nothing.
    prompts.clear();
    pressKey(list, Qt::Key_Delete);
    EXPECT_TRUE(prompts.shown().empty());
    EXPECT_EQ(list->count(), 1);
    dialog.accept();
    EXPECT_EQ(host.refreshed, 1);
}

TEST_F(ServerDialogsTest, AddAndPropertiesOpenTheServerPropertiesDialog) {
    storeServer("news.a.example", 119);
    host.boxText = QStringLiteral("news.a.example");
    TfrmNewsgroupServers dialog(context, host, nullptr);
    dialog.open();
    auto* list = control<QListWidget>(&dialog, "lstNewsgroupServers");
    list->setFocus();

    // Insert in the list adds; the new server is listed but the main window's stays selected.
    {
        const auto adding =
            ModalHandler::on<TfrmServerProperties>([&](TfrmServerProperties* properties) {
                EXPECT_EQ(text(properties, "edtNewsgroupServer"), "");
                control<QLineEdit>(properties, "edtNewsgroupServer")
                    ->setText(QStringLiteral("news.new.example"));
                prompts.answerNext(PromptAnswer::No);
                click(properties, "btnOk");
            });
        pressKey(list, Qt::Key_Insert);
    }
    ASSERT_EQ(list->count(), 2);
    EXPECT_EQ(list->currentItem()->text().toStdString(), "news.a.example");

    // Enter, a double-click, the button and the menu open the selected server.
    std::string opened;
    const std::vector<std::pair<const char*, std::function<void()>>> ways = {
        {"Enter", [&] { pressKey(list, Qt::Key_Return); }},
        {"double-click",
         [&] {
             // The press that a double-click's second press follows.
             const QPoint at = list->visualItemRect(list->currentItem()).center();
             QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::NoModifier, at);
             QTest::mouseDClick(list->viewport(), Qt::LeftButton, Qt::NoModifier, at);
         }},
        {"button", [&] { click(&dialog, "btnProperties"); }},
        {"menu", [&] { control<QAction>(&dialog, "mniNewsgroupServerProperties")->trigger(); }},
    };
    for (const auto& [way, run] : ways) {
        SCOPED_TRACE(way);
        opened.clear();
        const auto handler =
            ModalHandler::on<TfrmServerProperties>([&](TfrmServerProperties* properties) {
                opened = text(properties, "edtNewsgroupServer");
                properties->reject();
            });
        run();
        EXPECT_EQ(opened, "news.a.example");
    }
}

TEST_F(ServerDialogsTest, TheKeyboardReachesEveryControlInReadingOrder) {
    using Order = std::vector<std::string>;
    storeServer("news.example.com", 119, now(), 3);
    host.boxText = QStringLiteral("news.example.com");
    TfrmNewsgroupServers list(context, host, nullptr);
    list.open();
    EXPECT_EQ(tabOrder(&list, control<QWidget>(&list, "lstNewsgroupServers")),
              (Order{"lstNewsgroupServers", "btnAdd", "btnDelete", "btnProperties", "btnOk"}));

    TfrmServerProperties dialog(context, QStringLiteral("news.example.com"));
    dialog.open();
    auto* server = control<QWidget>(&dialog, "edtNewsgroupServer");
    EXPECT_EQ(tabOrder(&dialog, server),
              (Order{"edtNewsgroupServer", "spnPortNumber", "cbxSecurity", "edtUserName",
                     "edtPassword", "btnGetNewsgroups", "btnNewNewsgroups", "btnOk", "btnCancel"}));
    // Secured, the certificate file comes in after the security; a new password brings its
    // verification after it.
    control<QComboBox>(&dialog, "cbxSecurity")->setCurrentIndex(kSecurityStartTls);
    control<QLineEdit>(&dialog, "edtPassword")->setText(QStringLiteral("pw"));
    EXPECT_EQ(tabOrder(&dialog, server),
              (Order{"edtNewsgroupServer", "spnPortNumber", "cbxSecurity", "edtCaFile", "btnCaFile",
                     "edtUserName", "edtPassword", "edtVerifyPassword", "btnGetNewsgroups",
                     "btnNewNewsgroups", "btnOk", "btnCancel"}));
    prompts.clear();
    // (The verification was left empty on the way round.)
    EXPECT_TRUE(dialog.isVisible());

    // Every button answers Space once it has the focus: here OK, after the verification.
    control<QLineEdit>(&dialog, "edtVerifyPassword")->setText(QStringLiteral("pw"));
    auto* ok = control<QWidget>(&dialog, "btnOk");
    ok->setFocus(Qt::TabFocusReason);
    QTest::keyClick(ok, Qt::Key_Space);
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(stored("news.example.com").Security, kSecurityStartTls);
}

}  // namespace
