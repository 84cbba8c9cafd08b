#include "storage/ConfigFile.h"

#include "app/Main.h"
#include "common/PlatformError.h"
#include "storage/FileOutput.h"
#include "storage/Folder.h"
#include "storage/LeftBehind.h"
#include "storage/RegularFile.h"

#include <QDir>
#include <QFileInfo>

void Main::LoadConfigFile()
{
    const ConfigFields fields = readConfigFile(ConfigPath);
    // A port that is not remembered leaves the one that discovery proposed, and Retry after
    // plugging the instrument in finds it.
    if (const auto port = rememberedPort(fields))
        PortNumber = *port;
    if (fields.folder) {
        CommonDialog1.setInitDir(*fields.folder);
        return;
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
                                .arg(QDir::toNativeSeparators(ConfigPath), error.message()));
    }
}
