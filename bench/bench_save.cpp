// Saving a large upload as a workbook, against libxlsxwriter writing the same cells by itself.

#include "bench/Bench.h"
#include "storage/UploadFile.h"
#include "tools/InstrumentFrame.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <charconv>
#include <limits>
#include <stdexcept>
#include <vector>
#include <xlsxwriter.h>

namespace {

// A cell as libxlsxwriter takes it: a number, or else a text that ends in NUL.
struct Cell
{
    lxw_row_t row;
    lxw_col_t col;
    double number;
    const char *text;
};

// The cells that a save makes of the decoded upload: a row a line, a cell a field, a number cell
// where the whole field reads as a number. Each field's end in the upload becomes its text's NUL.
// The sample rows have no empty field and no number that the save keeps as text ("007", "+5").
std::vector<Cell> cellsOf(QByteArray &upload)
{
    std::vector<Cell> cells;
    Cell cell{0, 0, 0, upload.data()};
    for (char *at = upload.data(), *end = at + upload.size(); at != end; ++at) {
        if (*at != '\t' && *at != '\r')
            continue;
        const bool lineEnds = *at == '\r';
        *at = '\0';
        const auto [stop, error] = std::from_chars(cell.text, at, cell.number);
        cells.push_back({cell.row, cell.col, cell.number,
                         error == std::errc() && stop == at ? nullptr : cell.text});
        at += lineEnds; // the LF after the CR
        cell = {cell.row + lineEnds, lineEnds ? lxw_col_t(0) : lxw_col_t(cell.col + 1), 0, at + 1};
    }
    return cells;
}

// libxlsxwriter alone, in the constant-memory mode that the save uses.
void writeCells(const QString &path, const std::vector<Cell> &cells)
{
    QByteArray temporaryFolder = QFile::encodeName(QDir::tempPath());
    lxw_workbook_options options{};
    options.constant_memory = LXW_TRUE;
    options.tmpdir = temporaryFolder.data();
    lxw_workbook *workbook = workbook_new_opt(QFile::encodeName(path).constData(), &options);
    lxw_worksheet *sheet = workbook_add_worksheet(workbook, nullptr);
    for (const Cell &cell : cells) {
        if (cell.text)
            worksheet_write_string(sheet, cell.row, cell.col, cell.text, nullptr);
        else
            worksheet_write_number(sheet, cell.row, cell.col, cell.number, nullptr);
    }
    if (workbook_close(workbook) != LXW_NO_ERROR)
        throw std::runtime_error("libxlsxwriter could not write " + path.toStdString());
}

template <typename Work> double secondsOf(Work &&work)
{
    const double began = monotonicSeconds();
    work();
    return monotonicSeconds() - began;
}

// A 16 MiB upload saved as .xlsx by writeUploadFile, in seconds of the wall clock, against
// libxlsxwriter writing its cells, which are found before the clock starts.
void SaveXlsx(benchmark::State &state)
{
    measureRow(state, [&] {
        const QByteArray upload = decodedText(samplePayload(16 * kMiB));
        QByteArray texts = upload;
        const std::vector<Cell> cells = cellsOf(texts);
        const QTemporaryDir folder;
        const QString saved = folder.filePath(QStringLiteral("saved.xlsx"));
        const QString written = folder.filePath(QStringLiteral("written.xlsx"));
        double save = std::numeric_limits<double>::infinity(), library = save;
        for (auto _ : state) {
            save = std::min(save, secondsOf([&] { writeUploadFile(saved, upload); }));
            library = std::min(library, secondsOf([&] { writeCells(written, cells); }));
        }
        judge(state, save, library, 1.3);
    });
}

} // namespace

BENCHMARK(SaveXlsx)->Iterations(3)->Unit(benchmark::kMillisecond);
