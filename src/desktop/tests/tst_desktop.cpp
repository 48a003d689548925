// SPDX-License-Identifier: MIT
#include "KmBuildInfo.h"
#include "desktop/ProgramFiles.h"
#include "desktop/ProgramIcon.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <QTest>

class TestDesktop : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void helpFileLookup_data();
    void helpFileLookup();
    void bundledIconsHaveEveryInstalledSize();
    void themeIconWinsOverTheBundledOne();
};

namespace {

const QString installedHelp = QStringLiteral("share/" KM_PACKAGE_NAME "/km50.hlp");

bool makeFile(const QString &path)
{
    if (!QDir().mkpath(QFileInfo(path).path()))
        return false;
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write("<html></html>") > 0;
}

} // namespace

void TestDesktop::helpFileLookup_data()
{
    // A prefix with bin/ (the programs) and share/<package>/ (their data); the
    // files listed are made, a trailing slash makes a folder instead.
    QTest::addColumn<QStringList>("made");
    QTest::addColumn<QString>("programFolder");
    QTest::addColumn<QString>("found");

    QTest::newRow("build tree: beside the program") << QStringList { "bin/km50.hlp" } << "bin"
                                                    << "bin/km50.hlp";
    QTest::newRow("installed prefix: data folder")
        << QStringList { installedHelp } << "bin" << installedHelp;
    QTest::newRow("both: beside the program first")
        << QStringList { "bin/km50.hlp", installedHelp } << "bin"
        << "bin/km50.hlp";
    QTest::newRow("program folder with trailing slash")
        << QStringList { installedHelp } << "bin/" << installedHelp;
    QTest::newRow("none: names the place beside the program") << QStringList {} << "bin"
                                                              << "bin/km50.hlp";
    QTest::newRow("a folder named km50.hlp is no help file")
        << QStringList { "bin/km50.hlp/", installedHelp } << "bin" << installedHelp;
}

void TestDesktop::helpFileLookup()
{
    QFETCH(QStringList, made);
    QFETCH(QString, programFolder);
    QFETCH(QString, found);

    QTemporaryDir prefix;
    QVERIFY(prefix.isValid());
    QVERIFY(QDir(prefix.path()).mkpath(QStringLiteral("bin")));
    for (const QString &path : made) {
        if (path.endsWith(u'/'))
            QVERIFY(QDir(prefix.path()).mkpath(path));
        else
            QVERIFY(makeFile(prefix.filePath(path)));
    }
    const QString folder = prefix.filePath(programFolder);
    QCOMPARE(ProgramFiles::helpFilePath(folder), prefix.filePath(found));
    const QString report = ProgramFiles::helpFileReport(folder);
    if (QFileInfo(prefix.filePath(found)).isFile()) {
        QCOMPARE(report, "Help file: " + prefix.filePath(found));
    } else {
        QCOMPARE(report,
            "Help file: not found (looked for " + prefix.filePath("bin/km50.hlp") + " and "
                + prefix.filePath(installedHelp) + ")");
    }
}

void TestDesktop::bundledIconsHaveEveryInstalledSize()
{
    QImage pictures[2];
    int index = 0;
    for (MeterModel model : { MeterModel::Km90, MeterModel::Km50_60 }) {
        const QIcon icon = bundledProgramIcon(model);
        QList<int> sizes;
        for (const QSize &size : icon.availableSizes())
            sizes.append(size.width());
        QCOMPARE(sizes, programIconSizes());
        for (int size : programIconSizes()) {
            const QImage image = icon.pixmap(QSize(size, size)).toImage();
            QCOMPARE(image.size(), QSize(size, size));
            // The body in the lower middle is drawn; the corners stay clear.
            QVERIFY2(qAlpha(image.pixel(size / 2, size * 3 / 4)) == 255,
                qPrintable(QString::number(size)));
            QCOMPARE(qAlpha(image.pixel(0, 0)), 0);
            // The very picture built in, as any image reader gives it.
            const QImage file(QStringLiteral(":/km/icons/hicolor/%1x%1/apps/%2.png")
                                  .arg(size)
                                  .arg(ProgramFiles::applicationId(model)));
            QVERIFY(!file.isNull());
            QCOMPARE(image, file.convertToFormat(image.format()));
        }
        pictures[index++] = icon.pixmap(QSize(48, 48)).toImage();
    }
    QVERIFY(pictures[0] != pictures[1]);
}

void TestDesktop::themeIconWinsOverTheBundledOne()
{
    // A theme with a plain red KM90 icon: the program takes the theme's.
    QTemporaryDir themes;
    QVERIFY(themes.isValid());
    QVERIFY(makeFile(themes.filePath(QStringLiteral("hicolor/index.theme"))));
    QFile index(themes.filePath(QStringLiteral("hicolor/index.theme")));
    QVERIFY(index.open(QIODevice::WriteOnly | QIODevice::Truncate));
    index.write("[Icon Theme]\nName=Hicolor\nDirectories=32x32/apps\n\n"
                "[32x32/apps]\nSize=32\nContext=Applications\nType=Fixed\n");
    index.close();
    QImage red(32, 32, QImage::Format_ARGB32);
    red.fill(Qt::red);
    const QString km90 = ProgramFiles::applicationId(MeterModel::Km90);
    QVERIFY(QDir().mkpath(themes.filePath(QStringLiteral("hicolor/32x32/apps"))));
    QVERIFY(red.save(themes.filePath(QStringLiteral("hicolor/32x32/apps/%1.png").arg(km90))));
    QIcon::setThemeSearchPaths({ themes.path() });
    QIcon::setThemeName(QStringLiteral("hicolor"));

    QCOMPARE(programIcon(MeterModel::Km90).pixmap(QSize(32, 32)).toImage().pixel(16, 16),
        QColor(Qt::red).rgb());
    // No KM50_60 icon in that theme: the bundled one.
    QCOMPARE(programIcon(MeterModel::Km50_60).pixmap(QSize(48, 48)).toImage(),
        bundledProgramIcon(MeterModel::Km50_60).pixmap(QSize(48, 48)).toImage());
}

QTEST_MAIN(TestDesktop)
#include "tst_desktop.moc"
