// The peer of the start-up benchmark: a Qt Widgets program that shows an empty main window of
// the same size as the program's, and nothing else.

#include <QApplication>
#include <QMainWindow>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QMainWindow window;
    window.setWindowTitle(QStringLiteral("bare"));
    window.resize(1024, 700);
    window.show();
    return app.exec();
}
