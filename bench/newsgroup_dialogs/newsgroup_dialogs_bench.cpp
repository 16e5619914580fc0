// Times the newsgroup selection and search dialogs as a user meets them, offscreen, over a
// server's list file:
//
//   kavrin32_newsgroup_dialogs_bench open FOLDER HOST       open the dialog until both lists
//                                                           are painted
//   kavrin32_newsgroup_dialogs_bench search FOLDER HOST TEXT  search for TEXT (as typed)
//   kavrin32_newsgroup_dialogs_bench picks FOLDER HOST      Add All; Add Selected of 100 000
//                                                           rows against 100 000 selected;
//                                                           Remove Selected of 100 000 rows
//   kavrin32_newsgroup_dialogs_bench empty FOLDER HOST      the dialog over no list, for the
//                                                           memory every window costs
//
// FOLDER holds HOST.txt. Prints "what seconds [count]" lines.

#include "gui/gui_context.h"
#include "gui/newsgroups_dialog.h"
#include "gui/search_dialog.h"
#include "model/server_storage.h"
#include "platform/memory_settings_store.h"
#include "platform/user_prompts.h"
#include "widgets/vlistbox.h"

#include <QAbstractButton>
#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>

#include <cstdio>
#include <filesystem>
#include <string>

namespace {

// Nothing may ask while the clock runs; whatever would is printed.
class PrintedPrompts : public UserPrompts {
public:
    PromptAnswer show(PromptKind, PromptButtons buttons, std::string_view text,
                      std::string_view) override {
        std::fprintf(stderr, "box: %.*s\n", int(text.size()), text.data());
        return buttons == PromptButtons::Ok ? PromptAnswer::Ok : PromptAnswer::No;
    }
};

class NoFiles : public FileChooser {
public:
    QString openFile(QWidget*, const QString&, const QString&, const QStringList&, int) override {
        return {};
    }
    QStringList openFiles(QWidget*, const QString&, const QString&, const QStringList&,
                          int) override {
        return {};
    }
    QString saveFile(QWidget*, const QString&, const QString&, const QStringList&, const QString&,
                     bool) override {
        return {};
    }
};

class NoTarget : public NewsgroupTarget {
public:
    QStringList targetNewsgroups() const override { return {}; }
    void setTargetNewsgroups(const QStringList&) override {}
};

template <class T>
T* control(QWidget* form, const char* name) {
    T* found = form->findChild<T*>(QString::fromLatin1(name));
    if (!found) {
        std::fprintf(stderr, "no control %s\n", name);
        std::exit(1);
    }
    return found;
}

void report(const char* what, const QElapsedTimer& clock, long long count = -1) {
    const double seconds = clock.nsecsElapsed() / 1e9;
    if (count >= 0)
        std::printf("%s %.4f %lld\n", what, seconds, count);
    else
        std::printf("%s %.4f\n", what, seconds);
    std::fflush(stdout);
}

// The two lists as the user sees them, drawn now rather than when the event loop comes to it.
void paintLists(QWidget* dialog) {
    control<TVListBox>(dialog, "lstAvailableNewsgroups")->viewport()->repaint();
    control<TVListBox>(dialog, "lstSelectedNewsgroups")->viewport()->repaint();
}

void click(QWidget* form, const char* button) {
    control<QAbstractButton>(form, button)->click();
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 4) {
        std::fprintf(stderr, "usage: %s open|search|picks|empty FOLDER HOST [TEXT]\n", argv[0]);
        return 2;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const std::string mode = argv[1];
    const std::filesystem::path folder = argv[2];
    const QString host = QString::fromLocal8Bit(argv[3]);

    MemorySettingsStore store;
    PrintedPrompts prompts;
    NoFiles files;
    TNNTPJob job;
    TServer server;
    server.HostName = host.toStdString();
    server.Port = 119;
    server.LastUpdated = 46000.5;
    SaveServer(server, store, prompts);
    GuiContext context{store, prompts, files, job, mode == "empty" ? folder / "none" : folder, {}};
    NoTarget target;

    QElapsedTimer clock;
    clock.start();
    TfrmNewsgroups dialog(context, host, target);
    dialog.show();
    paintLists(&dialog);
    if (mode == "open" || mode == "empty") {
        report("open", clock, static_cast<long long>(dialog.AvailableNewsgroups().size()));
        return 0;
    }

    if (mode == "search") {
        if (argc < 5)
            return 2;
        TfrmSearch search(context, dialog);
        search.show();
        control<QLineEdit>(&search, "edtSearchText")->setText(QString::fromLocal8Bit(argv[4]));
        TVListBox* matches = control<TVListBox>(&search, "lstMatchingNewsgroups");
        clock.restart();
        click(&search, "btnSearch");
        matches->viewport()->repaint();
        report("search", clock, matches->RowCount());
        return 0;
    }

    if (mode == "picks") {
        TVListBox* available = control<TVListBox>(&dialog, "lstAvailableNewsgroups");
        TVListBox* selected = control<TVListBox>(&dialog, "lstSelectedNewsgroups");
        const int rows = available->RowCount();
        if (rows < 250000) {
            std::fprintf(stderr, "the list needs 250 000 groups or more\n");
            return 1;
        }
        clock.restart();
        click(&dialog, "btnAddAll");
        paintLists(&dialog);
        report("add-all", clock, selected->RowCount());

        // 100 000 groups selected, then 100 000 more chosen of which a quarter are selected
        // already, as fifty runs picked with Ctrl and Shift.
        click(&dialog, "btnRemoveAll");
        available->Selections().SelectRange(0, 100000);
        click(&dialog, "btnAddSelected");
        available->Selections().Clear();
        for (int run = 0; run < 50; ++run)
            available->Selections().SelectRange(50000 + run * 4000, 2000, false, false);
        paintLists(&dialog);
        clock.restart();
        click(&dialog, "btnAddSelected");
        paintLists(&dialog);
        report("add-selected", clock, selected->RowCount());

        // 100 000 rows of the selected list, in fifty runs over most of it.
        selected->Selections().Clear();
        for (int run = 0; run < 50; ++run)
            selected->Selections().SelectRange(run * 3000, 2000, false, false);
        clock.restart();
        click(&dialog, "btnRemoveSelected");
        paintLists(&dialog);
        report("remove-selected", clock, selected->RowCount());
        return 0;
    }
    std::fprintf(stderr, "unknown mode %s\n", mode.c_str());
    return 2;
}
