// SPDX-License-Identifier: MIT
#include "app/ProgramMain.h"

#include "app/FontWarmUp.h"
#include "app/JoinedHidBackend.h"
#include "app/KmApplication.h"
#include "app/Unit1.h"
#include "desktop/ProgramFiles.h"
#include "desktop/ProgramIcon.h"
#include "dialogs/QtUserDialogs.h"
#include "hid/HidControllerClass.h"
#include "hid/HidapiBackend.h"
#include "hid/SystemHidChangeNotifier.h"
#include "hid/demo/DemoCableBackend.h"
#include "models/ModelDescription.h"
#include "widgets/FirstPaint.h"

#include <QFileInfo>
#include <QGuiApplication>
#include <QScreen>
#include <QTimer>

#include <cstdio>
#include <future>

ProgramArguments parseProgramArguments(const QStringList &arguments)
{
    ProgramArguments out;
    for (const QString &a : arguments) {
        if (a == u"--demo") {
            out.demo = true;
        } else if (a == u"--help" || a == u"-h") {
            out.action = ProgramArguments::Action::Help;
            return out;
        } else if (a == u"--version") {
            out.action = ProgramArguments::Action::Version;
            return out;
        } else {
            out.action = ProgramArguments::Action::Usage;
            out.unknown = a;
            return out;
        }
    }
    return out;
}

QString programUsage(const QString &programName)
{
    return QStringLiteral("Usage: %1 [--demo] [--help] [--version]\n"
                          "  --demo     add a simulated \"USB to Serial\" cable with a meter\n"
                          "             behind it; press Connect to see it stream\n"
                          "  --help     show this text and exit\n"
                          "  --version  show the program's version and exit\n")
        .arg(programName);
}

bool displayAvailable(
    const QString &platform, const QString &display, const QString &waylandDisplay)
{
    const QStringList platforms = platform.split(u';', Qt::SkipEmptyParts);
    if (platforms.isEmpty())
        return !display.isEmpty() || !waylandDisplay.isEmpty();
    for (const QString &p : platforms) {
        const QString name = p.section(u':', 0, 0).trimmed(); // "xcb:option" names xcb
        if (name.startsWith(u"xcb")) {
            if (!display.isEmpty())
                return true;
        } else if (name.startsWith(u"wayland")) {
            if (!waylandDisplay.isEmpty())
                return true;
        } else {
            return true;
        }
    }
    return false;
}

QString noDisplayMessage(const QString &programName, const QString &modelName)
{
    return QStringLiteral("%1: no display was found (neither DISPLAY nor WAYLAND_DISPLAY is set), "
                          "so the window cannot be shown.\n"
                          "To read the meter without a window, use meterlog "
                          "(for example: meterlog --model %2 --device).\n"
                          "To run the program without a screen, set QT_QPA_PLATFORM=offscreen.\n")
        .arg(programName, modelName);
}

int runProgram(
    MeterModel model, int argc, char **argv, const std::function<void(QWidget &)> &windowMade)
{
    const ModelDescription &description = modelDescription(model);
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));
    const ProgramArguments args = parseProgramArguments(arguments);
    switch (args.action) {
    case ProgramArguments::Action::Help: {
        // The program's folder needs an application object, not a display.
        QCoreApplication core(argc, argv);
        std::fputs(qPrintable(programUsage(description.programName)), stdout);
        std::printf("\n%s\n",
            qPrintable(ProgramFiles::helpFileReport(QCoreApplication::applicationDirPath())));
        return 0;
    }
    case ProgramArguments::Action::Version:
        // The caption carries the program's own version; the package's follows.
        std::printf("%s\n%s\n", qPrintable(description.window.caption),
            qPrintable(ProgramFiles::packageVersionText()));
        return 0;
    case ProgramArguments::Action::Usage:
        std::fprintf(stderr, "%s: unknown argument '%s'\n%s", qPrintable(description.programName),
            qPrintable(args.unknown), qPrintable(programUsage(description.programName)));
        return 2;
    case ProgramArguments::Action::Run:
        break;
    }

#if defined(Q_OS_UNIX) && !defined(Q_OS_MACOS)
    // Said before Qt gives up on its own with an abort.
    if (!displayAvailable(qEnvironmentVariable("QT_QPA_PLATFORM"), qEnvironmentVariable("DISPLAY"),
            qEnvironmentVariable("WAYLAND_DISPLAY"))) {
        std::fputs(qPrintable(noDisplayMessage(description.programName, description.name)), stderr);
        return 1;
    }
#endif

    // Started first: it runs while the application object connects to the display.
    const FontSystemWarmUp fontWarmUp;
    KmApplication app(argc, argv);
    // The program's own pictures are read while the window is built (images
    // may be read on any thread once the application object exists: the
    // image reader asks the application for its plug-in folders).
    std::future<QList<QImage>> iconImages
        = std::async(std::launch::async, [model] { return bundledProgramImages(model); });
    // The desktop file's name (Wayland's app ID).
    QGuiApplication::setDesktopFileName(ProgramFiles::applicationId(model));
    const QString programFolder = QCoreApplication::applicationDirPath();
    if (!QFileInfo(ProgramFiles::helpFilePath(programFolder)).isFile()) {
        std::fprintf(stderr, "%s: %s\n", qPrintable(description.programName),
            qPrintable(ProgramFiles::helpFileReport(programFolder)));
    }
    QtUserDialogs dialogs;
    app.setDialogs(&dialogs);

    std::shared_ptr<HidBackend> backend = std::make_shared<HidapiBackend>();
    if (args.demo) {
        backend = std::make_shared<JoinedHidBackend>(std::vector<std::shared_ptr<HidBackend>> {
            backend, std::make_shared<DemoCableBackend>(model) });
    }
    TFrmTest::Options options;
    options.keepJournal = true;
    TFrmTest window(model, backend, createSystemHidChangeNotifier(), dialogs, options);
    if (QScreen *screen = QGuiApplication::primaryScreen()) {
        window.adjustSize();
        QRect frame = window.frameGeometry();
        frame.moveCenter(screen->availableGeometry().center());
        window.move(frame.topLeft());
    }
    // The icon the menu shows: the program's own pictures first. The desktop
    // theme's icon, when it has one (the installed program's are the same
    // pictures), replaces them once the first frame is on the screen: looking
    // it up reads the theme's whole index.
    QApplication::setWindowIcon(iconOfImages(iconImages.get()));
    afterFirstPaint(window, [model] {
        const QIcon themed = themeProgramIcon(model);
        if (!themed.isNull())
            QApplication::setWindowIcon(themed);
    });
    // Made last, its event filters come first: a probe of the first frame
    // sees it before the work queued above.
    if (windowMade)
        windowMade(window);
    window.show();
    // Recordings that ended unsaved are offered once the window shows.
    QTimer::singleShot(0, &window, &TFrmTest::offerLeftJournals);
    return app.exec();
}
