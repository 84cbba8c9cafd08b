#include "storage/QtFileDialogService.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QStringList>

namespace {

// QFileDialog in AnyFile mode accepts a name in any folder, existing or not; this one can insist
// that the folder exists, as kPathMustExist asks, and keeps the dialog open when it does not.
class OpenDialog : public QFileDialog
{
    Q_OBJECT

public:
    OpenDialog(QWidget *parent, bool pathMustExist)
        : QFileDialog(parent), m_pathMustExist(pathMustExist)
    {}

    void accept() override
    {
        const QString chosen = selectedFiles().value(0);
        if (m_pathMustExist && !chosen.isEmpty()) {
            const QString folder = QFileInfo(chosen).absolutePath();
            if (!QFileInfo(folder).isDir()) {
                QMessageBox::warning(
                    this, windowTitle(),
                    tr("%1\nThe folder does not exist.").arg(QDir::toNativeSeparators(folder)));
                return;
            }
        }
        QFileDialog::accept();
    }

private:
    bool m_pathMustExist;
};

// QFileDialog reads a file type's patterns from the parentheses that end its text, so a
// description that already ends with its own patterns ("XLS Files (*.xls)") is shown as it is;
// any other gets them appended.
QString qtNameFilter(const QString &description, const QString &patterns)
{
    QStringList list = patterns.split(u';', Qt::SkipEmptyParts);
    for (QString &pattern : list)
        pattern = pattern.trimmed();
    const QString inParentheses = u'(' + list.join(u' ') + u')';
    if (description.endsWith(inParentheses))
        return description;
    return (description + u' ' + inParentheses).trimmed();
}

// "description|pattern|description|pattern", perhaps ending with a bar.
QStringList qtNameFilters(const QString &filter)
{
    const QStringList parts = filter.split(u'|');
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2)
        filters << qtNameFilter(parts.at(i), parts.at(i + 1));
    return filters;
}

} // namespace

QtFileDialogService::QtFileDialogService(QWidget *parent) : m_parent(parent) {}

void QtFileDialogService::ShowOpen()
{
    // On the heap and watched: closing the parent during exec() deletes the dialog with it.
    QPointer<OpenDialog> dialog = new OpenDialog(m_parent, m_flags & kPathMustExist);
    dialog->setOption(QFileDialog::DontUseNativeDialog);
    dialog->setAcceptMode(QFileDialog::AcceptOpen);
    dialog->setFileMode(QFileDialog::AnyFile);
    // A folder that does not exist would leave the dialog in an empty, unreadable place.
    if (QFileInfo(m_initDir).isDir())
        dialog->setDirectory(m_initDir);

    const QStringList filters = qtNameFilters(m_filter);
    if (!filters.isEmpty()) {
        dialog->setNameFilters(filters);
        const bool inRange = m_filterIndex >= 1 && m_filterIndex <= filters.size();
        dialog->selectNameFilter(filters.at(inRange ? m_filterIndex - 1 : 0));
    }

    const bool accepted = dialog->exec() == QDialog::Accepted && dialog;
    if (accepted)
        m_fileName = QDir::toNativeSeparators(dialog->selectedFiles().value(0));
    delete dialog;
    if (!accepted && m_cancelError)
        throw DialogCancelled();
}

#include "QtFileDialogService.moc"
