#include "storage/WorkbookFile.h"

#include "common/PlatformError.h"
#include "storage/CellText.h"
#include "storage/PlainNumber.h"
#include "storage/UploadTable.h"
#include "storage/WorkbookCheck.h"

#include <QDir>
#include <QFile>

#include <cerrno>
#include <clocale>
#include <cstdio>
#include <memory>
#include <string>
#include <xlsxwriter.h>

namespace {

// What a cell of a spreadsheet holds at most; libxlsxwriter refuses a longer text.
constexpr int kCellCharacters = 32767;

// A workbook given up before it is closed, as when an upload does not fit a sheet, still holds the
// temporary file of each sheet open: the library closes it only when it writes the sheet. Closed
// here, it goes at once, where it would stay in the temporary folder until the program ends
// (Windows removes such a file when it is closed, and cannot while it is open).
struct WorkbookFree
{
    void operator()(lxw_workbook *workbook) const
    {
        lxw_sheet *sheet = nullptr;
        STAILQ_FOREACH(sheet, workbook->sheets, list_pointers)
        {
            lxw_worksheet *const worksheet = sheet->is_chartsheet ? nullptr : sheet->u.worksheet;
            if (worksheet && worksheet->optimize_tmpfile) {
                std::fclose(worksheet->optimize_tmpfile);
                worksheet->optimize_tmpfile = nullptr;
                worksheet->file = nullptr;
            }
        }
        lxw_workbook_free(workbook);
    }
};
using Workbook = std::unique_ptr<lxw_workbook, WorkbookFree>;

[[noreturn]] void refuse(const QString &reason)
{
    throw PlatformError(reason);
}

[[noreturn]] void refuseAsTooLarge(const QString &reason)
{
    throw DoesNotFitASheet(reason + QStringLiteral(" Save it as .csv or .xls instead."));
}

// libxlsxwriter writes numbers with printf, which follows the C library's locale, and the program
// takes that from the user's settings: in a German one 12.345 would go in the file as "12,345",
// which no spreadsheet reads. While it lives, numbers are written as the "C" locale does. The
// program has one thread, so the process's locale may change for this moment.
class PointDecimals
{
public:
    PointDecimals() : m_previous(std::setlocale(LC_NUMERIC, nullptr))
    {
        std::setlocale(LC_NUMERIC, "C");
    }
    ~PointDecimals() { std::setlocale(LC_NUMERIC, m_previous.c_str()); }
    PointDecimals(const PointDecimals &) = delete;
    PointDecimals &operator=(const PointDecimals &) = delete;

private:
    std::string m_previous;
};

void check(lxw_error error)
{
    if (error == LXW_ERROR_MAX_STRING_LENGTH_EXCEEDED)
        refuseAsTooLarge(QStringLiteral("A field is longer than a cell holds (%1 characters).")
                             .arg(kCellCharacters));
    if (error != LXW_NO_ERROR)
        refuse(QString::fromUtf8(lxw_strerror(error)));
}

void checkPlace(qsizetype line, qsizetype column)
{
    if (line >= LXW_ROW_MAX)
        refuseAsTooLarge(
            QStringLiteral("The upload has more lines than a sheet holds (%1).").arg(LXW_ROW_MAX));
    if (column >= LXW_COL_MAX)
        refuseAsTooLarge(
            QStringLiteral("A line has more fields than a sheet holds (%1).").arg(LXW_COL_MAX));
}

} // namespace

void writeWorkbookFile(const QString &path, QByteArrayView upload)
{
    const PointDecimals pointDecimals;
    // In constant-memory mode each row goes to a temporary file once the next one starts. The
    // user's TMPDIR decides where, as it does for other programs.
    QByteArray temporaryFolder = QFile::encodeName(QDir::tempPath());
    lxw_workbook_options options{};
    options.constant_memory = LXW_TRUE;
    options.tmpdir = temporaryFolder.data();
    Workbook workbook(workbook_new_opt(QFile::encodeName(path).constData(), &options));
    if (!workbook)
        refuse(QString::fromUtf8(lxw_strerror(LXW_ERROR_MEMORY_MALLOC_FAILED)));
    lxw_worksheet *const sheet = workbook_add_worksheet(workbook.get(), nullptr);
    if (!sheet)
        refuse(QString::fromUtf8(lxw_strerror(LXW_ERROR_MEMORY_MALLOC_FAILED)));

    CellText text(CellText::encodingOf(upload));
    qsizetype cells = 0;
    forEachField(
        upload,
        [&](qsizetype line, qsizetype column, QByteArrayView field) {
            if (field.isEmpty())
                return;
            checkPlace(line, column);
            const auto row = static_cast<lxw_row_t>(line);
            const auto col = static_cast<lxw_col_t>(column);
            if (const std::optional<double> number = plainNumber(field))
                check(worksheet_write_number(sheet, row, col, *number, nullptr));
            else
                check(worksheet_write_string(sheet, row, col, text.of(field), nullptr));
            ++cells;
        },
        [](qsizetype) {});

    // Closing writes the file, and frees the workbook whether or not that worked. Where a write
    // failed, the system's reason ("No space left on device") says more than the library's.
    errno = 0;
    const lxw_error closed = workbook_close(workbook.release());
    if (closed != LXW_NO_ERROR && errno != 0)
        refuse(qt_error_string(errno));
    check(closed);
    if (!workbookIsWhole(path, cells))
        refuse(
            QStringLiteral("It came out incomplete, as it does where a folder that it is written "
                           "to is full."));
}
