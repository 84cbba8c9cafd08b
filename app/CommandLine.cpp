#include "app/CommandLine.h"

#include <QCommandLineParser>
#include <QCoreApplication>

#include <vector>

void answerHelpOrVersion(int argc, char *argv[])
{
    if (argc < 2)
        return;
    // A plain application object reads the arguments without a display; it is gone before the
    // window's is made. It may take arguments of its own out of the list, so it gets a copy.
    std::vector<char *> arguments(argv, argv + argc + 1);
    int count = argc;
    QCoreApplication application(count, arguments.data());
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Receives an upload from a measuring instrument on a serial port and saves it as a\n"
        "tab-separated file that a spreadsheet opens."));
    // Not Qt's help option: its --help-all would list Qt's options, which only a display takes.
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")},
                                  QStringLiteral("Displays this help."));
    parser.addOption(help);
    const QCommandLineOption version = parser.addVersionOption();
    // Other arguments are no error here: they may be Qt's own.
    parser.parse(QCoreApplication::arguments());
    if (parser.isSet(help))
        parser.showHelp();
    if (parser.isSet(version))
        parser.showVersion();
}
