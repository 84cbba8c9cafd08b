#include "storage/ConfigFile.h"

#include "app/Main.h"
#include "common/PlatformError.h"
#include "serial/PortTable.h"
#include "storage/FileOutput.h"
#include "storage/Folder.h"
#include "storage/LeftBehind.h"

#include <QFile>
#include <QFileInfo>

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
    // Missing, unreadable or incomplete: write it anew from what the tool holds now.
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
