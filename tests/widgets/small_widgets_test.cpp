#include "widgets/file_drag.h"
#include "widgets/speed_button.h"
#include "widgets/version_label.h"

#include "support/gui_test.h"
#include "support/wait.h"

#include <QHBoxLayout>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QSignalSpy>
#include <QTest>
#include <QUrl>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace {

std::unique_ptr<QMimeData> urls(const QList<QUrl>& list) {
    auto mime = std::make_unique<QMimeData>();
    mime->setUrls(list);
    return mime;
}

}  // namespace

TEST(FileDrag, ADropListsPathNameAndExtensionOfEveryFileInOrder) {
    struct Case {
        std::string name;
        QList<QUrl> urls;
        QStringList paths, names, extensions;
    } cases[] = {
        {"a name without a dot has no extension",
         {QUrl::fromLocalFile(QStringLiteral("/home/ann/notes.txt")),
          QUrl::fromLocalFile(QStringLiteral("/home/ann/README"))},
         {QStringLiteral("/home/ann/notes.txt"), QStringLiteral("/home/ann/README")},
         {QStringLiteral("notes.txt"), QStringLiteral("README")},
         {QStringLiteral("txt"), QString()}},
        {"the extension starts at the first dot",
         {QUrl::fromLocalFile(QStringLiteral("/tmp/archive.tar.gz"))},
         {QStringLiteral("/tmp/archive.tar.gz")},
         {QStringLiteral("archive.tar.gz")},
         {QStringLiteral("tar.gz")}},
        {"folders and remote files are passed as given",
         {QUrl::fromLocalFile(QStringLiteral("/srv/posts/")),
          QUrl(QStringLiteral("https://example.org/files/cover.jpeg")),
          QUrl::fromLocalFile(QStringLiteral("/srv/My Pictures/caf\u00e9 menu.png"))},
         {QStringLiteral("/srv/posts/"), QStringLiteral("https://example.org/files/cover.jpeg"),
          QStringLiteral("/srv/My Pictures/caf\u00e9 menu.png")},
         {QStringLiteral("posts"), QStringLiteral("cover.jpeg"),
          QStringLiteral("caf\u00e9 menu.png")},
         {QString(), QStringLiteral("jpeg"), QStringLiteral("png")}},
    };
    QWidget control;
    TFileDrag sys;
    sys.SetFocusControl(&control);
    sys.SetEnableDrop(true);
    QSignalSpy drops(&sys, &TFileDrag::OnDrop);
    for (const auto& c : cases) {
        ASSERT_TRUE(dropOn(&control, *urls(c.urls))) << c.name;
        EXPECT_EQ(sys.NameWithPath(), c.paths) << c.name;
        EXPECT_EQ(sys.NameOnly(), c.names) << c.name;
        EXPECT_EQ(sys.Extension(), c.extensions) << c.name;
        EXPECT_EQ(sys.FileCount(), c.paths.size()) << c.name;
    }
    EXPECT_EQ(drops.count(), 3);
}

TEST(FileDrag, DropsReachTheFormOnlyWhenSwitchedOnForAControl) {
    const auto file = urls({QUrl::fromLocalFile(QStringLiteral("/tmp/a.txt"))});

    TFileDrag detached;
    detached.SetEnableDrop(true);
    EXPECT_FALSE(detached.EnableDrop());

    QWidget control;
    TFileDrag sys;
    sys.SetFocusControl(&control);
    QSignalSpy drops(&sys, &TFileDrag::OnDrop);
    EXPECT_FALSE(dropOn(&control, *file));
    sys.SetEnableDrop(true);
    EXPECT_TRUE(control.acceptDrops());
    EXPECT_TRUE(dropOn(&control, *file));
    sys.SetEnableDrop(false);
    EXPECT_FALSE(control.acceptDrops());
    EXPECT_FALSE(dropOn(&control, *file));
    EXPECT_EQ(drops.count(), 1);
}

TEST(FileDrag, TextDropsStayWithTheControlAndItsOwnSettingComesBack) {
    QPlainTextEdit editor;
    ASSERT_TRUE(editor.acceptDrops());
    {
        TFileDrag sys;
        sys.SetFocusControl(&editor);
        sys.SetEnableDrop(true);
        QSignalSpy drops(&sys, &TFileDrag::OnDrop);
        QMimeData text;
        text.setText(QStringLiteral("dropped words"));
        dropOn(editor.viewport(), text);
        EXPECT_EQ(drops.count(), 0);
        EXPECT_EQ(editor.toPlainText(), QStringLiteral("dropped words"));
        // Files dropped on the editor are the form's, not pasted as text.
        EXPECT_TRUE(dropOn(editor.viewport(),
                           *urls({QUrl::fromLocalFile(QStringLiteral("/tmp/message.txt"))})));
        EXPECT_EQ(drops.count(), 1);
        EXPECT_EQ(editor.toPlainText(), QStringLiteral("dropped words"));
        sys.SetEnableDrop(false);
        EXPECT_TRUE(editor.acceptDrops());
    }
    EXPECT_TRUE(editor.acceptDrops());

    QWidget plain;
    {
        TFileDrag sys;
        sys.SetFocusControl(&plain);
        sys.SetEnableDrop(true);
    }
    EXPECT_FALSE(plain.acceptDrops());
}

namespace {

QPixmap solid(Qt::GlobalColor color) {
    QPixmap p(16, 16);
    p.fill(color);
    return p;
}

QColor shownColor(const QToolButton& button) {
    return button.icon().pixmap(QSize(16, 16)).toImage().pixelColor(8, 8);
}

}  // namespace

