#include "tools/InstrumentFrame.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>
#include <csignal>
#include <unistd.h>

// `make demo` where there is no display: the demo starts a virtual display of its own, drives the
// real program on it as a user would and checks the saved file. It must leave nothing running and
// no temporary folder behind.

namespace {

const QString kScript = QStringLiteral(DEMO_SCRIPT);
const QString kBuild = QStringLiteral(BUILD_DIR);
// The demo takes seconds; under the sanitizers on a loaded machine it takes longer, but not this.
constexpr int kDeadlineMs = 240000;

} // namespace

class TestDemo : public QObject
{
    Q_OBJECT

private slots:
    void runsWithoutADisplayAndLeavesNothingBehind();
};

void TestDemo::runsWithoutADisplayAndLeavesNothingBehind()
{
    for (const char *tool : {"Xvfb", "xdotool", "import"}) {
        if (QStandardPaths::findExecutable(QString::fromLatin1(tool)).isEmpty())
            QSKIP(qPrintable(QStringLiteral("%1 is not installed, so the demo cannot run without a "
                                            "display: run scripts/install-deps")
                                 .arg(QString::fromLatin1(tool))));
    }

    // The demo's temporary folder is made where TMPDIR says, so this one must end up empty.
    QTemporaryDir temp;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(QStringLiteral("DISPLAY"));
    environment.remove(QStringLiteral("WAYLAND_DISPLAY"));
    environment.insert(QStringLiteral("TMPDIR"), temp.path());

    QProcess demo;
    demo.setProcessEnvironment(environment);
    demo.setProcessChannelMode(QProcess::MergedChannels);
    // A process group of its own holds everything the demo starts, so an empty group after its
    // end proves that it ended all of it.
    demo.setChildProcessModifier([] { ::setpgid(0, 0); });
    demo.start(kScript, {kBuild});
    QVERIFY2(demo.waitForStarted(), qPrintable(demo.errorString()));
    const auto group = static_cast<pid_t>(demo.processId());
    const bool ended = demo.waitForFinished(kDeadlineMs);
    const bool left = ::kill(-group, 0) == 0 || errno != ESRCH;
    if (!ended || left) {
        ::kill(-group, SIGKILL);
        demo.waitForFinished();
    }
    const QByteArray output = demo.readAll();
    QVERIFY2(ended && demo.exitStatus() == QProcess::NormalExit && demo.exitCode() == 0,
             output.constData());
    QVERIFY2(!left, "processes that the demo started outlived it");
    QVERIFY2(QDir(temp.path()).isEmpty(), "the demo left its temporary folder");

    const QString shot = kBuild + QStringLiteral("/demo/window.png");
    QVERIFY2(output.contains(shot.toUtf8()), output.constData());
    QVERIFY2(!QImage(shot).isNull(), "the screenshot is not an image");
    QFile saved(kBuild + QStringLiteral("/demo/readings.xls"));
    QVERIFY2(saved.open(QIODevice::ReadOnly), qPrintable(saved.errorString()));
    QCOMPARE(saved.readAll(), savedFile(instrumentPayload(sampleCsv())));
}

QTEST_GUILESS_MAIN(TestDemo)
#include "tst_demo.moc"
