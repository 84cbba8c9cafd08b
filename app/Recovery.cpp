#include "app/Main.h"
#include "common/PlatformError.h"
#include "storage/CellText.h"
#include "storage/NewUploadFile.h"
#include "storage/UploadTable.h"

#include <QDir>
#include <QScopeGuard>

#include <algorithm>

namespace {

using Row = WindowOperations::KeptUploadRow;
using Request = WindowOperations::RecoveryRequest;

// More of a first line than a row of the list shows.
constexpr qsizetype kFirstLineShown = 200;

// "2026-12-09 16:50:12"
const QString kReceivedFormat = QStringLiteral("yyyy-MM-dd HH:mm:ss");

// The first line that holds anything, read as a workbook reads its text, with commas between its
// values as the instrument sent them: "12.5\t4.01\r\n" => "12.5,4.01".
QString firstLineOf(const QByteArray &upload)
{
    QByteArrayView line;
    for (qsizetype from = 0; line.isEmpty() && from < upload.size();) {
        qsizetype end = upload.indexOf("\r\n", from);
        if (end < 0)
            end = upload.size();
        line = QByteArrayView(upload).sliced(from, end - from);
        from = end + 2;
    }
    // A UTF-8 character takes at most four bytes.
    line = line.first(std::min(line.size(), 4 * kFirstLineShown));
    const QString text = CellText::encodingOf(upload) == CellText::Encoding::Utf8
                             ? QString::fromUtf8(line)
                             : QString::fromUtf8(utf8OfWindows1252(line));
    QString shown = text.left(kFirstLineShown);
    for (QChar &character : shown) {
        if (character == u'\t')
            character = u',';
        else if (character.category() == QChar::Other_Control)
            character = u' ';
    }
    return shown;
}

Row rowOf(const KeptUpload &kept, const QByteArray &upload)
{
    return {kept.received(), lineCountOf(upload), upload.size(), firstLineOf(upload)};
}

// "upload-2026-12-09_165012": the moment of arrival, as the list shows it.
QString fileStemOf(const KeptUpload &kept)
{
    return QStringLiteral("upload-") +
           kept.received().toString(QStringLiteral("yyyy-MM-dd_HHmmss"));
}

} // namespace

void Main::offerUnsavedUploads()
{
    std::vector<KeptUpload> kept;
    QList<Row> rows;
    for (KeptUpload &left : m_unsaved.leftBehind()) {
        try {
            rows << rowOf(left, left.upload());
        } catch (const PlatformError &) {
            // Unreadable now; it stays for a later start.
            continue;
        }
        kept.push_back(std::move(left));
    }
    if (rows.isEmpty())
        return;
    m_window.showRecoveryDialog(rows, CommonDialog1.InitDir(), [&](const Request &request) {
        switch (request.action) {
        case Request::SaveAll:
            return saveKeptUploads(kept, request.rows, request.folder, request.suffix);
        case Request::Save:
            return saveKeptUploadThroughDialog(kept, request.rows.value(0, -1));
        case Request::Discard:
            return discardKeptUploads(kept, request.rows);
        }
        return QList<int>();
    });
}

std::optional<QByteArray> Main::readKeptUpload(const KeptUpload &kept)
{
    try {
        return kept.upload();
    } catch (const PlatformError &error) {
        m_window.messageBox(QStringLiteral("The upload received on %1 cannot be read:\n%2")
                                .arg(kept.received().toString(kReceivedFormat), error.message()),
                            WindowOperations::Buttons::Ok, WindowOperations::Icon::Critical);
        return std::nullopt;
    }
}

QList<int> Main::saveKeptUploads(std::vector<KeptUpload> &kept, const QList<int> &rows,
                                 const QString &folder, const QString &suffix)
{
    QList<int> saved;
    for (const int row : rows) {
        const std::optional<QByteArray> upload = readKeptUpload(kept.at(row));
        if (!upload)
            break;
        try {
            // A large workbook takes seconds.
            m_window.showBusy(true);
            const auto notBusy = qScopeGuard([this] { m_window.showBusy(false); });
            writeNewUploadFile(folder, fileStemOf(kept.at(row)), suffix, *upload);
        } catch (const PlatformError &error) {
            // What stopped this one would most likely stop the rest: they stay in the list, for
            // another folder or another start.
            m_window.messageBox(
                QStringLiteral("The upload received on %1 could not be saved in %2:\n%3")
                    .arg(kept.at(row).received().toString(kReceivedFormat),
                         QDir::toNativeSeparators(folder), error.message()),
                WindowOperations::Buttons::Ok, WindowOperations::Icon::Critical);
            break;
        }
        kept.at(row).forget();
        saved << row;
    }
    // The folder is remembered as a save's is.
    if (!saved.isEmpty())
        CommonDialog1.setInitDir(QDir::toNativeSeparators(folder));
    return saved;
}

QList<int> Main::saveKeptUploadThroughDialog(std::vector<KeptUpload> &kept, int row)
{
    if (row < 0 || row >= int(kept.size()))
        return {};
    const std::optional<QByteArray> upload = readKeptUpload(kept.at(row));
    if (!upload || !saveThroughDialog(*upload))
        return {};
    kept.at(row).forget();
    return {row};
}

QList<int> Main::discardKeptUploads(std::vector<KeptUpload> &kept, const QList<int> &rows)
{
    if (rows.isEmpty())
        return {};
    const QString question =
        rows.size() == 1
            ? QStringLiteral("Do you want to discard 1 upload that was never saved? It cannot be "
                             "brought back.")
            : QStringLiteral("Do you want to discard %1 uploads that were never saved? They "
                             "cannot be brought back.")
                  .arg(rows.size());
    if (m_window.messageBox(question, WindowOperations::Buttons::YesNoDefaultNo,
                            WindowOperations::Icon::None) != WindowOperations::Answer::Yes)
        return {};
    for (const int row : rows)
        kept.at(row).forget();
    return rows;
}
