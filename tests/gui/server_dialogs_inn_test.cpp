// The server properties dialog against the loopback INN server's secured ports.

#include "gui/server_properties_dialog.h"

#include "dialog_fixture.h"

#include "support/nntp_test_support.h"

#include <QComboBox>
#include <QSpinBox>

namespace {

class ServerDialogsInnTest : public DialogTest {};

// The test INN server's secured ports, with the test authority as the server's own trusted
// certificate file.
TEST_F(ServerDialogsInnTest, GetNewsgroupsOverTlsAndStartTlsTrustsTheServersCertificateFile) {
    const auto inn = innTestServerOrStop();
    if (!inn)
        return;
    struct Case {
        const char* what;
        int security;
        int port;
        bool fetched;
    };
    const Case cases[] = {
        {"STARTTLS", kSecurityStartTls, inn->port, true},
        {"TLS", kSecurityTlsOnConnect, inn->tlsPort, true},
        {"TLS, a certificate for another host", kSecurityTlsOnConnect, inn->wrongHostPort, false},
    };
    const std::string name = inn->host.toStdString();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::filesystem::remove(listFile(name));
        store.deleteKeyTree(serverKeyPath(name));  // a new server each round
        prompts.clear();
        TfrmServerProperties dialog(context, QString());
        dialog.open();
        control<QLineEdit>(&dialog, "edtNewsgroupServer")->setText(inn->host);
        control<QComboBox>(&dialog, "cbxSecurity")->setCurrentIndex(c.security);
        control<QSpinBox>(&dialog, "spnPortNumber")->setValue(c.port);
        control<QLineEdit>(&dialog, "edtCaFile")->setText(inn->caFile);
        prompts.answerNext(PromptAnswer::Yes);
        click(&dialog, "btnOk");
        if (c.fetched) {
            ASSERT_TRUE(closes(&dialog));
            const std::string list = readFile(listFile(name));
            for (const QString& group : inn->groups)
                EXPECT_NE(list.find(group.toStdString() + "\r\n"), std::string::npos) << list;
            EXPECT_GT(stored(name).NumberOfNewsgroups, 0);
        } else {
            // The refusal names its reason, and the dialog stays for the user to mend it.
            ASSERT_TRUE(waitFor([&] { return prompts.shown().size() >= 2; }, 30000));
            EXPECT_TRUE(prompts.texts()[1].starts_with("Secure connection to " + name + " failed"))
                << prompts.texts()[1];
            EXPECT_TRUE(waitFor([&] { return enabled(&dialog, "btnOk"); }, 30000));
            EXPECT_TRUE(dialog.isVisible());
            EXPECT_FALSE(std::filesystem::exists(listFile(name)));
            EXPECT_EQ(stored(name).NumberOfNewsgroups, 0);
        }
        EXPECT_EQ(stored(name).CaFile, inn->caFile.toStdString());
    }
}

}  // namespace
