#pragma once

#include <QPoint>
#include <QProcess>
#include <QSize>
#include <QStandardPaths>
#include <QString>
#include <QStringList>
#include <QTest>

#include <functional>

// A virtual X display of the test's own, and a user's hands on it: windows found by their titles,
// clicks at places in them and keys into them, through xdotool, as a user would. Needs Xvfb and
// xdotool (scripts/install-deps).
class XSession
{
public:
    // Everything asked of the display is given this long, however loaded the machine.
    static constexpr int kDeadlineMs = 30000;
    static constexpr int kCommandMs = 10000;

    ~XSession()
    {
        m_server.terminate();
        if (!m_server.waitForFinished(kCommandMs)) {
            m_server.kill();
            m_server.waitForFinished(kCommandMs);
        }
    }

    // Starts the server; an empty string, or why it did not start.
    QString start()
    {
        for (const char *tool : {"Xvfb", "xdotool"}) {
            if (QStandardPaths::findExecutable(QString::fromLatin1(tool)).isEmpty())
                return QStringLiteral("%1 is not installed: run scripts/install-deps")
                    .arg(QString::fromLatin1(tool));
        }
        // The server picks a free display itself and writes its number to standard output once
        // it accepts clients, so tests running side by side never meet on one display. Without
        // -noreset it starts afresh whenever its last client leaves, and refuses the program
        // starting just then.
        m_server.setProgram(QStringLiteral("Xvfb"));
        m_server.setArguments(
            {"-displayfd", "1", "-screen", "0", "1024x768x24", "-nolisten", "tcp", "-noreset"});
        m_server.setStandardErrorFile(QProcess::nullDevice());
        m_server.start();
        if (!m_server.waitForStarted(kCommandMs))
            return m_server.errorString();
        if (!QTest::qWaitFor(
                [&] { return m_server.canReadLine() || m_server.state() != QProcess::Running; },
                kDeadlineMs))
            return QStringLiteral("Xvfb named no display in time");
        const QByteArray number = m_server.readLine().trimmed();
        if (number.isEmpty())
            return QStringLiteral("Xvfb ended without naming its display");
        m_display = u':' + QString::fromLatin1(number);
        return {};
    }

    QString display() const { return m_display; }

    bool xdotool(const QStringList &arguments, QByteArray *output = nullptr) const
    {
        QProcess command;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("DISPLAY"), m_display);
        command.setProcessEnvironment(environment);
        command.start(QStringLiteral("xdotool"), arguments);
        if (!command.waitForFinished(kCommandMs)) {
            command.kill();
            command.waitForFinished(kCommandMs);
            qWarning() << "xdotool" << arguments << "did not finish";
            return false;
        }
        if (output)
            *output = command.readAllStandardOutput();
        return command.exitStatus() == QProcess::NormalExit && command.exitCode() == 0;
    }

    // The first visible window whose title matches the regular expression, or an empty string.
    QString findWindow(const QString &title) const
    {
        QByteArray found;
        // No match is exit status 1 and no output.
        xdotool({"search", "--onlyvisible", "--name", title}, &found);
        return QString::fromLatin1(found.split('\n').constFirst().trimmed());
    }

    // Waits for such a window; gives up early, with an empty string, once stop() says so.
    QString waitForWindow(const QString &title, int timeoutMs = kDeadlineMs,
                          const std::function<bool()> &stop = {}) const
    {
        QString window;
        const bool ended = QTest::qWaitFor(
            [&] {
                window = findWindow(title);
                return !window.isEmpty() || (stop && stop());
            },
            timeoutMs);
        return ended ? window : QString();
    }

    bool waitForNoWindow(const QString &title) const
    {
        return QTest::qWaitFor([&] { return findWindow(title).isEmpty(); }, kDeadlineMs);
    }

    QSize windowSize(const QString &window) const
    {
        QByteArray shape;
        if (!xdotool({"getwindowgeometry", "--shell", window}, &shape))
            return {};
        QSize size;
        for (const QByteArray &line : shape.split('\n')) {
            if (line.startsWith("WIDTH="))
                size.setWidth(line.mid(6).toInt());
            else if (line.startsWith("HEIGHT="))
                size.setHeight(line.mid(7).toInt());
        }
        return size;
    }

    bool click(const QString &window, QPoint at) const
    {
        // The server takes the move and the press in the order sent. No --sync: it waits for the
        // pointer to move, and waits forever when the pointer is already there.
        return xdotool({"mousemove", "--window", window, QString::number(at.x()),
                        QString::number(at.y()), "click", "1"});
    }

    bool keys(const QString &window, const QStringList &keys) const
    {
        // Without a window manager nothing hands the focus over; the window is given it directly.
        return xdotool({"windowfocus", "--sync", window}) && xdotool(QStringList{"key"} + keys);
    }

    bool type(const QString &window, const QString &text) const
    {
        return xdotool({"windowfocus", "--sync", window}) &&
               xdotool({"type", "--delay", "20", text});
    }

    // The whole screen as a PNG file, for a look at what a failed test left on it.
    bool screenshot(const QString &path) const
    {
        QProcess import;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("DISPLAY"), m_display);
        import.setProcessEnvironment(environment);
        import.start(QStringLiteral("import"), {"-window", "root", path});
        return import.waitForFinished(kCommandMs) && import.exitCode() == 0;
    }

private:
    QProcess m_server;
    QString m_display;
};
