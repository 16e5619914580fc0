#include "gui/about_dialog.h"
#include "gui/contact.h"
#include "gui/help_window.h"

#include "platform/memory_settings_store.h"
#include "support/gui_test.h"
#include "support/recording_file_chooser.h"
#include "support/recording_prompts.h"
#include "support/recording_url_handler.h"
#include "widgets/speed_button.h"
#include "widgets/version_label.h"

#include <QLabel>
#include <QTest>

#include <gtest/gtest.h>

#include <functional>

namespace {

class AboutBox : public testing::Test {
protected:
    void SetUp() override { showAndWait(&about); }

    QLabel* label(const char* name) {
        return findControl<QLabel>(&about, QString::fromLatin1(name));
    }

    MemorySettingsStore store;
    RecordingPrompts prompts;
    RecordingFileChooser files;
    TNNTPJob job;
    GuiContext context{store, prompts, files, job, {}, {}};
    RecordingUrlHandler opened;
    TfrmAbout about{context};
};

}  // namespace

TEST_F(AboutBox, ShowsTheProgramItsVersionAndItsLegalNoticeOnNavy) {
    EXPECT_EQ(label("lblProgramName")->text(), QStringLiteral("Kavrin/32"));
    EXPECT_EQ(label("lblVersion")->text(), QStringLiteral("Version " KAVRIN32_VERSION));
    EXPECT_EQ(label("lblCopyright")->text(),
              TVersionData::Program().Strings.value(QStringLiteral("LegalCopyright")));
    EXPECT_TRUE(about.windowFlags().testFlag(Qt::Tool));
    EXPECT_TRUE(about.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    EXPECT_EQ(about.grab().toImage().pixelColor(2, 2), QColor(0, 0, 128));
    EXPECT_EQ(label("imgProgram")->pixmap().deviceIndependentSize().height(), 240);
    savePicture(&about, QStringLiteral("about"));
}

TEST_F(AboutBox, PictureAndAddressesOpenWithTheDesktopsPrograms) {
    struct Case {
        const char* control;
        QPoint at;  // the addresses are links at the start of their labels
        QUrl expected;
    };
    const Case cases[] = {
        {"imgProgram", label("imgProgram")->rect().center(), QUrl(webAddress())},
        {"lblHTTP", QPoint(4, label("lblHTTP")->height() / 2), QUrl(webAddress())},
        {"lblSMTP", QPoint(4, label("lblSMTP")->height() / 2),
         QUrl(QStringLiteral("mailto:") + mailAddress())},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.control);
        opened.clear();
        clickAt(label(c.control), c.at);
        EXPECT_EQ(opened.opened(), QList<QUrl>{c.expected});
    }
    EXPECT_TRUE(label("lblHTTP")->text().contains(webAddress()));
    EXPECT_TRUE(label("lblSMTP")->text().contains(mailAddress()));
    EXPECT_TRUE(prompts.shown().empty());
}

TEST_F(AboutBox, OkClosesItByClickEnterAndItsMnemonic) {
    const std::pair<const char*, std::function<void()>> ways[] = {
        {"click",
         [&] {
             clickAt(findControl<TMySpeedButton>(&about, QStringLiteral("btnOK")), {5, 5});
         }},
        {"Enter", [&] { pressKey(&about, Qt::Key_Return); }},
        {"Alt+O", [&] { pressKey(&about, Qt::Key_O, Qt::AltModifier); }},
    };
    for (const auto& [name, way] : ways) {
        SCOPED_TRACE(name);
        showAndWait(&about);
        about.activateWindow();  // mnemonics belong to the active window
        ASSERT_TRUE(QTest::qWaitForWindowActive(&about));
        way();
        // A mnemonic presses the button for a moment before it clicks.
        EXPECT_TRUE(QTest::qWaitFor([&] { return !about.isVisible(); }, 2000));
        EXPECT_EQ(about.result(), QDialog::Accepted);
    }
}

TEST_F(AboutBox, F1OpensItsHelpPage) {
    about.activateWindow();  // shortcuts belong to the active window
    ASSERT_TRUE(QTest::qWaitForWindowActive(&about));
    pressKey(&about, Qt::Key_F1);
    ASSERT_NE(currentHelpWindow(), nullptr);
    EXPECT_EQ(currentHelpWindow()->currentPage().fileName(), QStringLiteral("about.html"));
    delete currentHelpWindow();
}

// The offscreen platform has no browser or mail program, like a desktop without xdg-open.
TEST(ContactAddresses, WithoutAProgramToOpenThemAWarningShowsTheAddress) {
    RecordingPrompts prompts;
    openWebAddress(prompts);
    openMailAddress(prompts);
    ASSERT_EQ(prompts.shown().size(), 2u);
    for (const auto& shown : prompts.shown())
        EXPECT_EQ(shown.kind, PromptKind::Warning);
    EXPECT_EQ(prompts.texts(),
              (std::vector<std::string>{
                  "No web browser is set up to open " + webAddress().toStdString() + ".",
                  "No mail program is set up to write to " + mailAddress().toStdString() + "."}));
}
