#include "app/Main.h"
#include "common/PlatformError.h"

#include <QDir>

namespace {

const QString kUploading = QStringLiteral("UPLOADING");
const QString kUploadComplete = QStringLiteral("*** UPLOAD COMPLETE ***");
const QString kChecksumError = QStringLiteral("Checksum error in uploaded data");
const QString kUploadCutOff =
    QStringLiteral("The upload in progress was cut off; start it again on the instrument.");
const QString kPreviousUnsaved =
    QStringLiteral("The previous upload has not been saved. Do you want to save it now?");
const QString kClearUnsaved =
    QStringLiteral("The upload has not been saved. Do you want to save it before clearing?");
const QString kNotKeptSafe =
    QStringLiteral("Uploads cannot be kept safe on this computer until you save them, and a crash "
                   "or a power cut before Save would lose them. %1 cannot be written:\n%2");

// Characters that trickle in, as at the instrument's line rate of about 1,920 a second, are left
// to gather for a moment before the next poll, which then takes a batch rather than one or two:
// the tool wakes about twenty times a second, and a click waits at most that moment. A pass of
// the loop costs several times what a plain reader pays to wake for one piece, so it wakes less
// often than a USB adapter hands on pieces, every 8 ms. Uploads that arrive faster are taken as
// they come: a trickle is two polls in a row that found only a few characters, so the first read
// of an upload and a short read among large ones do not hold it up.
constexpr qsizetype kTrickle = 256;
constexpr int kGatherMs = 50;

} // namespace

void Main::Form_Activate()
{
    // Every activation after the first finds the loop already running further up the stack.
    if (m_loopRunning)
        return;
    m_loopRunning = true;
    while (!m_processEnded) {
        m_window.processEvents(mayWaitForEvents());
        pollPort();
    }
}

bool Main::mayWaitForEvents()
{
    return MSComm1.InBufferCount() <= 0;
}

void Main::pollPort()
{
    // What the device sent before it went away is taken in first: an upload it completed still
    // decodes.
    const bool deviceLost = MSComm1.takeDeviceLoss();
    const qsizetype received = MSComm1.InBufferCount() > 0 ? receiveWaiting() : 0;
    if (deviceLost)
        reportDeviceLoss();
    else if (received > 0)
        gatherIfTrickling(received);
}

void Main::gatherIfTrickling(qsizetype received)
{
    const bool fewOfAFrame = received < kTrickle && m_received.holdsUnfinishedFrame();
    if (fewOfAFrame && m_tricklePolled)
        m_window.pause(kGatherMs);
    m_tricklePolled = fewOfAFrame;
}

qsizetype Main::receiveWaiting()
{
    // The status text is the memory of a progress line being extended: one more dot for every
    // poll that found characters.
    if (!m_window.uploadTextStartsWith(kUploading))
        m_window.setUploadText(kUploading);
    else
        m_window.appendUploadText(QStringLiteral("."));

    const QByteArray characters = MSComm1.Input();
    m_received.append(characters);
    actOnFrames();
    return characters.size();
}

void Main::actOnFrames()
{
    bool reported = false;
    for (DecodedFrame frame = m_received.takeFrame(FrameStart, FrameEnd);
         frame.outcome != FrameOutcome::Incomplete;
         frame = m_received.takeFrame(FrameStart, FrameEnd)) {
        if (frame.outcome == FrameOutcome::Decoded) {
            takeDecodedUpload(frame.text);
            continue;
        }
        // A damaged frame costs only its own characters: the last decoded upload, saved or not,
        // stays what a save writes.
        m_window.setUploadText(QString());
        if (reported)
            continue;
        reported = true;
        m_window.messageBox(kChecksumError, WindowOperations::Buttons::Ok,
                            WindowOperations::Icon::Critical);
        // A burst of damaged frames needs one message, not one for each.
        if (MSComm1.InBufferCount() > 0)
            m_received.append(MSComm1.Input());
    }
}

void Main::takeDecodedUpload(const QByteArray &upload)
{
    // On disk before anything is asked: whatever happens next, it is not lost.
    std::optional<KeptUpload> kept = keepUntilSaved(upload);
    // An upload that differs from the unsaved one does not take its place unasked; the same one
    // sent again, as instruments are often asked to, asks nothing.
    if (DataSaved == 0 && upload != UploadData)
        askToSave(kPreviousUnsaved, [this] { return saveThroughDialog(UploadData); });
    forgetKeptUpload();
    m_keptUpload = std::move(kept);
    UploadData = upload;
    m_window.setUploadText(kUploadComplete);
    m_window.setSaveEnabled(true);
    DataSaved = 0;
}

std::optional<KeptUpload> Main::keepUntilSaved(const QByteArray &upload)
{
    try {
        return m_unsaved.keep(upload);
    } catch (const PlatformError &error) {
        if (!m_toldUploadsAreNotKept) {
            m_toldUploadsAreNotKept = true;
            m_window.messageBox(
                kNotKeptSafe.arg(QDir::toNativeSeparators(m_unsaved.folder()), error.message()),
                WindowOperations::Buttons::Ok, WindowOperations::Icon::None);
        }
        return std::nullopt;
    }
}

void Main::forgetKeptUpload()
{
    if (m_keptUpload)
        m_keptUpload->forget();
    m_keptUpload.reset();
}

void Main::reportDeviceLoss()
{
    QString reason = QStringLiteral("The device of COM %1 went away.").arg(MSComm1.CommPort());
    if (dropUnfinishedFrame())
        reason += QLatin1Char('\n') + kUploadCutOff;
    waitForPort(reason);
}

bool Main::dropUnfinishedFrame()
{
    // The instrument sends every upload again from its start mark, so a frame cut off from its
    // port could only ever spoil the next one. The last decoded upload stays.
    if (!m_received.holdsUnfinishedFrame())
        return false;
    m_received.clear();
    m_tricklePolled = false;
    m_window.setUploadText(QString());
    return true;
}

void Main::ClearButton_Click()
{
    // Clear stands beside Save: an upload not saved yet goes only by the user's No, and a save
    // that does not complete leaves everything as it was.
    if (DataSaved == 0 &&
        m_window.messageBox(kClearUnsaved, WindowOperations::Buttons::YesNo,
                            WindowOperations::Icon::None) == WindowOperations::Answer::Yes) {
        SaveButton_Click();
        if (DataSaved == 0)
            return;
    }
    DataSaved = 1;
    UploadData.clear();
    forgetKeptUpload();
    m_received.clear();
    m_window.setUploadText(QString());
    m_window.setSaveEnabled(false);
}
