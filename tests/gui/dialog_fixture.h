#pragma once

// What the tests of the server and newsgroup dialogs share: a window that opens them (its
// server box and newsgroup list, faked), and the context every window is given, with settings
// in memory and the list files in a temporary folder.

#include "gui/dialog_hosts.h"
#include "gui/gui_context.h"
#include "model/server_storage.h"
#include "platform/memory_settings_store.h"
#include "posting/nntp_job.h"

#include "support/gui_test.h"
#include "support/recording_file_chooser.h"
#include "support/recording_prompts.h"
#include "support/temp_dir.h"
#include "support/wait.h"

#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QTest>

#include <gtest/gtest.h>

#include <string>
#include <vector>

class FakeHost : public ServerBoxHost, public NewsgroupTarget {
public:
    QString boxText;
    int refreshed = 0;
    QStringList groups;
    int groupsSet = 0;

    QString serverBoxText() const override { return boxText; }
    void refreshServerBox() override { ++refreshed; }
    QStringList targetNewsgroups() const override { return groups; }
    void setTargetNewsgroups(const QStringList& list) override {
        groups = list;
        ++groupsSet;
    }
};

class DialogTest : public ::testing::Test {
protected:
    void TearDown() override {
        // Every busy cursor a dialog set is given back.
        EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
    }

    TServer storeServer(const std::string& name, int port, double lastUpdated = 0.0,
                        int count = 0) {
        TServer server;
        server.HostName = name;
        server.Port = port;
        server.LastUpdated = lastUpdated;
        server.NumberOfNewsgroups = count;
        EXPECT_TRUE(SaveServer(server, store, prompts));
        return server;
    }
    TServer stored(const std::string& name) {
        TServer server;
        server.HostName = name;
        EXPECT_TRUE(LoadServer(server, store, prompts));
        return server;
    }
    std::filesystem::path listFile(const std::string& host) const { return data / (host + ".txt"); }
    void writeList(const std::string& host, const std::vector<std::string>& names) {
        std::string text;
        for (const std::string& n : names)
            text += n + "\r\n";
        writeFile(listFile(host), text);
    }

    template <class T>
    T* control(QWidget* dialog, const char* name) {
        return findControl<T>(dialog, QString::fromLatin1(name));
    }
    void click(QWidget* dialog, const char* button) {
        QTest::mouseClick(control<QWidget>(dialog, button), Qt::LeftButton);
    }
    std::string text(QWidget* dialog, const char* edit) {
        return control<QLineEdit>(dialog, edit)->text().toStdString();
    }
    std::string label(QWidget* dialog, const char* name) {
        return control<QLabel>(dialog, name)->text().toStdString();
    }
    bool enabled(QWidget* dialog, const char* name) {
        return control<QWidget>(dialog, name)->isEnabled();
    }
    // A dialog that closes itself once the list is in.
    ::testing::AssertionResult closes(QWidget* dialog) {
        return waitFor([&] { return !dialog->isVisible(); }, 30000)
               << "; boxes: " << ::testing::PrintToString(prompts.texts());
    }

    // The controls the keyboard reaches from `first` with Tab, in order, by name: what a user
    // without a mouse walks through.
    std::vector<std::string> tabOrder(QWidget* dialog, QWidget* first) {
        EXPECT_TRUE(QTest::qWaitForWindowExposed(dialog));
        dialog->activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(dialog));
        EXPECT_EQ(QApplication::activeWindow(), dialog);
        first->setFocus(Qt::TabFocusReason);
        std::vector<std::string> order;
        for (QWidget* at = QApplication::focusWidget(); at;) {
            order.push_back(at->objectName().toStdString());
            QTest::keyClick(at, Qt::Key_Tab);
            at = QApplication::focusWidget();
            if (at == first || order.size() > 40)
                break;
        }
        return order;
    }

    MemorySettingsStore store;
    RecordingPrompts prompts;
    RecordingFileChooser files;
    TNNTPJob job;
    TempDir data;
    GuiContext context{store, prompts, files, job, data.path(), {}};
    FakeHost host;
};
