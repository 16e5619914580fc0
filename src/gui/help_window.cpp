#include "gui/help_window.h"

#include "gui/button_pictures.h"
#include "ui_help_window.h"
#include "widgets/speed_button.h"

#include <QApplication>
#include <QFile>
#include <QtMath>
#include <QImage>
#include <QKeySequence>
#include <QRegularExpression>
#include <QScreen>
#include <QScrollBar>
#include <QShortcut>
#include <QStyle>
#include <QTextBrowser>

#include <functional>

namespace {

const QString kBookRoot = QStringLiteral("qrc:/help/");
const QString kTitle = QStringLiteral("Kavrin/32 Help");

// The one help window of the run; cleared when whatever owns it takes it along.
QPointer<THelpWindow> g_helpWindow;

QString fileOf(const QUrl& url) {
    return url.path().section(QLatin1Char('/'), -1);
}

void addShortcut(QWidget* window, const QKeySequence& keys, const std::function<void()>& run) {
    auto* shortcut = new QShortcut(keys, window);
    QObject::connect(shortcut, &QShortcut::activated, window, run);
}

}  // namespace

QVariant THelpBrowser::loadResource(int type, const QUrl& name) {
    const QVariant resource = QTextBrowser::loadResource(type, name);
    if (type != QTextDocument::ImageResource)
        return resource;
    QImage picture = resource.typeId() == QMetaType::QImage
                         ? resource.value<QImage>()
                         : QImage::fromData(resource.toByteArray());
    // The page is laid out after its pictures are loaded; a vertical scroll bar that comes then
    // takes its width from the view.
    const int scrollBar =
        verticalScrollBar()->isVisible() ? 0 : style()->pixelMetric(QStyle::PM_ScrollBarExtent);
    const int room = viewport()->width() - scrollBar - 2 * qCeil(document()->documentMargin()) - 2;
    if (picture.isNull() || room <= 0 || picture.width() <= room)
        return resource;
    const qreal ratio = devicePixelRatioF();
    picture = picture.scaledToWidth(qRound(room * ratio), Qt::SmoothTransformation);
    picture.setDevicePixelRatio(ratio);
    return picture;
}

QList<QString> HelpPage::all() {
    return {Contents,    GettingStarted, MainWindow,  Projects,
            Posting,     YEnc,           ServerList,  ServerProperties,
            Newsgroups,  Search,         Preferences, Tls,
            CommandLine, Files,          About,       HelpWindow};
}

THelpWindow::THelpWindow(QWidget* parent)
    : QWidget(parent, Qt::Window), m_ui(std::make_unique<Ui::THelpWindow>()) {
    m_ui->setupUi(this);
    setObjectName(QStringLiteral("frmHelp"));
    QSize size(960, 680);
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        size = size.boundedTo(screen->availableGeometry().size() * 0.9);
    resize(size);
    m_ui->splHelp->setStretchFactor(1, 1);

    auto* hover =
        new THoverPictures(buttonPictures({QStringLiteral("left"), QStringLiteral("right"),
                                           QStringLiteral("contents")}),
                           this);
    const std::pair<TMySpeedButton*, int> tags[] = {
        {m_ui->btnBack, 0}, {m_ui->btnForward, 2}, {m_ui->btnContents, 4}};
    for (const auto& [button, tag] : tags) {
        button->SetTag(tag);
        hover->Attach(button);
    }

    QTextBrowser* page = m_ui->txtPage;
    page->setOpenExternalLinks(true);
    page->document()->setDocumentMargin(14);
    // The pages link their style sheet for browsers; the viewer takes it as its default.
    QFile style(QStringLiteral(":/help/help.css"));
    if (style.open(QIODevice::ReadOnly))
        page->document()->setDefaultStyleSheet(QString::fromUtf8(style.readAll()));
    connect(m_ui->btnBack, &QToolButton::clicked, page, &QTextBrowser::backward);
    connect(m_ui->btnForward, &QToolButton::clicked, page, &QTextBrowser::forward);
    connect(m_ui->btnContents, &QToolButton::clicked, this,
            [this] { showPage(HelpPage::Contents); });
    connect(page, &QTextBrowser::backwardAvailable, m_ui->btnBack, &QWidget::setEnabled);
    connect(page, &QTextBrowser::forwardAvailable, m_ui->btnForward, &QWidget::setEnabled);
    connect(page, &QTextBrowser::sourceChanged, this, &THelpWindow::pageChanged);
    connect(m_ui->lstContents, &QListWidget::currentRowChanged, this,
            &THelpWindow::lstContentsActivated);
    m_ui->btnBack->setEnabled(false);
    m_ui->btnForward->setEnabled(false);

    addShortcut(this, QKeySequence::Back, [page] { page->backward(); });
    addShortcut(this, QKeySequence::Forward, [page] { page->forward(); });
    addShortcut(this, QKeySequence(Qt::ALT | Qt::Key_Home),
                [this] { showPage(HelpPage::Contents); });
    addShortcut(this, QKeySequence::ZoomIn, [page] { page->zoomIn(); });
    addShortcut(this, QKeySequence::ZoomOut, [page] { page->zoomOut(); });
    addShortcut(this, QKeySequence::HelpContents, [this] { showPage(HelpPage::HelpWindow); });
    addShortcut(this, QKeySequence(Qt::Key_Escape), [this] { close(); });

    fillContents();
    const int listWidth =
        m_ui->lstContents->sizeHintForColumn(0) + 2 * m_ui->lstContents->frameWidth() + 8;
    m_ui->splHelp->setSizes({listWidth, width() - listWidth});
    showPage(HelpPage::Contents);
}

