#pragma once

#include "app/Main.h"
#include "support/FakeFileDialog.h"
#include "support/FakeSerialPort.h"
#include "support/FakeWindow.h"
#include "support/Files.h"
#include "support/Uploads.h"

#include <QDir>
#include <QSet>
#include <QTemporaryDir>

#include <algorithm>

// The window object on a fake window, port and file dialog, its program folder a fresh temporary
// one, in one of the states a test starts from.
struct FakeTool
{
    enum State
    {
        // Before start-up: nothing set yet, no port open.
        Unstarted,
        // As start-up leaves it: the marks and the settings path set, the upload reset, the
        // first port open, the dialog in the program folder.
        Running,
        // Running, with the table upload decoded and not saved yet.
        Holding,
    };

    QTemporaryDir folder;
    FakeWindow window;
    FakeSerialPort port;
    FakeFileDialog dialog;
    Main main{window, port, dialog, unsavedFolder()};

    explicit FakeTool(State state = Running, const QSet<qint16> &ports = {3})
    {
        window.folder = folder.path();
        window.onComboClick = [this] { main.ComComboBox_Click(); };
        port.present = ports;
        if (state == Unstarted)
            return;
        main.ConfigPath = configPath();
        main.FrameStart = "\x02";
        main.FrameEnd = "\x04";
        main.PortNumber = *std::min_element(ports.begin(), ports.end());
        dialog.initDir = folder.path();
        main.ClearButton_Click();
        port.setCommPort(main.PortNumber);
        port.setPortOpen(true);
        if (state == Holding)
            receive({kTable});
        window.textHistory.clear();
    }

    QString configPath() const { return folder.filePath(QStringLiteral("uploader.cfg")); }
    QString unsavedFolder() const { return folder.filePath(QStringLiteral("unsaved")); }
    // The uploads kept on disk until saved, each as what a save of it as .xls holds.
    QByteArrayList keptUploads() const
    {
        QByteArrayList kept;
        const QDir unsaved(unsavedFolder());
        for (const QString &name : unsaved.entryList({QStringLiteral("*.xls")}, QDir::Files))
            kept << readFile(unsaved.filePath(name));
        return kept;
    }
    QByteArray config() const { return readFile(configPath()); }

    // Each read is found by one poll of the receive loop.
    void receive(const QList<QByteArray> &reads)
    {
        for (const QByteArray &read : reads) {
            port.reads << read;
            main.pollPort();
        }
    }

    // Save, answering the dialog with these names in turn (FakeFileDialog::kCancel cancels).
    void saveAs(const QStringList &names)
    {
        dialog.choices = names;
        main.SaveButton_Click();
    }
};
