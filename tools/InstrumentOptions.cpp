#include "tools/InstrumentOptions.h"

#include <QCommandLineParser>
#include <QHash>

#include <algorithm>
#include <cctype>
#include <cmath>

namespace {

// Longer waits are typing mistakes rather than plans.
constexpr double kMaxSeconds = 24 * 60 * 60;

const char *const kDescription =
    "Plays the technician's instrument for Brackenfeld: sends uploads exactly as the instrument\n"
    "does, to try the tool or check a set-up without the instrument.\n"
    "\n"
    "An upload is one frame: start byte 02, the rows of csv-file (without one, a built-in\n"
    "sample of measurements) with every line ended by a carriage return, the checksum as five\n"
    "digits, end byte 04. Say where to send it with --link or --device.";

const char *const kClosingNotes =
    "\n"
    "Examples:\n"
    "  brackenfeld-instrument --link /tmp/devices/ttyUSB0\n"
    "      then start Brackenfeld with BRACKENFELD_DEVICE_DIR=/tmp/devices and pick COM 1\n"
    "  brackenfeld-instrument --link /tmp/devices/ttyUSB0 --count 0 --on-enter readings.csv\n"
    "  brackenfeld-instrument --device /dev/ttyUSB1 --corrupt-checksum\n"
    "  brackenfeld-instrument --print-saved readings.csv | cmp - readings.xls\n"
    "\n"
    "Exit status: 0 when done or stopped by Ctrl+C, 1 when the device fails, 2 for bad\n"
    "arguments.\n";

void addOptions(QCommandLineParser &parser)
{
    parser.setApplicationDescription(QString::fromLatin1(kDescription));
    parser.addHelpOption();
    parser.addPositionalArgument(
        QStringLiteral("csv-file"),
        QStringLiteral("The rows to send; CR LF and LF line ends become CR."),
        QStringLiteral("[csv-file]"));
    parser.addOptions({
        {QStringLiteral("link"),
         QStringLiteral("Make a stand-in serial device and link it as DIR/NAME, e.g. "
                        "/tmp/devices/ttyUSB0, replacing an old link. Brackenfeld finds it when "
                        "started with BRACKENFELD_DEVICE_DIR=DIR. The link goes when this ends."),
         QStringLiteral("DIR/NAME")},
        {QStringLiteral("device"),
         QStringLiteral("Send through a real serial port at 19200 baud 8N1, e.g. /dev/ttyUSB1 "
                        "joined to Brackenfeld's port by a null-modem cable."),
         QStringLiteral("PATH")},
        {QStringLiteral("pace"),
         QStringLiteral("line: at the instrument's speed, about 1920 bytes a second, evenly "
                        "(default). fast: as fast as possible."),
         QStringLiteral("line|fast")},
        {QStringLiteral("split"),
         QStringLiteral("Send each upload in N writes of about equal size."), QStringLiteral("N")},
        {QStringLiteral("count"),
         QStringLiteral("Send K uploads (default 1). 0 with --on-enter waits for Enter."),
         QStringLiteral("K")},
        {QStringLiteral("pause"), QStringLiteral("Wait SECONDS between uploads (default 1)."),
         QStringLiteral("SECONDS")},
        {QStringLiteral("delay"),
         QStringLiteral("Wait SECONDS before the first upload (default 0), e.g. to get "
                        "Brackenfeld ready."),
         QStringLiteral("SECONDS")},
        {QStringLiteral("corrupt-checksum"),
         QStringLiteral("Write a checksum one off, so Brackenfeld must report a checksum "
                        "error.")},
        {QStringLiteral("noise"),
         QStringLiteral("Send TEXT before each upload's start byte. \\r \\n \\t \\\\ and \\xHH "
                        "stand for their bytes."),
         QStringLiteral("TEXT")},
        {QStringLiteral("trailer"),
         QStringLiteral("Send TEXT after each upload's end byte, escapes as for --noise."),
         QStringLiteral("TEXT")},
        {QStringLiteral("on-enter"),
         QStringLiteral("Then send one more upload each time Enter is pressed, until Ctrl+C. "
                        "When input ends (Ctrl+D) Enter sends no more, and the device stays "
                        "open until Ctrl+C.")},
        {QStringLiteral("keep-open"),
         QStringLiteral("When all is sent, keep the device open until Ctrl+C, so Brackenfeld "
                        "does not see the cable pulled.")},
        {QStringLiteral("quiet"), QStringLiteral("Print nothing but errors.")},
        {QStringLiteral("print-saved"),
         QStringLiteral("Send nothing; print the file that Brackenfeld saves from the upload "
                        "(tab-separated, CR LF line ends, one more CR LF at the end), to check a "
                        "saved file against.")},
    });
}

std::optional<int> wholeNumber(const QString &text, int minimum)
{
    bool ok = false;
    const int number = text.toInt(&ok);
    return ok && number >= minimum ? std::optional(number) : std::nullopt;
}

std::optional<double> seconds(const QString &text)
{
    bool ok = false;
    const double number = text.toDouble(&ok);
    return ok && std::isfinite(number) && number >= 0 && number <= kMaxSeconds
               ? std::optional(number)
               : std::nullopt;
}

QString wrongValue(const QString &option, const QString &wanted, const QString &value)
{
    return QStringLiteral("--%1 needs %2, not \"%3\"").arg(option, wanted, value);
}

// The options after the parser has accepted the command line; Error when a value is wrong.
ParsedOptions readOptions(const QCommandLineParser &parser)
{
    ParsedOptions parsed;
    InstrumentOptions &options = parsed.options;
    const auto error = [&](const QString &message) {
        parsed.message = message;
        return parsed;
    };

    options.linkPath = parser.value(QStringLiteral("link"));
    options.devicePath = parser.value(QStringLiteral("device"));
    options.printSaved = parser.isSet(QStringLiteral("print-saved"));
    if (parser.isSet(QStringLiteral("link")) && parser.isSet(QStringLiteral("device")))
        return error(QStringLiteral("--link and --device cannot be used together"));
    if (options.printSaved &&
        (parser.isSet(QStringLiteral("link")) || parser.isSet(QStringLiteral("device"))))
        return error(QStringLiteral("--print-saved sends nothing: leave out --link and --device"));
    if (!options.printSaved && options.linkPath.isEmpty() && options.devicePath.isEmpty())
        return error(QStringLiteral("say where to send: --link DIR/NAME or --device PATH"));

    const QStringList files = parser.positionalArguments();
    if (files.size() > 1)
        return error(QStringLiteral("give at most one CSV file, not %1").arg(files.size()));
    options.csvPath = files.value(0);

    const QString pace = parser.value(QStringLiteral("pace"));
    if (pace == QLatin1String("fast"))
        options.pace = Pace::Fast;
    else if (!pace.isEmpty() && pace != QLatin1String("line"))
        return error(wrongValue(QStringLiteral("pace"), QStringLiteral("line or fast"), pace));

    struct Whole
    {
        const char *name;
        int minimum;
        int &target;
    };
    for (const Whole &number :
         {Whole{"split", 1, options.split}, Whole{"count", 0, options.count}}) {
        const QString name = QLatin1String(number.name);
        if (!parser.isSet(name))
            continue;
        const auto value = wholeNumber(parser.value(name), number.minimum);
        if (!value)
            return error(
                wrongValue(name, QStringLiteral("a whole number, %1 or more").arg(number.minimum),
                           parser.value(name)));
        number.target = *value;
    }

    struct Seconds
    {
        const char *name;
        double &target;
    };
    for (const Seconds &wait :
         {Seconds{"pause", options.pauseSeconds}, Seconds{"delay", options.delaySeconds}}) {
        const QString name = QLatin1String(wait.name);
        if (!parser.isSet(name))
            continue;
        const auto value = seconds(parser.value(name));
        if (!value)
            return error(wrongValue(name, QStringLiteral("seconds from 0 to %1").arg(kMaxSeconds),
                                    parser.value(name)));
        wait.target = *value;
    }

    struct Text
    {
        const char *name;
        QByteArray &target;
    };
    for (const Text &text : {Text{"noise", options.noise}, Text{"trailer", options.trailer}}) {
        const QString name = QLatin1String(text.name);
        const auto value = decodeEscapes(parser.value(name));
        if (!value)
            return error(wrongValue(name,
                                    QStringLiteral("text whose escapes are \\r \\n \\t \\\\ "
                                                   "or \\xHH"),
                                    parser.value(name)));
        text.target = *value;
    }

    options.corruptChecksum = parser.isSet(QStringLiteral("corrupt-checksum"));
    options.onEnter = parser.isSet(QStringLiteral("on-enter"));
    options.keepOpen = parser.isSet(QStringLiteral("keep-open"));
    options.quiet = parser.isSet(QStringLiteral("quiet"));
    parsed.outcome = ParsedOptions::Outcome::Run;
    return parsed;
}

} // namespace

