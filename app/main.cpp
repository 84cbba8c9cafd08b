#include "app/MainWindow.h"

#include <QApplication>
#include <QIcon>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Brackenfeld"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/brackenfeld.png")));

    MainWindow window;
    window.load();
    window.show();
    window.activateWindow();
    window.runActivated();
    return 0;
}
