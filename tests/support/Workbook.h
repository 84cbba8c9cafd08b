#pragma once

#include "storage/ZipReader.h"

#include <QByteArray>
#include <QLocale>
#include <QRegularExpression>
#include <QString>
#include <QStringList>
#include <QXmlStreamReader>

// A workbook's cells as a test compares them: "A1 number 12.5", "C1 text start".

inline QString numberCell(const char *at, double value)
{
    return QStringLiteral("%1 number %2")
        .arg(QLatin1String(at), QString::number(value, 'g', QLocale::FloatingPointShortest));
}

inline QString textCell(const char *at, const QString &text)
{
    return QStringLiteral("%1 text %2").arg(QLatin1String(at), text);
}

// Text as a spreadsheet shows it: _xHHHH_ is the character of that code.
inline QString unescaped(const QString &text)
{
    static const QRegularExpression escape(QStringLiteral("_x([0-9A-Fa-f]{4})_"));
    QString shown;
    qsizetype from = 0;
    for (const QRegularExpressionMatch &match : escape.globalMatch(text)) {
        shown += text.mid(from, match.capturedStart() - from);
        shown += QChar(match.captured(1).toUShort(nullptr, 16));
        from = match.capturedEnd();
    }
    return shown + text.mid(from);
}

// The cells of a workbook's only sheet, in order, as numberCell and textCell write them.
inline QStringList cellsOf(const QString &path)
{
    ZipReader zip(path);
    QStringList sheets;
    QByteArray sheet;
    while (zip.nextEntry()) {
        if (!zip.entryName().startsWith(QLatin1String("xl/worksheets/")))
            continue;
        sheets << zip.entryName();
        char piece[4096];
        while (const qsizetype got = zip.read(piece, sizeof piece))
            sheet.append(piece, got);
    }
    if (sheets != QStringList{QStringLiteral("xl/worksheets/sheet1.xml")})
        return QStringList{QStringLiteral("sheets: ") + sheets.join(u' ')};

    QStringList cells;
    QXmlStreamReader xml(sheet);
    QString at;
    QString type;
    while (xml.readNext() != QXmlStreamReader::Invalid && !xml.atEnd()) {
        if (!xml.isStartElement())
            continue;
        if (xml.name() == u"c") {
            at = xml.attributes().value(QLatin1String("r")).toString();
            type = xml.attributes().value(QLatin1String("t")).toString();
        } else if (xml.name() == u"v" && type.isEmpty()) {
            cells << numberCell(qPrintable(at), xml.readElementText().toDouble());
        } else if (xml.name() == u"t" && type == u"inlineStr") {
            cells << textCell(qPrintable(at), unescaped(xml.readElementText()));
        } else if (xml.name() == u"v" || xml.name() == u"t") {
            cells << at + QLatin1String(" of type ") + type;
        }
    }
    if (xml.hasError())
        cells << QStringLiteral("XML error: ") + xml.errorString();
    return cells;
}
