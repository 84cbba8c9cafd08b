#include "storage/ConfigFile.h"

#include "app/Main.h"
#include "common/PlatformError.h"
#include "storage/FileOutput.h"

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
    // Missing, unreadable or incomplete: write it anew from what the tool holds now.
    SaveConfigFile();
}

void Main::SaveConfigFile()
{
    // The user's configuration folder may not be there yet. Where it cannot be made, the write
    // below fails and says so.
    QDir().mkpath(QFileInfo(ConfigPath).absolutePath());
    try {
        FileOutput file(ConfigPath, FileOutput::InPlace::WhenFolderRefuses);
        file.write(configFileBytes(PortNumber, CommonDialog1.InitDir()));
        file.commit();
    } catch (const PlatformError &error) {
        throw PlatformError(QStringLiteral("The settings could not be saved to %1:\n%2")
                                .arg(QDir::toNativeSeparators(ConfigPath), error.message()));
    }
}
