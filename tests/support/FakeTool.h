#pragma once

#include "app/Main.h"
#include "app/PlatformError.h"
#include "support/FakeFileDialog.h"
#include "support/FakeSerialPort.h"
#include "support/FakeWindow.h"

#include <QTemporaryDir>

#include <functional>

// The window object on a fake window, port and file dialog, its program folder a fresh
// temporary one.
struct FakeTool
{
    QTemporaryDir folder;
    FakeWindow window;
    FakeSerialPort port;
    FakeFileDialog dialog;
    Main main{window, port, dialog};

    FakeTool() { window.folder = folder.path(); }

    QString configPath() const { return folder.filePath(QStringLiteral("uploader.cfg")); }

    // What the real window does with a failure that no procedure guards.
    void runAsTheWindowDoes(const std::function<void()> &procedure)
    {
        try {
            procedure();
        } catch (const PlatformError &error) {
            main.reportPlatformFailure(error.message());
        }
    }
};
