#include "app/CommandLine.h"
#include "app/MainWindow.h"
#include "common/LargeBuffers.h"

#include <QApplication>
#include <QIcon>

int main(int argc, char *argv[])
{
    keepLargeBuffersApart();
    // Also names the user's settings folder (~/.config/Brackenfeld) for an installed program.
    QApplication::setApplicationName(QStringLiteral("Brackenfeld"));
    QApplication::setApplicationVersion(QStringLiteral(BRACKENFELD_VERSION));
    answerHelpOrVersion(argc, argv);

    QApplication app(argc, argv);
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/brackenfeld.png")));

    MainWindow window;
    window.load();
    window.show();
    window.activateWindow();
    window.runActivated();
    return 0;
}
