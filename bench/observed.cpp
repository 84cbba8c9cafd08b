// The program as app/main.cpp runs it, telling the bench on its standard output when its window is
// shown ("shown" and the number of ports listed) and whenever its status box comes to show an
// upload complete ("complete").

#include "app/MainWindow.h"

#include <QApplication>
#include <QIcon>
#include <QPlainTextEdit>
#include <QWindow>

#include <cstdio>

namespace {

void tell(const QByteArray &line)
{
    std::puts(line.constData());
    std::fflush(stdout);
}

} // namespace

int main(int argc, char *argv[])
{
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
