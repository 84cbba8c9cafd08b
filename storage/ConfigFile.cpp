#include "storage/ConfigFile.h"

#include "app/Main.h"
#include "common/PlatformError.h"
#include "serial/PortTable.h"
#include "storage/FileOutput.h"
#include "storage/Folder.h"
#include "storage/LeftBehind.h"
#include "storage/RegularFile.h"

#include <QFile>
#include <QFileInfo>

namespace {

// Far beyond any two lines the tool writes; a larger file is read only this far.
constexpr qint64 kLargestConfigRead = 1 << 20;

// What the file holds; nothing where it is missing, cannot be read or is no regular file.
std::optional<QByteArray> configContent(const QString &path)
{
    QFile file(path);
    try {
        openRegularFile(file);
    } catch (const PlatformError &) {
        return std::nullopt;
    }
    return file.read(kLargestConfigRead);
}

} // namespace

void Main::LoadConfigFile()
{
    if (const std::optional<QByteArray> content = configContent(ConfigPath)) {
        const ConfigFields fields = readConfigFields(*content);
        // Port 0 is what a start without any port writes, and a number beyond COM 1 to COM 16
        // names no port there can be: neither remembers a port, so the one that discovery
        // proposed stays, and Retry after plugging the instrument in finds it.
        if (fields.portNumber && *fields.portNumber >= kFirstPort &&
            *fields.portNumber <= kLastPort)
            PortNumber = *fields.portNumber;
        if (fields.folder) {
            CommonDialog1.setInitDir(*fields.folder);
            return;
        }
    }
    // Missing, unreadable or incomplete: write it anew from what the tool holds now. What is no
    // regular file is not replaced, and Exit says why.
    SaveConfigFile();
}

void Main::SaveConfigFile()
{
    try {
        // The user's configuration folder may not be there yet.
        makeFolder(QFileInfo(ConfigPath).absolutePath());
        // Held while the file is written, so that a copy that starts meanwhile leaves the
        // temporary file alone. A folder that takes no lock takes no temporary file either.
        std::unique_ptr<QLockFile> writing;
        try {
            writing = lockUnlessHeld(ConfigPath);
        } catch (const PlatformError &) {
        }
        FileOutput file(ConfigPath, FileOutput::InPlace::WhenFolderRefuses);
        file.write(configFileBytes(PortNumber, CommonDialog1.InitDir()));
        file.commit();
    } catch (const PlatformError &error) {
        throw PlatformError(QStringLiteral("The settings could not be saved to %1:\n%2")
                                .arg(ConfigPath, error.message()));
    }
}
