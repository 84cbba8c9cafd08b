#include "storage/ConfigFile.h"

#include "app/Main.h"
#include "app/PlatformError.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace {

// Far beyond any two lines the tool writes; a larger file is read only this far.
constexpr qint64 kLargestConfigRead = 1 << 20;

} // namespace

void Main::LoadConfigFile()
{
    QFile file(ConfigPath);
    if (file.open(QIODevice::ReadOnly)) {
        const ConfigFields fields = readConfigFields(file.read(kLargestConfigRead));
        file.close();
        // Port 0 is what a start without any port writes: it remembers no port, so the one that
        // discovery proposed stays, and Retry after plugging the instrument in finds it.
        if (fields.portNumber && *fields.portNumber != 0)
            PortNumber = *fields.portNumber;
        if (fields.folder) {
            CommonDialog1.setInitDir(*fields.folder);
            return;
        }
    }
    // Missing, unreadable or incomplete: write it anew from what the tool holds now.
    SaveConfigFile();
}

void Main::SaveConfigFile()
{
    // The user's configuration folder may not be there yet. Where it cannot be made, the open
    // below fails and says so.
    QDir().mkpath(QFileInfo(ConfigPath).absolutePath());
    QSaveFile file(ConfigPath);
    // A program folder that takes no new files may still hold a writable settings file.
    file.setDirectWriteFallback(true);
    const QByteArray bytes = configFileBytes(PortNumber, CommonDialog1.InitDir());
    // commit() ignores a failure of the final write of buffered text and would put a cut-off
    // file in place of the old one, so that write is made and checked first.
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.flush() ||
        !file.commit())
        throw PlatformError(QStringLiteral("The settings could not be saved to %1:\n%2")
                                .arg(ConfigPath, file.errorString()));
}
