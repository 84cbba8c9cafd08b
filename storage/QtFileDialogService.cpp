#include "storage/QtFileDialogService.h"

#include "common/YesNoBox.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QList>
#include <QMessageBox>
#include <QStringList>

namespace {

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

// A file type of the filter: its text in the dialog, and the extension that a name typed without
// one gets while it is selected.
struct FilterType
{
    QString nameFilter;
    QString extension;
};

// "*.xlsx" => "xlsx"; "*.*" and "*" have none.
QString extensionOf(const QString &pattern)
{
    if (!pattern.startsWith(QLatin1String("*.")))
        return {};
    const QString extension = pattern.mid(2);
    const bool wild =
        extension.contains(u'*') || extension.contains(u'?') || extension.contains(u'[');
    return wild ? QString() : extension;
}

// "description|pattern|description|pattern", perhaps ending with a bar. A type's extension is that
// of its first pattern ("*.txt;*.tsv" => "txt"); under the first type, the one the dialog opens
// with, a name is used as typed.
QList<FilterType> filterTypes(const QString &filter)
{
    const QStringList parts = filter.split(u'|');
    QList<FilterType> types;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        const QString firstPattern = parts.at(i + 1).section(u';', 0, 0).trimmed();
        types.append({qtNameFilter(parts.at(i), parts.at(i + 1)),
                      types.isEmpty() ? QString() : extensionOf(firstPattern)});
    }
    return types;
}

// QFileDialog in AnyFile mode accepts a name in any folder, existing or not; this one can insist
// that the folder exists, as kPathMustExist asks, and keeps the dialog open when it does not. Its
// open form asks nothing before a file is replaced; this one asks when kOverwritePrompt is set,
// and No keeps the dialog open for another name. A name typed without an extension gets that of
// the selected file type, if it has one.
class OpenDialog : public QFileDialog
{
    Q_OBJECT

public:
    OpenDialog(QWidget *parent, qint32 flags, const QString &questionTitle,
               const QList<FilterType> &types)
        : QFileDialog(parent), m_flags(flags), m_questionTitle(questionTitle), m_types(types)
    {}

    void accept() override
    {
        QString chosen = selectedFiles().value(0);
        const QFileInfo typed(chosen);
        const QString extension = selectedExtension();
        if (!chosen.isEmpty() && !extension.isEmpty() && !typed.isDir() &&
            !typed.fileName().contains(u'.'))
            chosen += u'.' + extension;
        if ((m_flags & FileDialogService::kPathMustExist) && !chosen.isEmpty()) {
            const QString folder = QFileInfo(chosen).absolutePath();
            if (!QFileInfo(folder).isDir()) {
                QMessageBox::warning(
                    this, windowTitle(),
                    tr("%1\nThe folder does not exist.").arg(QDir::toNativeSeparators(folder)));
                return;
            }
        }
        const QFileInfo target(chosen);
        if ((m_flags & FileDialogService::kOverwritePrompt) && target.exists() && !target.isDir()) {
            YesNoBox question(
                QMessageBox::Warning, m_questionTitle,
                tr("%1 already exists. Do you want to replace it?").arg(target.fileName()), this);
            if (!question.ask())
                return;
        }
        m_chosen = chosen;
        QFileDialog::accept();
    }

    // The name accepted, with the extension it gained.
    QString chosen() const { return m_chosen; }

private:
    QString selectedExtension() const
    {
        for (const FilterType &type : m_types) {
            if (type.nameFilter == selectedNameFilter())
                return type.extension;
        }
        return {};
    }

    qint32 m_flags;
    QString m_questionTitle;
    QList<FilterType> m_types;
    QString m_chosen;
};

} // namespace

QtFileDialogService::QtFileDialogService(QWidget *parent, const QString &questionTitle)
    : m_parent(parent), m_questionTitle(questionTitle)
{}

void QtFileDialogService::ShowOpen()
{
    const QList<FilterType> types = filterTypes(m_filter);
    // On the heap and watched: closing the parent during exec() deletes the dialog with it.
    QPointer<OpenDialog> dialog = new OpenDialog(m_parent, m_flags, m_questionTitle, types);
    dialog->setOption(QFileDialog::DontUseNativeDialog);
    dialog->setAcceptMode(QFileDialog::AcceptOpen);
    dialog->setFileMode(QFileDialog::AnyFile);
    // A folder that does not exist would leave the dialog in an empty, unreadable place.
    if (QFileInfo(m_initDir).isDir())
        dialog->setDirectory(m_initDir);

    if (!types.isEmpty()) {
        QStringList nameFilters;
        for (const FilterType &type : types)
            nameFilters << type.nameFilter;
        dialog->setNameFilters(nameFilters);
        const bool inRange = m_filterIndex >= 1 && m_filterIndex <= types.size();
        dialog->selectNameFilter(nameFilters.at(inRange ? m_filterIndex - 1 : 0));
    }

    const bool accepted = dialog->exec() == QDialog::Accepted && dialog;
    if (accepted)
        m_fileName = QDir::toNativeSeparators(dialog->chosen());
    delete dialog;
    if (!accepted && m_cancelError)
        throw DialogCancelled();
}

#include "QtFileDialogService.moc"
