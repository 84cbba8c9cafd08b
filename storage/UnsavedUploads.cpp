#include "storage/UnsavedUploads.h"

#include "common/PlatformError.h"
#include "storage/Folder.h"
#include "storage/LeftBehind.h"
#include "storage/RegularFile.h"
#include "storage/UploadFile.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QTimeZone>

#include <algorithm>
#include <utility>

namespace {

// "20261207-140322-123-1": the moment of arrival in UTC, to the millisecond, and a number that
// keeps two names of the same moment apart. Names sort as the uploads arrived.
const QString kStampFormat = QStringLiteral("yyyyMMdd-HHmmss-zzz");
const QString kSuffix = QStringLiteral(".xls");
// More uploads of one millisecond than could ever arrive; past it the folder is taken as refusing.
constexpr int kLastNumber = 9999;

constexpr QFileDevice::Permissions kUserOnly = QFileDevice::ReadOwner | QFileDevice::WriteOwner;

} // namespace

KeptUpload::KeptUpload(QString path, std::unique_ptr<QLockFile> lock)
    : m_path(std::move(path)), m_lock(std::move(lock))
{}

KeptUpload::KeptUpload(KeptUpload &&) noexcept = default;
KeptUpload &KeptUpload::operator=(KeptUpload &&) noexcept = default;
KeptUpload::~KeptUpload() = default;

QDateTime KeptUpload::received() const
{
    const QString stamp = QFileInfo(m_path).fileName().left(kStampFormat.size());
    const QDateTime named = QDateTime::fromString(stamp, kStampFormat);
    // A file put there under another name tells when it was written instead.
    if (!named.isValid())
        return QFileInfo(m_path).lastModified();
    return QDateTime(named.date(), named.time(), QTimeZone::utc()).toLocalTime();
}

QByteArray KeptUpload::upload() const
{
    QFile file(m_path);
    openRegularFile(file);
    QByteArray saved = file.readAll();
    if (file.error() != QFileDevice::NoError)
        throw PlatformError(file.errorString());
    // A save as .xls ends the upload with one more line end.
    if (saved.endsWith("\r\n"))
        saved.chop(2);
    return saved;
}

void KeptUpload::forget()
{
    QFile::remove(m_path);
    m_lock.reset();
}

QString UnsavedUploads::defaultFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation) +
           QStringLiteral("/unsaved");
}

KeptUpload UnsavedUploads::keep(const QByteArray &upload) const
{
    makeFolder(m_folder);
    // The readings are the user's own, whatever the umask says.
    QFile::setPermissions(m_folder, kUserOnly | QFileDevice::ExeOwner);
    const QString stamp = QDateTime::currentDateTimeUtc().toString(kStampFormat);
    for (int number = 1; number <= kLastNumber; ++number) {
        const QString path =
            QDir(m_folder).filePath(QStringLiteral("%1-%2%3").arg(stamp).arg(number).arg(kSuffix));
        if (QFileInfo::exists(path))
            continue;
        // Held before it is written, so that no other program ever offers it.
        std::unique_ptr<QLockFile> lock = lockUnlessHeld(path);
        if (!lock)
            continue;
        writeUploadFile(path, upload);
        QFile::setPermissions(path, kUserOnly);
        return KeptUpload(path, std::move(lock));
    }
    throw PlatformError(QStringLiteral("Every name from %1-1%2 to %1-%3%2 is taken.")
                            .arg(stamp, kSuffix)
                            .arg(kLastNumber));
}

std::vector<KeptUpload> UnsavedUploads::leftBehind() const
{
    std::vector<KeptUpload> left;
    takeLeftBehind(m_folder, QLatin1Char('*') + kSuffix, AloneFile::LeftBehind,
                   [&left](const QString &path, std::unique_ptr<QLockFile> lock) {
                       if (QFileInfo(path).isFile())
                           left.emplace_back(path, std::move(lock));
                   });
    // Oldest first: a name holds the moment of arrival, and a file named otherwise its own time.
    std::stable_sort(left.begin(), left.end(), [](const KeptUpload &a, const KeptUpload &b) {
        return a.received() < b.received();
    });
    return left;
}
