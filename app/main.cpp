#include "app/MainWindow.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Brackenfeld"));

    MainWindow window;
    window.load();
    window.show();
    window.activateWindow();
    window.runActivated();
    return 0;
}
