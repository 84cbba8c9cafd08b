// The program as app/main.cpp runs it, telling the bench on its standard output when its window is
// shown ("shown" and the number of ports listed) and whenever its status box comes to show an
// upload complete ("complete"). A line "save PATH" on its standard input saves the upload as the
// user would, through the Save button and the file dialog, and is answered with "saved" once the
// save has ended, or "not saved" if the upload stayed unsaved.

#include "app/MainWindow.h"
#include "common/LargeBuffers.h"

#include <QApplication>
#include <QFileDialog>
#include <QIcon>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSocketNotifier>
#include <QTimer>
#include <QWindow>

#include <cstdio>
#include <unistd.h>

namespace {

void tell(const QByteArray &line)
{
    std::puts(line.constData());
    std::fflush(stdout);
}

// Once the modal file dialog is up, chooses the file in it and accepts it.
void answerFileDialog(const QString &path)
{
    QTimer::singleShot(0, [path] {
        auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
        if (!dialog) {
            answerFileDialog(path);
            return;
        }
        dialog->selectFile(path);
        // As its Open button does; QFileDialog hides accept(), QDialog offers it.
        static_cast<QDialog *>(dialog)->accept();
    });
}

} // namespace

int main(int argc, char *argv[])
{
    keepLargeBuffersApart();
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Brackenfeld"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/brackenfeld.png")));

    MainWindow window;
    const auto *box = window.findChild<QPlainTextEdit *>(QStringLiteral("UploadTextBox"));
    bool complete = false;
    QObject::connect(box, &QPlainTextEdit::textChanged, [&] {
        // Reads only the first characters, as the receive loop does: the progress line grows.
        const bool shows = window.uploadTextStartsWith(QStringLiteral("*** UPLOAD COMPLETE ***"));
        if (shows && !complete)
            tell("complete");
        complete = shows;
    });

    auto *saveButton = window.findChild<QPushButton *>(QStringLiteral("SaveButton"));
    // Connected after the window's own handler, so it runs once the click's save has ended.
    QObject::connect(saveButton, &QPushButton::clicked,
                     [&] { tell(window.main().DataSaved == 1 ? "saved" : "not saved"); });
    QSocketNotifier requests(STDIN_FILENO, QSocketNotifier::Read);
    QByteArray pending;
    QObject::connect(&requests, &QSocketNotifier::activated, [&] {
        char buffer[4096];
        const ssize_t got = ::read(STDIN_FILENO, buffer, sizeof buffer);
        if (got <= 0) {
            requests.setEnabled(false);
            return;
        }
        pending.append(buffer, got);
        for (qsizetype end = pending.indexOf('\n'); end >= 0; end = pending.indexOf('\n')) {
            const QByteArray line = pending.left(end);
            pending.remove(0, end + 1);
            if (!line.startsWith("save "))
                continue;
            if (!saveButton->isEnabled()) {
                tell("not saved");
                continue;
            }
            answerFileDialog(QFile::decodeName(line.mid(5)));
            saveButton->click();
        }
    });

    window.load();
    window.show();
    window.activateWindow();
    // Shown: exposed, and the expose handled, which paints the window.
    while (!(window.windowHandle() && window.windowHandle()->isExposed()))
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    tell("shown " + QByteArray::number(window.comPortCount()));
    window.runActivated();
    return 0;
}
