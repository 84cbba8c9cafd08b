#include "app/CommandLine.h"

#include "serial/PortTable.h"
#include "storage/UploadFile.h"

#include <QCommandLineParser>
#include <QCoreApplication>

#include <algorithm>
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

const QString kCapture = QStringLiteral("capture");
const QString kPort = QStringLiteral("port");
const QString kType = QStringLiteral("type");
const QString kOnce = QStringLiteral("once");

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

// The answer to --help or --version, on standard output, and the end. Qt's own answers show a
// message box instead in a program with a window on Windows, which a script would wait on.
[[noreturn]] void answer(const QString &text)
{
    std::fputs(text.toLocal8Bit().constData(), stdout);
    std::fflush(stdout);
    std::exit(0);
}

void addCaptureOptions(QCommandLineParser &parser)
{
    parser.addOption(QCommandLineOption(
        kCapture,
        QStringLiteral("Runs without the window: saves every upload whose checksum "
                       "holds into <folder>, a file each, and prints its path."),
        QStringLiteral("folder")));
    parser.addOption(QCommandLineOption(
        kPort,
        QStringLiteral("With --capture: the port COM <n>, %1 to %2. By default the "
                       "port the window last used, or else the first that opens.")
            .arg(kFirstPort)
            .arg(highestPortNumber()),
        QStringLiteral("n")));
    parser.addOption(QCommandLineOption(
        kType,
        QStringLiteral("With --capture: the files' type, xls (the default), xlsx "
                       "or csv."),
        QStringLiteral("type")));
    parser.addOption(QCommandLineOption(
        kOnce, QStringLiteral("With --capture: ends after the first saved upload.")));
}

std::optional<CaptureOptions> readCaptureOptions(const QCommandLineParser &parser)
{
    if (!parser.isSet(kCapture)) {
        for (const QString &name : {kPort, kType, kOnce}) {
            if (parser.isSet(name))
                refuse(QStringLiteral("--%1 goes with --capture").arg(name));
        }
        return std::nullopt;
    }
    CaptureOptions options;
    options.folder = parser.value(kCapture);
    if (options.folder.isEmpty())
        refuse(QStringLiteral("--capture names no folder"));
    if (parser.isSet(kPort)) {
        bool number = false;
        const int port = parser.value(kPort).toInt(&number);
        if (!number || port < kFirstPort || port > highestPortNumber())
            refuse(QStringLiteral("no port '%1': --port takes a number from %2 to %3")
                       .arg(parser.value(kPort))
                       .arg(kFirstPort)
                       .arg(highestPortNumber()));
        options.port = qint16(port);
    }
    if (parser.isSet(kType)) {
        const QString suffix = QLatin1Char('.') + parser.value(kType).toLower();
        if (std::none_of(kUploadFileTypes.begin(), kUploadFileTypes.end(),
                         [&](const UploadFileType &type) { return type.suffix == suffix; }))
            refuse(QStringLiteral("unknown type '%1': --type takes xls, xlsx or csv")
                       .arg(parser.value(kType)));
        options.suffix = suffix;
    }
    options.once = parser.isSet(kOnce);
    return options;
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
        "tab-separated file that a spreadsheet opens.\n"
        "\n"
        "With --capture it runs without its window, for benches that nobody tends and for\n"
        "scripts: each upload whose checksum holds is saved as a file of its own, named after\n"
        "the time it arrived, and the file's path is printed, a line each. Ctrl+C, SIGTERM\n"
        "and SIGHUP end it with status 0."));
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
    addCaptureOptions(parser);

    if (!parser.parse(QCoreApplication::arguments()))
        refuse(parser.errorText());
    if (parser.isSet(help))
        answer(parser.helpText());
    if (parser.isSet(version))
        answer(QCoreApplication::applicationName() + u' ' + QCoreApplication::applicationVersion() +
               u'\n');
    if (!parser.positionalArguments().isEmpty())
        refuse(
            QStringLiteral("unexpected argument '%1'").arg(parser.positionalArguments().first()));
    return {parser.value(QStringLiteral("platform")), parser.value(QStringLiteral("display")),
            readCaptureOptions(parser)};
}
