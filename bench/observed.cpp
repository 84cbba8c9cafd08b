// The program as app/main.cpp runs it, telling the bench on its standard output, with the time of
// the system's monotonic clock, when its window is shown ("shown TIME PORTS") and when its status
// box paints an upload complete ("complete TIME"). Given a file name, it then saves the upload
// there as the user would, through the Save button and the file dialog ("saved TIME DATASAVED").

#include "app/MainWindow.h"

#include <QApplication>
#include <QFileDialog>
#include <QIcon>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>
#include <QWindow>

#include <chrono>
#include <cstdio>
#include <utility>

namespace {

void tell(const char *event, long long detail = 0)
{
    const auto now = std::chrono::steady_clock::now().time_since_epoch();
    std::printf("%s %lld %lld\n", event,
                static_cast<long long>(std::chrono::nanoseconds(now).count()), detail);
    std::fflush(stdout);
}

// Once the modal file dialog is up, chooses the file in it and accepts it.
void answerFileDialog(const QString &path)
{
    QTimer::singleShot(0, [path] {
        auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
        if (!dialog)
            return answerFileDialog(path);
        dialog->selectFile(path);
        // As its Open button does; QFileDialog hides accept(), QDialog offers it.
        static_cast<QDialog *>(dialog)->accept();
    });
}

// Tells of the status box's first paint once its text has become the completion text.
class CompletionWatch : public QObject
{
public:
    CompletionWatch(MainWindow &window, QString saveTo)
        : m_window(window), m_saveTo(std::move(saveTo))
    {
        auto *box = window.findChild<QPlainTextEdit *>(QStringLiteral("UploadTextBox"));
        box->viewport()->installEventFilter(this);
        connect(box, &QPlainTextEdit::textChanged, this, [this] {
            m_complete = m_window.uploadTextStartsWith(QStringLiteral("*** UPLOAD COMPLETE ***"));
            m_told = m_told && m_complete;
        });
    }

    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Paint && m_complete && !m_told) {
            m_told = true;
            tell("complete");
            if (!m_saveTo.isEmpty())
                QTimer::singleShot(0, this, [this] { save(); });
        }
        return false;
    }

private:
    void save()
    {
        answerFileDialog(m_saveTo);
        m_window.findChild<QPushButton *>(QStringLiteral("SaveButton"))->click();
        tell("saved", m_window.main().DataSaved);
    }

    MainWindow &m_window;
    QString m_saveTo;
    bool m_complete = false;
    bool m_told = false;
};

} // namespace

int main(int argc, char *argv[])
{
    QApplication::setApplicationName(QStringLiteral("Brackenfeld"));
    QApplication app(argc, argv);
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/brackenfeld.png")));

    MainWindow window;
    CompletionWatch watch(window, QApplication::arguments().value(1));
    window.load();
    window.show();
    window.activateWindow();
    while (!(window.windowHandle() && window.windowHandle()->isExposed()))
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    tell("shown", window.comPortCount());
    window.runActivated();
    return 0;
}