THelpWindow::~THelpWindow() = default;

QUrl THelpWindow::pageUrl(const QString& page) {
    const QString name = page.section(QLatin1Char('#'), 0, 0);
    const QString anchor = page.section(QLatin1Char('#'), 1);
    QUrl url(kBookRoot + (name.isEmpty() ? HelpPage::Contents : name) +
             (name.endsWith(QStringLiteral(".html")) ? QString() : QStringLiteral(".html")));
    if (!anchor.isEmpty())
        url.setFragment(anchor);
    return url;
}

void THelpWindow::showPage(const QString& page) {
    QUrl url = pageUrl(page);
    if (!QFile::exists(QLatin1Char(':') + url.path()))
        url = pageUrl(HelpPage::Contents);
    m_ui->txtPage->setSource(url);
}

QUrl THelpWindow::currentPage() const {
    return m_ui->txtPage->source();
}

void THelpWindow::fillContents() {
    // The topics are the links of the contents page's list, so the book has one table of
    // contents.
    QFile index(QStringLiteral(":/help/index.html"));
    if (!index.open(QIODevice::ReadOnly))
        return;
    const QString html = QString::fromUtf8(index.readAll());
    const QString list = html.section(QStringLiteral("<ul class=\"contents\">"), 1)
                             .section(QStringLiteral("</ul>"), 0, 0);
    static const QRegularExpression link(QStringLiteral("<a href=\"([^\"]+)\">([^<]+)</a>"));
    for (auto it = link.globalMatch(list); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        auto* item = new QListWidgetItem(m.captured(2), m_ui->lstContents);
        item->setData(Qt::UserRole, m.captured(1));
    }
}

void THelpWindow::pageChanged(const QUrl& url) {
    const QString title = m_ui->txtPage->documentTitle();
    setWindowTitle(title.isEmpty() ? kTitle : kTitle + QStringLiteral(" - ") + title);
    const QString file = fileOf(url);
    QSignalBlocker quiet(m_ui->lstContents);
    m_ui->lstContents->setCurrentRow(-1);
    for (int row = 0; row < m_ui->lstContents->count(); ++row) {
        if (m_ui->lstContents->item(row)->data(Qt::UserRole).toString() == file) {
            m_ui->lstContents->setCurrentRow(row);
            break;
        }
    }
}

void THelpWindow::lstContentsActivated(int row) {
    if (QListWidgetItem* item = m_ui->lstContents->item(row))
        showPage(item->data(Qt::UserRole).toString());
}

void THelpWindow::setOwner(QWidget* owner) {
    if (owner == parentWidget())
        return;
    if (m_owner)
        m_owner->removeEventFilter(this);
    m_owner = owner;
    const bool wasVisible = isVisible();
    const QRect where = geometry();
    setParent(owner, Qt::Window);  // hides the window; it comes back where it was
    setGeometry(where);
    if (owner)
        owner->installEventFilter(this);
    if (wasVisible)
        show();
}

bool THelpWindow::eventFilter(QObject* watched, QEvent* event) {
    // By the time the owner's hide arrives, it has left the stack of modal windows, so the next
    // modal dialog (or nobody) takes the help window over before the owner may be destroyed.
    if (watched == m_owner && event->type() == QEvent::Hide)
        setOwner(QApplication::activeModalWidget());
    return QWidget::eventFilter(watched, event);
}

void showHelp(const QString& page) {
    if (!g_helpWindow) {
        g_helpWindow = new THelpWindow;
        // A window without a parent outlives every other; it goes with the application.
        qAddPostRoutine([] { delete g_helpWindow.data(); });
    }
    g_helpWindow->setOwner(QApplication::activeModalWidget());
    // Shown first, so the page is laid out at the window's width.
    g_helpWindow->show();
    g_helpWindow->showPage(page);
    g_helpWindow->raise();
    g_helpWindow->activateWindow();
}

THelpWindow* currentHelpWindow() {
    return g_helpWindow.data();
}

void installHelpKey(QWidget* form, const QString& page) {
    addShortcut(form, QKeySequence::HelpContents, [page] { showHelp(page); });
}
