#pragma once

#include <QByteArrayView>

// The decoded upload read as a table. A line ends at CR LF and a tab separates its fields: the
// instrument's commas became tabs, and a tab it sent separates fields just the same, as it does
// when a spreadsheet opens the tab-separated file. A CR or LF on its own belongs to its field.
// Text after the last CR LF is a last line, unless it is empty.
//   "1\t2\r\n\r\nx" => line 0: "1", "2"; line 1: ""; line 2: "x"
// field(line, column, bytes) runs for every field in order, lineEnd(line) after each line's last.
// lineCountOf tells the lines alone.
template <typename Field, typename LineEnd>
void forEachField(QByteArrayView text, Field &&field, LineEnd &&lineEnd)
{
    qsizetype line = 0;
    qsizetype from = 0;
    while (from < text.size()) {
        qsizetype end = text.indexOf("\r\n", from);
        if (end < 0)
            end = text.size();
        const QByteArrayView content = text.sliced(from, end - from);
        qsizetype at = 0;
        for (qsizetype column = 0;; ++column) {
            const qsizetype tab = content.indexOf('\t', at);
            field(line, column, content.sliced(at, (tab < 0 ? content.size() : tab) - at));
            if (tab < 0)
                break;
            at = tab + 1;
        }
        lineEnd(line);
        ++line;
        from = end + 2;
    }
}

inline qsizetype lineCountOf(QByteArrayView text)
{
    return text.count("\r\n") + (text.isEmpty() || text.endsWith("\r\n") ? 0 : 1);
}
