#include "storage/WorkbookCheck.h"

#include "common/PlatformError.h"
#include "storage/ZipReader.h"

#include <QByteArray>
#include <QByteArrayView>

#include <cstring>

namespace {

const QString kSheet = QStringLiteral("xl/worksheets/sheet1.xml");
constexpr QByteArrayView kCell("<c ");
constexpr qsizetype kPieceBytes = 1 << 16;
// Enough for the XML declaration and the opening tag's name, and for the end tag.
constexpr qsizetype kHeadBytes = 512;
constexpr qsizetype kTailBytes = 128;

struct Part
{
    QByteArray head;
    QByteArray tail;
    qsizetype cells = 0;

    // "<?xml ...?>\n<worksheet xmlns=...>...</worksheet>"
    bool closesItsRoot() const
    {
        qsizetype at = head.indexOf('<');
        while (at >= 0 && at + 1 < head.size() && (head[at + 1] == '?' || head[at + 1] == '!'))
            at = head.indexOf('<', at + 1);
        if (at < 0)
            return false;
        qsizetype nameEnd = at + 1;
        while (nameEnd < head.size() && !std::strchr(" \t\r\n/>", head[nameEnd]))
            ++nameEnd;
        const QByteArray endTag = "</" + head.mid(at + 1, nameEnd - at - 1) + '>';
        return endTag.size() > 3 && tail.trimmed().endsWith(endTag);
    }
};

// A part read in pieces; the last bytes of each piece stay in front of the next, so that a cell
// tag split between two pieces is counted once.
Part readPart(ZipReader &zip)
{
    Part part;
    const qsizetype carried = kCell.size() - 1;
    QByteArray buffer(carried + kPieceBytes, Qt::Uninitialized);
    qsizetype kept = 0;
    for (;;) {
        const qsizetype got = zip.read(buffer.data() + kept, kPieceBytes);
        if (got == 0)
            return part;
        const QByteArrayView piece(buffer.constData(), kept + got);
        const QByteArrayView fresh = piece.sliced(kept);
        if (part.head.size() < kHeadBytes)
            part.head += fresh.first(qMin(fresh.size(), kHeadBytes - part.head.size()));
        part.cells += piece.count(kCell);
        part.tail = fresh.size() >= kTailBytes
                        ? fresh.last(kTailBytes).toByteArray()
                        : (part.tail + fresh.toByteArray()).right(kTailBytes);
        kept = qMin(piece.size(), carried);
        std::memmove(buffer.data(), piece.end() - kept, kept);
    }
}

bool isXml(const QString &name)
{
    return name.endsWith(QLatin1String(".xml")) || name.endsWith(QLatin1String(".rels"));
}

} // namespace

bool workbookIsWhole(const QString &path, qsizetype cells)
{
    try {
        ZipReader zip(path);
        bool sheetSeen = false;
        while (zip.nextEntry()) {
            if (!isXml(zip.entryName()))
                continue;
            const Part part = readPart(zip);
            const bool isSheet = zip.entryName() == kSheet;
            if (!part.closesItsRoot() || (isSheet && part.cells != cells))
                return false;
            sheetSeen = sheetSeen || isSheet;
        }
        return sheetSeen;
    } catch (const PlatformError &) {
        return false;
    }
}
