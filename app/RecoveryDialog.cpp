#include "app/RecoveryDialog.h"

#include "storage/UploadFile.h"

#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {

using Request = WindowOperations::RecoveryRequest;

enum Column
{
    Received,
    Lines,
    Size,
    FirstLine
};

// The number of the row as the handler knows it.
constexpr int kRowRole = Qt::UserRole;

} // namespace

RecoveryDialog::RecoveryDialog(const QList<WindowOperations::KeptUploadRow> &rows,
                               const QString &folder, WindowOperations::RecoveryHandler handle,
                               QWidget *parent)
    : QDialog(parent), m_handle(std::move(handle)), m_folder(folder)
{
    setObjectName(QStringLiteral("RecoveryDialog"));
    setWindowTitle(QStringLiteral("Unsaved uploads - Brackenfeld"));
    auto *intro = new QLabel(
        QStringLiteral("Brackenfeld ended before these uploads were saved. Save All and Discard "
                       "act on the checked ones; Later keeps them all for the next start."),
        this);
    intro->setWordWrap(true);

    m_list = new QTreeWidget(this);
    m_list->setObjectName(QStringLiteral("KeptUploads"));
    m_list->setAccessibleName(QStringLiteral("Unsaved uploads"));
    m_list->setRootIsDecorated(false);
    m_list->setUniformRowHeights(true);
    m_list->setHeaderLabels({QStringLiteral("Received"), QStringLiteral("Lines"),
                             QStringLiteral("Size"), QStringLiteral("First line")});
    createRows(rows);

    m_type = new QComboBox(this);
    m_type->setObjectName(QStringLiteral("FileType"));
    for (const UploadFileType &type : kUploadFileTypes)
        m_type->addItem(type.description, type.suffix);
    auto *typeLabel = new QLabel(QStringLiteral("File &type for Save All:"), this);
    typeLabel->setBuddy(m_type);

    m_saveAll = new QPushButton(QStringLiteral("Save &All…"), this);
    m_save = new QPushButton(QStringLiteral("&Save…"), this);
    m_discard = new QPushButton(QStringLiteral("&Discard"), this);
    auto *later = new QPushButton(QStringLiteral("&Later"), this);
    m_saveAll->setObjectName(QStringLiteral("SaveAllButton"));
    m_save->setObjectName(QStringLiteral("SaveButton"));
    m_discard->setObjectName(QStringLiteral("DiscardButton"));
    later->setObjectName(QStringLiteral("LaterButton"));
    m_saveAll->setDefault(true);

    auto *typeRow = new QHBoxLayout;
    typeRow->addWidget(typeLabel);
    typeRow->addWidget(m_type);
    typeRow->addStretch();
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(m_saveAll);
    buttons->addWidget(m_save);
    buttons->addWidget(m_discard);
    buttons->addStretch();
    buttons->addWidget(later);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(intro);
    layout->addWidget(m_list);
    layout->addLayout(typeRow);
    layout->addLayout(buttons);
    resize(720, 420);

    connect(m_saveAll, &QPushButton::clicked, this, &RecoveryDialog::saveAll);
    connect(m_save, &QPushButton::clicked, this, &RecoveryDialog::saveSelected);
    connect(m_discard, &QPushButton::clicked, this, &RecoveryDialog::discardChecked);
    connect(later, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_list, &QTreeWidget::itemChanged, this, &RecoveryDialog::enableButtons);
    connect(m_list, &QTreeWidget::currentItemChanged, this, &RecoveryDialog::enableButtons);
    m_list->setFocus();
    enableButtons();
}

void RecoveryDialog::createRows(const QList<WindowOperations::KeptUploadRow> &rows)
{
    for (int row = 0; row < rows.size(); ++row) {
        const WindowOperations::KeptUploadRow &upload = rows.at(row);
        auto *item = new QTreeWidgetItem(m_list);
        item->setData(Received, kRowRole, row);
        item->setCheckState(Received, Qt::Checked);
        item->setText(Received, upload.received.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")));
        item->setText(Lines, QString::number(upload.lines));
        item->setText(
            Size, locale().formattedDataSize(upload.bytes, 1, QLocale::DataSizeTraditionalFormat));
        item->setText(FirstLine, upload.firstLine);
        item->setTextAlignment(Lines, Qt::AlignRight | Qt::AlignVCenter);
        item->setTextAlignment(Size, Qt::AlignRight | Qt::AlignVCenter);
    }
    for (const int column : {Received, Lines, Size})
        m_list->resizeColumnToContents(column);
    m_list->setCurrentItem(m_list->topLevelItem(0));
}

void RecoveryDialog::saveAll()
{
    // Qt's own chooser, as the file dialog is Qt's own: a path typed into its field chooses that
    // folder with Return on every platform.
    const QString folder = QFileDialog::getExistingDirectory(
        this, QStringLiteral("Save All Into"), QFileInfo(m_folder).isDir() ? m_folder : QString(),
        QFileDialog::ShowDirsOnly | QFileDialog::DontUseNativeDialog);
    if (folder.isEmpty())
        return;
    m_folder = QDir::toNativeSeparators(folder);
    carryOut({Request::SaveAll, checkedRows(), m_folder, m_type->currentData().toString()});
}

void RecoveryDialog::saveSelected()
{
    if (const QTreeWidgetItem *item = m_list->currentItem())
        carryOut({Request::Save, {item->data(Received, kRowRole).toInt()}, {}, {}});
}

void RecoveryDialog::discardChecked()
{
    carryOut({Request::Discard, checkedRows(), {}, {}});
}

void RecoveryDialog::carryOut(const Request &request)
{
    const QList<int> done = m_handle(request);
    for (int i = m_list->topLevelItemCount() - 1; i >= 0; --i) {
        if (done.contains(m_list->topLevelItem(i)->data(Received, kRowRole).toInt()))
            delete m_list->takeTopLevelItem(i);
    }
    if (m_list->topLevelItemCount() == 0)
        accept();
    enableButtons();
}

QList<int> RecoveryDialog::checkedRows() const
{
    QList<int> rows;
    for (int i = 0; i < m_list->topLevelItemCount(); ++i) {
        const QTreeWidgetItem *item = m_list->topLevelItem(i);
        if (item->checkState(Received) == Qt::Checked)
            rows << item->data(Received, kRowRole).toInt();
    }
    return rows;
}

void RecoveryDialog::enableButtons()
{
    const bool anyChecked = !checkedRows().isEmpty();
    m_saveAll->setEnabled(anyChecked);
    m_discard->setEnabled(anyChecked);
    m_save->setEnabled(m_list->currentItem() != nullptr);
}
