#include "app/CommandLine.h"

#include <QCommandLineParser>
#include <QCoreApplication>

#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

// The options that QApplication and its platform take out of the arguments: those that take a
// value, then those that stand alone.
const char *const kQtOptionsWithValue[] = {
    "platform", "platformpluginpath", "platformtheme", "plugin",
    "style",    "stylesheet",         "session",       "display",
    "geometry", "qwindowgeometry",    "title",         "qwindowtitle",
    "icon",     "qwindowicon"};
const char *const kQtFlags[] = {"reverse", "nograb", "dograb", "sync", "widgetcount"};

void addQtOption(QCommandLineParser &parser, const char *name, const QString &valueName)
{
    QCommandLineOption option(QString::fromLatin1(name), QString(), valueName);
    option.setFlags(QCommandLineOption::HiddenFromHelp);
    parser.addOption(option);
}

// "brackenfeld: unknown option 'verison'; see brackenfeld --help", and status 2.
[[noreturn]] void refuse(QString reason)
{
    // The parser's sentence as a clause: "Unknown option 'x'." => "unknown option 'x'"
    reason[0] = reason[0].toLower();
    if (reason.endsWith(u'.'))
        reason.chop(1);
    std::fprintf(stderr, "brackenfeld: %s; see brackenfeld --help\n", qPrintable(reason));
    std::exit(2);
}

} // namespace

CommandLine readCommandLine(int argc, char *argv[])
{
    if (argc < 2)
        return {};
    // A plain application object reads the arguments without a display; it is gone before the
    // window's is made. It may take arguments of its own out of the list, so it gets a copy.
    std::vector<char *> arguments(argv, argv + argc + 1);
    int count = argc;
    QCoreApplication application(count, arguments.data());
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Receives an upload from a measuring instrument on a serial port and saves it as a\n"
        "tab-separated file that a spreadsheet opens."));
    // Qt's options are written with one dash: -platform is one option, not -p -l -a ...
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    // Not Qt's help option: its --help-all would list Qt's options, which only a display takes.
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")},
                                  QStringLiteral("Displays this help."));
    parser.addOption(help);
    const QCommandLineOption version = parser.addVersionOption();
    for (const char *name : kQtOptionsWithValue)
        addQtOption(parser, name, QStringLiteral("value"));
    for (const char *name : kQtFlags)
        addQtOption(parser, name, QString());

    if (!parser.parse(QCoreApplication::arguments()))
        refuse(parser.errorText());
    if (parser.isSet(help))
        parser.showHelp();
    if (parser.isSet(version))
        parser.showVersion();
    if (!parser.positionalArguments().isEmpty())
        refuse(
            QStringLiteral("unexpected argument '%1'").arg(parser.positionalArguments().first()));
    return {parser.value(QStringLiteral("platform")), parser.value(QStringLiteral("display"))};
}
