// The preferences dialog as the main window opens it: modally, over the window's own default
// project, value lists and advanced settings.

#include "main_window_fixture.h"

#include "gui/preferences_dialog.h"
#include "widgets/speed_button.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QTimer>

#include <functional>

namespace {

class MainWindowPreferences : public MainWindowTest {
protected:
    // Runs use on the preferences dialog once the window has opened it modally.
    void whenOpen(std::function<void(TfrmPreferences&)> use) {
        QTimer::singleShot(0, window.get(), [this, use] {
            auto* dialog = window->findChild<TfrmPreferences*>();
            EXPECT_NE(dialog, nullptr);
            if (!dialog) {
                // Never leave a modal loop running that no one ends.
                if (QWidget* modal = QApplication::activeModalWidget())
                    modal->close();
                return;
            }
            use(*dialog);
        });
    }

    template <class T>
    static T* in(TfrmPreferences& dialog, const char* name) {
        return findControl<T>(&dialog, QString::fromLatin1(name));
    }
    static void addEntry(TfrmPreferences& dialog, const char* list, const char* text) {
        in<QLineEdit>(dialog, (std::string("edtAdd") + list).c_str())
            ->setText(QString::fromLatin1(text));
        in<TMySpeedButton>(dialog, (std::string("btnAdd") + list).c_str())->click();
    }
};

TEST_F(MainWindowPreferences, ANewProjectStartsFromWhatOkSaved) {
    seedStore();
    start();
    whenOpen([](TfrmPreferences& dialog) {
        in<QComboBox>(dialog, "cbxDefaultSubject")->setEditText(QStringLiteral("Weekly pictures"));
        in<QCheckBox>(dialog, "chkDefaultXNoArchive")->setChecked(true);
        addEntry(dialog, "FromName", "Zed");
        in<QCheckBox>(dialog, "chkUseWindowsComputerNameAsHostName")->setChecked(false);
        in<QLineEdit>(dialog, "edtUseTextAsHostName")->setText(QStringLiteral("myhost"));
        in<TMySpeedButton>(dialog, "btnOk")->click();
    });
    control<QAction>("mniEditPreferences")->trigger();

    EXPECT_EQ(window->findChild<TfrmPreferences*>(), nullptr);
    EXPECT_EQ(advanced.HostName, "myhost");
    EXPECT_EQ(window->valueLists().Names, std::vector<std::string>{"Zed"});
    EXPECT_EQ(storedProject("Default").Subject, "Weekly pictures");
    prompts.clear();
    control<QAction>("mniFileNewProject")->trigger();
    EXPECT_TRUE(prompts.texts().empty());
    EXPECT_EQ(control<QComboBox>("cbxSubject")->currentText(), QStringLiteral("Weekly pictures"));
    EXPECT_EQ(control<QComboBox>("cbxFromName")->currentText(), QStringLiteral("Ann Example"));
    EXPECT_TRUE(control<QCheckBox>("chkXNoArchive")->isChecked());
}

// A select-from-list switch with an empty list offers the preferences; an entry added there
// keeps the switch on even when the dialog is cancelled, as the list stays in the window.
TEST_F(MainWindowPreferences, AnEntryAddedForARandomSubjectKeepsTheSwitchOnAfterCancel) {
    seedStore();
    start();
    prompts.answerNext(PromptAnswer::Yes);
    whenOpen([](TfrmPreferences& dialog) {
        addEntry(dialog, "Subject", "Any subject");
        in<TMySpeedButton>(dialog, "btnCancel")->click();
    });
    auto* randomSubject = control<QCheckBox>("chkRandomizeSubject");
    randomSubject->click();

    EXPECT_EQ(prompts.texts(), std::vector<std::string>{
                                   "You have not created a list of Subjects.\rWould you like to "
                                   "create a list of Subjects now?"});
    EXPECT_TRUE(randomSubject->isChecked());
    EXPECT_FALSE(control<QComboBox>("cbxSubject")->isEnabled());
    EXPECT_EQ(window->valueLists().Subjects, std::vector<std::string>{"Any subject"});
    EXPECT_FALSE(store.keyExists("Lists"));
}

}  // namespace
