#pragma once

#include "gui/main_window.h"
#include "model/project_storage.h"
#include "model/server_storage.h"
#include "platform/memory_settings_store.h"
#include "support/gui_test.h"
#include "support/recording_file_chooser.h"
#include "support/recording_prompts.h"
#include "support/temp_dir.h"

#include <QString>
#include <QStringList>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>
#include <string>

// A main window over a settings store in memory, with message boxes and file dialogs answered
// from scripts and the data folder in a fresh temporary folder.
class MainWindowTest : public ::testing::Test {
protected:
    TempDir dir;
    MemorySettingsStore store;
    RecordingPrompts prompts;
    RecordingFileChooser files;
    TNNTPJob job;
    GuiContext context{store, prompts, files, job, dir.path(), {}};
    TAdvanced advanced;
    ValueLists lists;
    std::unique_ptr<TfrmKavrin> window;

    // A store the program has run on before: two servers and a "Default" project.
    void seedStore() {
        addServer("news.example.com");
        addServer("news.other.net");
        TProject defaults = TProject::FirstStartDefault();
        defaults.FromName = "Ann Example";
        defaults.FromEmailAddress = "ann@example.com";
        ASSERT_TRUE(SaveProjectToRegistry(defaults, "Default", store, prompts));
    }
    void addServer(const std::string& host, int port = 119) {
        TServer server;
        server.HostName = host;
        server.Port = port;
        ASSERT_TRUE(SaveServer(server, store, prompts));
    }
    // A project the user was working on: server, headers, two newsgroups, a message.
    static TProject workProject() {
        TProject p = TProject::FirstStartDefault();
        p.Name = "Untitled";
        p.Server.HostName = "news.example.com";
        p.Subject = "Holiday pictures";
        p.FromName = "Ann Example";
        p.FromEmailAddress = "ann@example.com";
        p.FollowUpTo = "alt.test";
        p.XNoArchive = "No";
        p.SetNewsgroupsText("alt.test\r\nalt.pictures\r\n");
        p.Body = {"Some pictures.", "", "Enjoy!"};
        return p;
    }
    void storeLast(const TProject& project) {
        ASSERT_TRUE(SaveProjectToRegistry(project, "Last", store, prompts));
    }

    void start(QStringList arguments = {}) {
        window = std::make_unique<TfrmKavrin>(context, advanced, lists, std::move(arguments));
        showAndWait(window.get());
        window->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    }

    template <class T>
    T* control(const char* name) {
        return findControl<T>(window.get(), QString::fromLatin1(name));
    }

    // What the store holds under "Last", read back as the next start would.
    TProject storedProject(const char* key) {
        TProject p;
        EXPECT_TRUE(LoadProjectFromRegistry(p, key, store, prompts));
        return p;
    }
};
