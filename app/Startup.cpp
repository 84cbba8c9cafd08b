#include "app/Main.h"
#include "common/PlatformError.h"
#include "storage/ConfigLocation.h"
#include "storage/LeftBehind.h"
#include "storage/UploadFile.h"
#include "upload/UploadFrame.h"

#include <QFileInfo>

#include <algorithm>
#include <utility>

namespace {

const QString kVersionSuffix = QStringLiteral("  ver " BRACKENFELD_VERSION);

// What runs that have ended left of the settings file's writing and of workbooks being made. The
// kept uploads' own go as the uploads are offered.
void removeLeftBehind(const QString &configPath)
{
    const QFileInfo settings(configPath);
    takeLeftBehind(settings.absolutePath(), settings.fileName(), AloneFile::InUse,
                   [](const QString &, std::unique_ptr<QLockFile>) {});
    removeLeftBehindWorkbooks();
}

} // namespace

void Main::Form_Load()
{
    m_window.setCaption(m_window.caption() + kVersionSuffix);

    // Centred across the screen, a third of the free height above the window and two thirds
    // below, in twips with their fractions.
    const QSizeF screen = m_window.screenSizeTwips();
    const QSizeF outer = m_window.outerSizeTwips();
    const float top = float(screen.height() - outer.height()) / 3.0f;
    const float left = float(screen.width() - outer.width()) / 2.0f;
    m_window.moveTwips(left, top);

    const StartLocations locations = startLocations(m_window.programFolder());
    ConfigPath = locations.configPath;
    CommonDialog1.setInitDir(locations.dialogFolder);
    removeLeftBehind(ConfigPath);
    FrameStart = kFrameStartMark.toByteArray();
    FrameEnd = kFrameEndMark.toByteArray();

    bool firstPass = true;
    do {
        BuildComPortList();
        // With no port found there is no entry to select; the open below then asks for the cable.
        if (m_window.comPortCount() > 0)
            m_window.selectComPort(0);
        ClearButton_Click();
        try {
            LoadConfigFile();
        } catch (const PlatformError &) {
            // The program folder takes no settings file: go on with the values in memory. The
            // write at exit tries again and reports what stands in its way.
        }
        // Before the cable prompt, so that no instrument need be there, and with the folder
        // that the settings remember.
        if (std::exchange(firstPass, false))
            offerUnsavedUploads();
        m_window.setComPortText(QStringLiteral("COM ") + QString::number(PortNumber));
        closePort();
        MSComm1.setCommPort(PortNumber);
        closePort();
    } while (!openStartupPort());
}

bool Main::openStartupPort()
{
    QString reason;
    try {
        MSComm1.setPortOpen(true);
        return true;
    } catch (const PlatformError &error) {
        reason = error.message();
    }
    // Port 0 is what discovery leaves when it opened none: a device there that refused says why.
    if (PortNumber == 0)
        reason =
            m_firstRefusal.isEmpty() ? QStringLiteral("No serial port was found.") : m_firstRefusal;
    // A port that discovery opened is a way on: the instrument may now be on another one.
    const auto other = std::find_if(m_listedPorts.cbegin(), m_listedPorts.cend(),
                                    [this](qint16 port) { return port != PortNumber; });
    const int otherEntry = int(other - m_listedPorts.cbegin());
    const QString use =
        other == m_listedPorts.cend() ? QString() : QStringLiteral("&Use COM %1").arg(*other);
    switch (m_window.messageBox(kCableMessage + QLatin1Char('\n') + reason,
                                WindowOperations::Buttons::RetryCancel,
                                WindowOperations::Icon::None, use)) {
    case WindowOperations::Answer::Retry:
        return false;
    case WindowOperations::Answer::Other:
        // As though the user had picked it in the list.
        m_window.selectComPort(otherEntry);
        return true;
    default:
        endProcess(0);
        return true;
    }
}