TEST(SpeedButton, HoverShowsTheNextPictureOnlyOnEnabledButtons) {
    const QList<QPixmap> imgButtons{solid(Qt::red), solid(Qt::green), solid(Qt::blue),
                                    solid(Qt::yellow)};
    QWidget form;
    auto* layout = new QHBoxLayout(&form);
    auto* away = new QWidget;
    away->setMinimumSize(60, 40);
    layout->addWidget(away);
    auto* btnPost = new TMySpeedButton;
    auto* btnStop = new TMySpeedButton;
    auto* btnLast = new TMySpeedButton;
    THoverPictures hover(imgButtons);
    for (auto [button, tag] : {std::pair{btnPost, 2}, {btnStop, 2}, {btnLast, 3}}) {
        button->SetTag(tag);
        button->setIcon(QIcon(imgButtons[tag]));
        button->setText(QStringLiteral("Post"));
        hover.Attach(button);
        layout->addWidget(button);
    }
    btnStop->setEnabled(false);
    showAndWait(&form);

    QSignalSpy enters(btnPost, &TMySpeedButton::OnMouseEnter);
    QSignalSpy leaves(btnPost, &TMySpeedButton::OnMouseLeave);
    QTest::mouseMove(btnPost, btnPost->rect().center());
    ASSERT_TRUE(waitFor([&] { return enters.count() == 1; }));
    EXPECT_EQ(shownColor(*btnPost), QColor(Qt::yellow));
    QTest::mouseMove(away, away->rect().center());
    ASSERT_TRUE(waitFor([&] { return leaves.count() == 1; }));
    EXPECT_EQ(shownColor(*btnPost), QColor(Qt::blue));

    // Disabled buttons keep their glyph; a Tag at the end of the list has no next picture.
    hover.btnMouseEnter(btnStop);
    EXPECT_EQ(shownColor(*btnStop), QColor(Qt::blue));
    hover.btnMouseEnter(btnLast);
    EXPECT_EQ(shownColor(*btnLast), QColor(Qt::yellow));
    hover.btnMouseEnter(away);
}

TEST(VersionLabel, ShowsTheChosenEntryWithItsPrefix) {
    TVersionData resource;
    resource.Translation = QStringLiteral("040904E4");
    resource.Strings = {{QStringLiteral("FileVersion"), QStringLiteral("1.0")},
                        {QStringLiteral("CompanyName"), QStringLiteral("Pellido Software")},
                        {QStringLiteral("Comments"), QString()}};
    resource.Flags = TVersionData::DebugBuild | TVersionData::Patched | TVersionData::SpecialBuild;
    TVersionData none;
    none.Present = false;
    TVersionData unreadable;
    unreadable.Readable = false;
    TVersionData noTranslation = resource;
    noTranslation.Translation.clear();

    struct Case {
        std::string name;
        const TVersionData* data;
        std::function<void(TVersionLabel&)> set;
        QString text;
    } cases[] = {
        {"file version with a prefix of its own", &resource,
         [](TVersionLabel& l) { l.SetInfoPrefix(QStringLiteral("Version")); },
         QStringLiteral("Version 1.0")},
        {"the resource sets key and prefix", &resource,
         [](TVersionLabel& l) { l.SetVersionResource(vrCompanyName); },
         QStringLiteral("Company Name: Pellido Software")},
        {"a key set directly is its own prefix", &resource,
         [](TVersionLabel& l) { l.SetVersionResourceKey(QStringLiteral("CompanyName")); },
         QStringLiteral("CompanyName Pellido Software")},
        {"without the prefix", &resource, [](TVersionLabel& l) { l.SetShowInfoPrefix(false); },
         QStringLiteral("1.0")},
        {"flags joined in bit order", &resource,
         [](TVersionLabel& l) { l.SetVersionResource(vrFlags); },
         QStringLiteral("Flags: Debug Build, Patched Build, Special Build")},
        {"an empty value", &resource, [](TVersionLabel& l) { l.SetVersionResource(vrComments); },
         QStringLiteral("Comments: < No Version Info >")},
        {"an unknown key", &resource,
         [](TVersionLabel& l) { l.SetVersionResourceKey(QStringLiteral("Builder")); },
         QStringLiteral("Builder < Error retrieving version info >")},
        {"another language block", &resource,
         [](TVersionLabel& l) { l.SetLangCharset(QStringLiteral("04070000")); },
         QStringLiteral("File Version: < Error retrieving version info >")},
        {"no version facts", &none, [](TVersionLabel&) {},
         QStringLiteral("File Version: < No Data Available >")},
        {"unreadable facts", &unreadable, [](TVersionLabel& l) { l.SetVersionResource(vrFlags); },
         QStringLiteral("Flags: < Error retrieving version info >")},
        {"no translation", &noTranslation, [](TVersionLabel&) {},
         QStringLiteral("File Version: < Error retrieving translation info >")},
    };
    for (const auto& c : cases) {
        TVersionLabel label;
        label.SetVersionData(*c.data);
        c.set(label);
        EXPECT_EQ(label.text(), c.text) << c.name;
    }

    TVersionLabel found;
    found.SetVersionData(resource);
    EXPECT_EQ(found.LangCharset(), QStringLiteral("040904E4"));
}

TEST(VersionLabel, TheProgramsOwnFactsComeFromTheBuild) {
    TVersionLabel label;
    EXPECT_EQ(label.text(), QStringLiteral("File Version: 1.0.0"));  // project() in CMakeLists.txt
    label.SetVersionResource(vrProductName);
    EXPECT_EQ(label.text(), QStringLiteral("Product Name: Kavrin/32"));
    label.SetVersionResource(vrCompanyName);
    EXPECT_EQ(label.text(), QStringLiteral("Company Name: Pellido Software"));
    label.SetVersionResource(vrLegalCopyright);
    EXPECT_TRUE(label.text().contains(QStringLiteral("Pellido Software")));
}
