#pragma once

#include <QList>
#include <QPointer>
#include <QString>
#include <QTextBrowser>
#include <QUrl>
#include <QWidget>

#include <memory>

namespace Ui {
class THelpWindow;
}

// The pages of the help book (docs/help/<page>.html, compiled into the program under
// ":/help/"). A page name may carry an anchor: "server-properties#fields".
namespace HelpPage {
inline const QString Contents = QStringLiteral("index");
inline const QString GettingStarted = QStringLiteral("getting-started");
inline const QString MainWindow = QStringLiteral("main-window");
inline const QString Projects = QStringLiteral("projects");
inline const QString Posting = QStringLiteral("posting");
inline const QString YEnc = QStringLiteral("yenc");
inline const QString ServerList = QStringLiteral("server-list");
inline const QString ServerProperties = QStringLiteral("server-properties");
inline const QString Newsgroups = QStringLiteral("newsgroups");
inline const QString Search = QStringLiteral("search");
inline const QString Preferences = QStringLiteral("preferences");
inline const QString Tls = QStringLiteral("tls");
inline const QString CommandLine = QStringLiteral("command-line");
inline const QString Files = QStringLiteral("files");
inline const QString About = QStringLiteral("about");
inline const QString HelpWindow = QStringLiteral("help-window");

// Every page above, for checks that each exists.
QList<QString> all();
}  // namespace HelpPage

// Opens the help window at a page (the contents when page is empty) and brings it to the
// front. One help window serves the whole run; it keeps its history between openings. Opened
// while a modal dialog is up, it can be used beside that dialog.
void showHelp(const QString& page = QString());

// The help window when one has been opened and not yet destroyed, else null.
class THelpWindow;
THelpWindow* currentHelpWindow();

// F1 anywhere in form opens its page of the help book.
void installHelpKey(QWidget* form, const QString& page);

// The page view of the help window. Pictures wider than the view are scaled down smoothly to
// fit it, at the screen's pixel ratio, where the text engine would drop every other pixel.
class THelpBrowser : public QTextBrowser {
    Q_OBJECT

public:
    using QTextBrowser::QTextBrowser;

    QVariant loadResource(int type, const QUrl& name) override;
};

// The program's help viewer: the book's contents on the left, the page on the right, Back,
// Forward and Contents above. It reads the pages compiled into the program, so it needs no
// browser and no installed files.
class THelpWindow : public QWidget {
    Q_OBJECT

public:
    explicit THelpWindow(QWidget* parent = nullptr);
    ~THelpWindow() override;

    // Shows a page of the book; an unknown page shows the contents.
    void showPage(const QString& page);
    // The window lives as a child of owner (null: of nobody), so a modal owner does not block
    // it; when owner is hidden the window moves on to the next modal dialog, or stands alone.
    void setOwner(QWidget* owner);

    // The page shown: its URL under qrc:/help/.
    QUrl currentPage() const;

    static QUrl pageUrl(const QString& page);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void fillContents();
    void pageChanged(const QUrl& url);
    void lstContentsActivated(int row);

    std::unique_ptr<Ui::THelpWindow> m_ui;
    QPointer<QWidget> m_owner;
};