ParsedOptions parseInstrumentOptions(const QStringList &arguments)
{
    QCommandLineParser parser;
    addOptions(parser);
    if (!parser.parse(arguments))
        return {ParsedOptions::Outcome::Error, {}, parser.errorText()};
    if (parser.isSet(QStringLiteral("help")))
        return {ParsedOptions::Outcome::Help, {}, parser.helpText() + QLatin1String(kClosingNotes)};
    return readOptions(parser);
}

std::optional<QByteArray> decodeEscapes(const QString &text)
{
    // The one-letter escapes, each with the byte it stands for.
    static const QHash<char, char> kEscapes{{'r', '\r'}, {'n', '\n'}, {'t', '\t'}, {'\\', '\\'}};
    const auto isHex = [](char c) { return std::isxdigit(uchar(c)) != 0; };

    const QByteArray in = text.toUtf8();
    QByteArray out;
    for (qsizetype i = 0; i < in.size(); ++i) {
        if (in[i] != '\\') {
            out.append(in[i]);
            continue;
        }
        if (++i == in.size())
            return std::nullopt;
        if (const auto escape = kEscapes.constFind(in[i]); escape != kEscapes.cend()) {
            out.append(*escape);
            continue;
        }
        // \xHH
        const QByteArray digits = in.mid(i + 1, 2);
        if (in[i] != 'x' || digits.size() != 2 || !std::all_of(digits.begin(), digits.end(), isHex))
            return std::nullopt;
        out.append(char(digits.toInt(nullptr, 16)));
        i += 2;
    }
    return out;
}
