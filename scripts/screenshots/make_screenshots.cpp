// Pictures of the program's windows for the README and the help book, drawn offscreen from the
// real windows over a demo settings folder.
//
//   make_screenshots OUTPUT_FOLDER
//
// The demo settings folder (settings and a server's newsgroup list) is made afresh in a
// temporary folder through the program's own storage code, so it always has the form the
// program reads. The signature and the attached files are named in a made-up home folder, so
// the pictures come out the same on every run.

#include "gui/about_dialog.h"
#include "gui/file_chooser.h"
#include "gui/gui_context.h"
#include "gui/help_window.h"
#include "gui/main_window.h"
#include "gui/newsgroup_servers_dialog.h"
#include "gui/newsgroups_dialog.h"
#include "gui/search_dialog.h"
#include "gui/server_properties_dialog.h"
#include "gui/preferences_dialog.h"
#include "gui/splash.h"
#include "model/advanced_storage.h"
#include "model/project.h"
#include "model/program_start.h"
#include "model/project_storage.h"
#include "model/server.h"
#include "model/server_storage.h"
#include "platform/file_settings_store.h"

#include <QAbstractButton>
#include <QApplication>
#include <QLineEdit>
#include <QDir>
#include <QFile>
#include <QPixmap>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

namespace {

QString g_output;
int g_failures = 0;

void save(QWidget* window, const QString& name, QSize size = QSize()) {
    if (size.isValid())
        window->resize(size);
    window->show();
    if (!QTest::qWaitForWindowExposed(window)) {
        std::fprintf(stderr, "%s: not shown\n", qPrintable(name));
        ++g_failures;
        return;
    }
    QTest::qWait(300);  // pictures drawn in a later pass, fades (a line edit's clear button)
    const QString file = g_output + QLatin1Char('/') + name + QStringLiteral(".png");
    if (!window->grab().save(file)) {
        std::fprintf(stderr, "%s: cannot write\n", qPrintable(file));
        ++g_failures;
        return;
    }
    std::printf("%s\n", qPrintable(file));
}

void writeText(const QString& path, const QByteArray& text) {
    QFile file(path);
    if (file.open(QIODevice::WriteOnly))
        file.write(text);
}

std::string lines(const std::vector<std::string>& items) {
    std::string text;
    for (const std::string& item : items)
        text += item + "\r\n";
    return text;
}

// Message boxes would wait for a click no one makes: each is printed and answered No.
class PrintedPrompts : public UserPrompts {
public:
    PromptAnswer show(PromptKind, PromptButtons buttons, std::string_view text,
                      std::string_view) override {
        std::fprintf(stderr, "message box: %.*s\n", int(text.size()), text.data());
        return buttons == PromptButtons::Ok ? PromptAnswer::Ok : PromptAnswer::No;
    }
};

// A user who has set up one news server, fetched its groups and posted a few times.
struct Demo {
    QTemporaryDir root;
    QString config, data;
    const QString files = QStringLiteral("/home/ada/Pictures");
    std::unique_ptr<FileSettingsStore> store;
    PrintedPrompts prompts;
    QtFileChooser chooser;
    TNNTPJob job;
    std::unique_ptr<GuiContext> context;

