#pragma once

#include "app/MainWindow.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

#include <chrono>
#include <functional>

// The folders of a test window: its program folder, the test's choice or else a temporary one of
// its own, and a temporary one for the uploads not saved yet. A base of the window, so that they
// are there before the window is made.
class TestFolders
{
protected:
    explicit TestFolders(const QString &chosen)
        : m_folder(chosen.isEmpty() ? m_ownFolder.path() : chosen)
    {}

    QTemporaryDir m_ownFolder;
    QString m_folder;
    QTemporaryDir m_unsaved;
};

// The real window with its settings in a program folder of the test's choosing, or else a
// temporary one of its own, so that no two tests share one "uploader.cfg", and its uploads not
// saved yet in a folder of its own. Its waits are short, and its process end is only recorded.
class TestWindow : private TestFolders, public MainWindow
{
public:
    explicit TestWindow(const QString &programFolder = {})
        : TestFolders(programFolder),
          MainWindow([this](int status) { endedWith << status; },
                     Pauses{std::chrono::milliseconds(0), std::chrono::milliseconds(10)},
                     m_unsaved.path())
    {}

    QString unsavedFolder() const { return m_unsaved.path(); }

    QString configPath() const { return QDir(m_folder).filePath(QStringLiteral("uploader.cfg")); }

    // The status of every end of the process, in order.
    QList<int> endedWith;
    // Runs just before each message box shows, as whatever the user does meanwhile.
    std::function<void()> beforeBox;

    // Loads the window and shows it, as the program's entry does.
    bool start()
    {
        load();
        show();
        return QTest::qWaitForWindowExposed(this);
    }

    QString programFolder() const override { return m_folder; }
    Answer messageBox(const QString &text, Buttons buttons, Icon icon,
                      const QString &otherButton = {}) override
    {
        if (beforeBox)
            beforeBox();
        return MainWindow::messageBox(text, buttons, icon, otherButton);
    }
};
