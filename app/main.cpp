#include "app/Capture.h"
#include "app/CommandLine.h"
#include "app/Console.h"
#include "app/Display.h"
#include "app/MainWindow.h"

#include <QApplication>
#include <QCoreApplication>
#include <QIcon>

#include <chrono>

int main(int argc, char *argv[])
{
    // The pause before discovery probes the ports counts from here: Qt's start-up and the
    // window's making take place within it rather than before it.
    Pauses pauses;
    pauses.probesFrom = std::chrono::steady_clock::now();
    // Also names the user's settings folder (~/.config/Brackenfeld) for an installed program.
    QApplication::setApplicationName(QStringLiteral("Brackenfeld"));
    QApplication::setApplicationVersion(QStringLiteral(BRACKENFELD_VERSION));
    useStartingConsole();
    const CommandLine commandLine = readCommandLine(argc, argv);
    if (commandLine.capture) {
        // No window and no widget: no display is needed.
        QCoreApplication app(argc, argv);
        return Capture(*commandLine.capture, QCoreApplication::applicationDirPath()).run();
    }
    requireDisplay(commandLine);

    QApplication app(argc, argv);
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/brackenfeld.png")));

    MainWindow window({}, pauses);
    window.load();
    window.show();
    window.activateWindow();
    window.runActivated();
    return 0;
}