    Demo() {
        config = root.filePath(QStringLiteral("config"));
        data = root.filePath(QStringLiteral("data"));
        for (const QString& dir : {config, data})
            QDir().mkpath(dir);
        qputenv("KAVRIN32_CONFIG_DIR", config.toUtf8());
        qputenv("KAVRIN32_DATA_DIR", data.toUtf8());
        store = std::make_unique<FileSettingsStore>(
            (config + QStringLiteral("/settings.reg")).toStdString(), &prompts);
        context = std::make_unique<GuiContext>(
            GuiContext{*store, prompts, chooser, job, data.toStdString(), QString()});

        const std::vector<std::string> groups = {"alt.binaries.pictures.nature",
                                                 "alt.binaries.pictures.landscapes",
                                                 "alt.binaries.pictures.flowers",
                                                 "alt.binaries.pictures.wildlife",
                                                 "alt.binaries.sounds.mp3.classical",
                                                 "alt.photography",
                                                 "comp.os.linux.announce",
                                                 "comp.os.linux.misc",
                                                 "de.alt.fotografie",
                                                 "news.announce.newgroups",
                                                 "rec.arts.books",
                                                 "rec.photo.digital",
                                                 "rec.photo.equipment.35mm",
                                                 "rec.photo.technique.nature",
                                                 "uk.rec.photo",
                                                 "misc.test"};
        writeText(data + QStringLiteral("/news.example.net.txt"),
                  QByteArray::fromStdString(lines(groups)));

        TServer server;
        server.HostName = "news.example.net";
        server.Port = 563;
        server.Security = kSecurityTlsOnConnect;
        server.NumberOfNewsgroups = static_cast<std::int32_t>(groups.size());
        server.LastUpdated = 46000.5;  // 9 December 2025, noon
        server.UserName = "ada";
        server.Password = "demo";
        SaveServer(server, *store, prompts);
        TServer second;
        second.HostName = "news.example.org";
        second.Port = 119;
        SaveServer(second, *store, prompts);

        ValueLists lists;
        lists.Subjects = {"Spring meadow", "Evening light", "Along the river"};
        lists.Names = {"Ada Example", "A. Example"};
        lists.EmailAddresses = {"ada@example.org", "photos@example.org"};
        lists.Organizations = {"Example Camera Club"};
        SaveValueLists(lists, *store);
        const std::string mru = "MRU Lists";
        store->setValue(mru, "Subjects",
                        RegValue::string(lines({"Spring meadow", "Winter birds"})));
        store->setValue(mru, "Names", RegValue::string(lines({"Ada Example"})));
        store->setValue(mru, "E-mail Addresses", RegValue::string(lines({"ada@example.org"})));
        store->setValue(mru, "Organizations", RegValue::string(lines({"Example Camera Club"})));

        TProject defaults;
        defaults.Name = "Default";
        defaults.SetNewsgroupsText(lines({"alt.binaries.pictures.nature", "rec.photo.digital"}));
        defaults.SignatureFile = (files + QStringLiteral("/signature.txt")).toStdString();
        defaults.FromName = "Ada Example";
        defaults.FromEmailAddress = "ada@example.org";
        defaults.Server = server;  // saving a project saves its server record too
        defaults.XNoArchive = "No";
        defaults.PostSeparateMessageForEachAttachedFile = true;
        defaults.Crosspost = true;
        defaults.CrosspostingLimit = 10;
        defaults.SplitLines = 1000;
        SaveProjectToRegistry(defaults, "Default", *store, prompts);

        std::string attachments;
        for (const char* name : {"meadow-01.jpg", "meadow-02.jpg", "meadow-03.jpg"})
            attachments +=
                (files + QLatin1Char('/') + QString::fromLatin1(name)).toStdString() + "\r\n";
        TProject last = defaults;
        last.Name = "Untitled";
        last.Subject = "Spring meadow";
        last.Organization = "Example Camera Club";
        last.Body = {"Hello all,",
                     "",
                     "three pictures of the meadow behind our village, taken last Sunday",
                     "just after sunrise. Comments welcome!",
                     "",
                     "Ada"};
        last.AttachmentsText = attachments;
        last.EncodingMethod = 1;
        last.LimitCrossposting = false;
        last.SplitLargeMessages = true;
        SaveProjectToRegistry(last, "Last", *store, prompts);
    }
};

// Every page of a window's page control, one picture each, named after the window and the
// page; the first page's picture has the window's name alone, for the README.
void saveEveryPage(QWidget* window, const QString& pages, const QString& name,
                   const QStringList& leftOut = {}) {
    auto* tabs = window->findChild<QTabWidget*>(pages);
    if (!tabs) {
        std::fprintf(stderr, "%s: no %s\n", qPrintable(name), qPrintable(pages));
        ++g_failures;
        return;
    }
    for (int i = 0; i < tabs->count(); ++i) {
        if (leftOut.contains(tabs->widget(i)->objectName()))
            continue;
        tabs->setCurrentIndex(i);
        // tabEmailAddresses gives "email-addresses"; the captions carry counts.
        QString tab;
        for (QChar c : tabs->widget(i)->objectName().mid(3)) {
            if (c.isUpper() && !tab.isEmpty())
                tab += QLatin1Char('-');
            tab += c.toLower();
        }
        save(window, i == 0 ? name : name + QLatin1Char('-') + tab);
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_screenshots OUTPUT_FOLDER\n");
        return 2;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("kavrin32"));
    // A blinking caret would make each run's pictures differ.
    QApplication::setCursorFlashTime(0);
    g_output = QDir(QString::fromLocal8Bit(argv[1])).absolutePath();
    QDir().mkpath(g_output);
    Demo demo;

    TfrmSplash splash;
    save(&splash, QStringLiteral("splash"));
    splash.close();

    TfrmAbout about(*demo.context);
    save(&about, QStringLiteral("about"));
    about.close();

    {
        ProgramSettings settings;
        LoadProgramSettings(settings, *demo.store, demo.prompts);
        TfrmKavrin window(*demo.context, settings.Advanced, std::move(settings.Lists), {});
        window.resize(1024, 700);
        saveEveryPage(&window, QStringLiteral("pgeKavrin"), QStringLiteral("main-window"),
                      {QStringLiteral("tabProgress")});

        TfrmNewsgroupServers servers(*demo.context, window, nullptr, &window);
        save(&servers, QStringLiteral("server-list"));
        servers.close();
        TfrmServerProperties properties(*demo.context, QStringLiteral("news.example.net"), &window);
        save(&properties, QStringLiteral("server-properties"));
        properties.close();
        TfrmNewsgroups selection(*demo.context, QStringLiteral("news.example.net"), window,
                                 &window);
        save(&selection, QStringLiteral("newsgroups"));
        TfrmSearch search(*demo.context, selection);
        search.show();
        if (auto* text = search.findChild<QLineEdit*>(QStringLiteral("edtSearchText")))
            text->setText(QStringLiteral("photo"));
        if (auto* start = search.findChild<QAbstractButton*>(QStringLiteral("btnSearch")))
            start->click();
        save(&search, QStringLiteral("search"));
        search.close();
        selection.close();

        TfrmPreferences preferences(*demo.context, window, &window);
        saveEveryPage(&preferences, QStringLiteral("pgePreferences"),
                      QStringLiteral("preferences"));
        preferences.close();
        window.close();
    }

    showHelp(HelpPage::Contents);
    save(currentHelpWindow(), QStringLiteral("help"), QSize(900, 620));
    delete currentHelpWindow();

    return g_failures == 0 ? 0 : 1;
}
