#include "common/PlatformError.h"
#include "serial/PortTable.h"
#include "storage/ConfigFile.h"
#include "storage/RegularFile.h"
#include "upload/LenientNumber.h"

#include <QFile>

#include <cstdlib>
#include <cstring>
#include <limits>

namespace {

// Far beyond any two lines the tool writes; a larger file is read only this far.
constexpr qint64 kLargestConfigRead = 1 << 20;

// Reads the fields in order, the way a hand-edited file is most likely meant: tabs count as
// blanks, and a lone CR or LF ends a line as CR LF does.
class FieldReader
{
public:
    explicit FieldReader(const QByteArray &content) : m_text(content) {}

    bool atEnd() const { return m_pos >= m_text.size(); }

    void skipBlanks()
    {
        while (!atEnd() && isBlank(peek()))
            ++m_pos;
    }
    void skipBlanksAndLineEnds()
    {
        while (!atEnd() && (isBlank(peek()) || isLineEnd(peek())))
            ++m_pos;
    }
    // Takes the text up to, not including, the first stop character or the end.
    QByteArray takeUntil(const char *stops)
    {
        const qsizetype from = m_pos;
        while (!atEnd() && !isStop(peek(), stops))
            ++m_pos;
        return m_text.mid(from, m_pos - from);
    }
    void consumeSeparator()
    {
        if (atEnd())
            return;
        if (peek() == ',') {
            ++m_pos;
        } else if (peek() == '\r') {
            ++m_pos;
            if (!atEnd() && peek() == '\n')
                ++m_pos;
        } else if (peek() == '\n') {
            ++m_pos;
        }
    }
    char peek() const { return m_text[m_pos]; }
    void advance() { ++m_pos; }

private:
    // A NUL is an ordinary character; strchr alone would find the stops' own terminator for it.
    static bool isStop(char c, const char *stops) { return c != '\0' && std::strchr(stops, c); }
    static bool isBlank(char c) { return c == ' ' || c == '\t'; }
    static bool isLineEnd(char c) { return c == '\r' || c == '\n'; }

    const QByteArray &m_text;
    qsizetype m_pos = 0;
};

} // namespace

QByteArray configFileBytes(qint16 portNumber, const QString &folder)
{
    QByteArray bytes;
    bytes += portNumber < 0 ? '-' : ' ';
    bytes += QByteArray::number(std::abs(int(portNumber)));
    bytes += " \r\n\"";
    bytes += QFile::encodeName(folder);
    bytes += "\"\r\n";
    return bytes;
}

ConfigFields readConfigFields(const QByteArray &content)
{
    ConfigFields fields;
    FieldReader reader(content);

    reader.skipBlanksAndLineEnds();
    if (reader.atEnd())
        return fields;
    // "3" => 3, "abc" => 0, "3.7" => 4, "99999" => no port: out of range
    const auto number =
        lenientWholeNumber(reader.takeUntil(" \t,\r\n"), std::numeric_limits<qint16>::min(),
                           std::numeric_limits<qint16>::max());
    if (!number)
        return fields;
    fields.portNumber = static_cast<qint16>(*number);
    reader.skipBlanks();
    reader.consumeSeparator();

    reader.skipBlanks();
    if (reader.atEnd())
        return fields;
    QByteArray folder;
    if (reader.peek() == '"') {
        reader.advance();
        // A missing closing quote ends the folder at the line end.
        folder = reader.takeUntil("\"\r\n");
    } else {
        folder = reader.takeUntil(",\r\n");
        while (folder.endsWith(' ') || folder.endsWith('\t'))
            folder.chop(1);
    }
    fields.folder = QFile::decodeName(folder);
    return fields;
}

ConfigFields readConfigFile(const QString &path)
{
    // Missing, unreadable or no regular file (a pipe would wait for a writer for ever): nothing.
    QFile file(path);
    try {
        openRegularFile(file);
    } catch (const PlatformError &) {
        return {};
    }
    return readConfigFields(file.read(kLargestConfigRead));
}

std::optional<qint16> rememberedPort(const ConfigFields &fields)
{
    if (fields.portNumber && *fields.portNumber >= kFirstPort &&
        *fields.portNumber <= highestPortNumber())
        return fields.portNumber;
    return std::nullopt;
}
