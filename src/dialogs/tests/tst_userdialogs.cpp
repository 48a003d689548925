// SPDX-License-Identifier: MIT
#include "dialogs/FileIconProvider.h"
#include "dialogs/QtUserDialogs.h"
#include "dialogs/RecordingUserDialogs.h"

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QProgressDialog>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QTimer>

#include <atomic>
#include <chrono>
#include <functional>
#include <thread>

#include <fcntl.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Runs `inspect` on the modal dialog that the next call opens, which accepts
// or rejects it; a dialog still open afterwards (a check failed) is rejected.
void whenModalOpens(std::function<void(QWidget *)> inspect)
{
    QTimer::singleShot(0, [inspect] {
        QWidget *modal = QApplication::activeModalWidget();
        QVERIFY(modal != nullptr);
        inspect(modal);
        if (auto *dialog = qobject_cast<QDialog *>(modal); dialog && dialog->isVisible())
            dialog->reject();
    });
}

// A FIFO that nobody writes to: opening it for reading waits for a writer.
// A watcher thread looks, as a writer that does not wait, whether anyone
// has it open for reading; when so it notes it and lets the reader go (its
// read then sees the end of the file), so a test that would hang reports the
// read instead.
class UnwrittenFifo
{
public:
    explicit UnwrittenFifo(const QString &path)
        : m_path(QFile::encodeName(path))
    {
        m_made = ::mkfifo(m_path.constData(), 0600) == 0;
        m_watcher = std::thread([this] {
            while (!m_stop) {
                const int fd = ::open(m_path.constData(), O_WRONLY | O_NONBLOCK);
                if (fd >= 0) {
                    m_opened = true;
                    ::close(fd);
                }
                std::this_thread::sleep_for(std::chrono::milliseconds(2));
            }
        });
    }
    ~UnwrittenFifo()
    {
        m_stop = true;
        m_watcher.join();
    }
    bool made() const { return m_made; }
    bool openedForReading() const { return m_opened; }

private:
    QByteArray m_path;
    bool m_made = false;
    std::atomic<bool> m_stop { false };
    std::atomic<bool> m_opened { false };
    std::thread m_watcher;
};

// Notes the names of the entries of a folder that anyone opens.
class OpenWatch
{
public:
    explicit OpenWatch(const QString &folder)
        : m_fd(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC))
    {
        if (m_fd >= 0)
            m_watching
                = ::inotify_add_watch(m_fd, QFile::encodeName(folder).constData(), IN_OPEN) >= 0;
    }
    ~OpenWatch()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    bool watching() const { return m_watching; }
    // The entries opened since the watch began (the folder itself is not named).
    QStringList opened()
    {
        alignas(inotify_event) char buffer[4096];
        for (;;) {
            const ssize_t n = ::read(m_fd, buffer, sizeof buffer);
            if (n <= 0)
                break;
            for (ssize_t at = 0; at < n;) {
                const auto *event = reinterpret_cast<const inotify_event *>(buffer + at);
                if (event->len > 0)
                    m_opened << QFile::decodeName(event->name);
                at += ssize_t(sizeof(inotify_event)) + event->len;
            }
        }
        return m_opened;
    }

private:
    int m_fd;
    bool m_watching = false;
    QStringList m_opened;
};

} // namespace

class TestUserDialogs : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void filterPairs_data();
    void filterPairs();
    void recorderAnswersInOrderThenCancels();
    void messageBoxCarriesIconCaptionAndText_data();
    void messageBoxCarriesIconCaptionAndText();
    void saveDialogTakesTheRequest_data();
    void saveDialogTakesTheRequest();
    void cancelledDialogGivesEmptyName();
    void filterSuffixes_data();
    void filterSuffixes();
    void saveDialogExtensionAndChosenFilter_data();
    void saveDialogExtensionAndChosenFilter();
    void dialogNeverReadsListedFiles_data();
    void dialogNeverReadsListedFiles();
    void iconsAndTypesByName_data();
    void iconsAndTypesByName();
    void fileDialogsOpenedByQtGetTheProvider();
    void quickJobShowsNoDialog();
    void longJobShowsProgressAndCancelStopsIt();
    void recorderCancelsJobWhereScripted();
};

void TestUserDialogs::filterPairs_data()
{
    QTest::addColumn<QString>("filter");
    QTest::addColumn<QStringList>("expected");

    QTest::newRow("bitmap, patterns already named")
        << "Bitmaps (*.bmp)|*.bmp" << QStringList { "Bitmaps (*.bmp)" };
    QTest::newRow("table files, no blank before group")
        << "Excel File(*.xls)|*.xls|XML(*.xml)|*.xml|Txt File(*.txt)|*.txt"
        << QStringList { "Excel File (*.xls)", "XML (*.xml)", "Txt File (*.txt)" };
    QTest::newRow("bare description gets its patterns")
        << "Text|*.txt;*.log" << QStringList { "Text (*.txt *.log)" };
    QTest::newRow("semicolons inside a named group")
        << "Pictures (*.bmp;*.dib)|*.bmp;*.dib" << QStringList { "Pictures (*.bmp *.dib)" };
    QTest::newRow("group that is not the patterns is kept")
        << "Bitmaps (screen)|*.bmp" << QStringList { "Bitmaps (screen) (*.bmp)" };
    QTest::newRow("dangling description dropped")
        << "All|*.*|Orphan" << QStringList { "All (*.*)" };
    QTest::newRow("empty") << "" << QStringList {};
}

void TestUserDialogs::filterPairs()
{
    QFETCH(QString, filter);
    QFETCH(QStringList, expected);
    QCOMPARE(nameFiltersFromPairs(filter), expected);
}

void TestUserDialogs::recorderAnswersInOrderThenCancels()
{
    RecordingUserDialogs dialogs;
    dialogs.queueFileName(QStringLiteral("/tmp/a.bmp"));
    dialogs.queueFileName(QStringLiteral("/tmp/b.xls"));
    UserDialogs::FileRequest request;
    request.filter = QStringLiteral("Bitmaps (*.bmp)|*.bmp");
    request.defaultSuffix = QStringLiteral("bmp");
    request.confirmOverwrite = false;

    QCOMPARE(dialogs.saveFileName(nullptr, request), QStringLiteral("/tmp/a.bmp"));
    dialogs.information(nullptr, QStringLiteral("Information"), QStringLiteral("done"));
    QCOMPARE(dialogs.openFileName(nullptr, {}), QStringLiteral("/tmp/b.xls"));
    QCOMPARE(dialogs.saveFileName(nullptr, request), QString());

    const auto &calls = dialogs.calls();
    QCOMPARE(calls.size(), 4);
    QCOMPARE(calls[0].kind, RecordingUserDialogs::Kind::Save);
    QCOMPARE(calls[0].file.defaultSuffix, QStringLiteral("bmp"));
    QCOMPARE(calls[0].file.confirmOverwrite, false);
    QCOMPARE(calls[1].kind, RecordingUserDialogs::Kind::Message);
    QCOMPARE(calls[1].icon, UserDialogs::Icon::Information);
    QCOMPARE(calls[1].text, QStringLiteral("done"));
    QCOMPARE(calls[2].kind, RecordingUserDialogs::Kind::Open);
    QCOMPARE(dialogs.messages().size(), 1);
}

void TestUserDialogs::messageBoxCarriesIconCaptionAndText_data()
{
    QTest::addColumn<UserDialogs::Icon>("icon");
    QTest::addColumn<QMessageBox::Icon>("boxIcon");

    QTest::newRow("information") << UserDialogs::Icon::Information << QMessageBox::Information;
    QTest::newRow("error") << UserDialogs::Icon::Error << QMessageBox::Critical;
    QTest::newRow("warning") << UserDialogs::Icon::Warning << QMessageBox::Warning;
    QTest::newRow("none") << UserDialogs::Icon::NoIcon << QMessageBox::NoIcon;
}

void TestUserDialogs::messageBoxCarriesIconCaptionAndText()
{
    QFETCH(UserDialogs::Icon, icon);
    QFETCH(QMessageBox::Icon, boxIcon);

    QWidget owner;
    QMessageBox::Icon seenIcon = QMessageBox::NoIcon;
    QString seenCaption, seenText;
    QWidget *seenParent = nullptr;
    int buttons = 0;
    whenModalOpens([&](QWidget *modal) {
        auto *box = qobject_cast<QMessageBox *>(modal);
        QVERIFY(box != nullptr);
        seenIcon = box->icon();
        seenCaption = box->windowTitle();
        seenText = box->text();
        seenParent = box->parentWidget();
        buttons = box->buttons().size();
        box->accept();
    });
    QtUserDialogs dialogs;
    dialogs.message(&owner, icon, QStringLiteral("Information"), QStringLiteral(" Saved "));

    QCOMPARE(seenIcon, boxIcon);
    QCOMPARE(seenCaption, QStringLiteral("Information"));
    QCOMPARE(seenText, QStringLiteral(" Saved "));
    QCOMPARE(seenParent, &owner);
    QCOMPARE(buttons, 1);
}

void TestUserDialogs::saveDialogTakesTheRequest_data()
{
    QTest::addColumn<bool>("confirmOverwrite");
    QTest::newRow("asks before replacing") << true;
    QTest::newRow("replaces without asking") << false;
}

void TestUserDialogs::saveDialogTakesTheRequest()
{
    QFETCH(bool, confirmOverwrite);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());

    QStringList filters;
    QString suffix;
    bool dontConfirm = !confirmOverwrite;
    whenModalOpens([&](QWidget *modal) {
        auto *dialog = qobject_cast<QFileDialog *>(modal);
        QVERIFY(dialog != nullptr);
        filters = dialog->nameFilters();
        suffix = dialog->defaultSuffix();
        dontConfirm = dialog->testOption(QFileDialog::DontConfirmOverwrite);
        dialog->selectFile(dir.filePath(QStringLiteral("chart")));
        static_cast<QDialog *>(dialog)->accept(); // QFileDialog::accept() is protected
    });
    UserDialogs::FileRequest request;
    request.filter = QStringLiteral("Bitmaps (*.bmp)|*.bmp");
    request.defaultSuffix = QStringLiteral("bmp");
    request.confirmOverwrite = confirmOverwrite;
    QtUserDialogs dialogs;
    const QString chosen = dialogs.saveFileName(nullptr, request);

    QCOMPARE(filters, QStringList { QStringLiteral("Bitmaps (*.bmp)") });
    QCOMPARE(suffix, QStringLiteral("bmp"));
    QCOMPARE(dontConfirm, !confirmOverwrite);
    QCOMPARE(chosen, dir.filePath(QStringLiteral("chart.bmp")));
}

void TestUserDialogs::cancelledDialogGivesEmptyName()
{
    whenModalOpens([](QWidget *modal) { static_cast<QDialog *>(modal)->reject(); });
    QtUserDialogs dialogs;
    QCOMPARE(dialogs.openFileName(nullptr, {}), QString());
}

void TestUserDialogs::filterSuffixes_data()
{
    QTest::addColumn<QString>("filter");
    QTest::addColumn<int>("pair");
    QTest::addColumn<QString>("suffix");
    QTest::addColumn<QList<int>>("pairsShown");

    const QString report = QStringLiteral("Report file (*.kmr)|*.kmr|PDF document (*.pdf)|*.pdf|"
                                          "HTML document (*.html)|*.html;*.htm");
    QTest::newRow("first") << report << 0 << "kmr" << QList<int> { 0, 1, 2 };
    QTest::newRow("second") << report << 1 << "pdf" << QList<int> { 0, 1, 2 };
    QTest::newRow("first of two patterns") << report << 2 << "html" << QList<int> { 0, 1, 2 };
    QTest::newRow("outside") << report << 3 << "" << QList<int> { 0, 1, 2 };
    QTest::newRow("negative") << report << -1 << "" << QList<int> { 0, 1, 2 };
    QTest::newRow("all files") << "All|*.*|Text|*.txt" << 0 << "" << QList<int> { 0, 1 };
    QTest::newRow("pair without patterns is not shown")
        << "Empty||Text|*.txt" << 1 << "txt" << QList<int> { 1 };
}

void TestUserDialogs::filterSuffixes()
{
    QFETCH(QString, filter);
    QFETCH(int, pair);
    QFETCH(QString, suffix);
    QFETCH(QList<int>, pairsShown);
    QCOMPARE(filterSuffix(filter, pair), suffix);
    QCOMPARE(nameFilterPairs(filter), pairsShown);
    QCOMPARE(nameFilterPairs(filter).size(), nameFiltersFromPairs(filter).size());
}

void TestUserDialogs::saveDialogExtensionAndChosenFilter_data()
{
    QTest::addColumn<bool>("follows");
    QTest::addColumn<int>("choose"); // index of the name filter the user picks
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("written");
    QTest::addColumn<int>("reported");
    QTest::newRow("follows: pdf chosen, no extension") << true << 1 << "report"
                                                       << "report.pdf" << 1;
    QTest::newRow("follows: first filter kept") << true << 0 << "report"
                                                << "report.kmr" << 0;
    QTest::newRow("follows: typed extension stays") << true << 1 << "report.csv"
                                                    << "report.csv" << 1;
    QTest::newRow("default suffix whatever the filter") << false << 1 << "report"
                                                        << "report.kmr" << 1;
}

void TestUserDialogs::saveDialogExtensionAndChosenFilter()
{
    QFETCH(bool, follows);
    QFETCH(int, choose);
    QFETCH(QString, typed);
    QFETCH(QString, written);
    QFETCH(int, reported);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());

    whenModalOpens([&](QWidget *modal) {
        auto *dialog = qobject_cast<QFileDialog *>(modal);
        QVERIFY(dialog != nullptr);
        // The user picks a filter in the type box and types a name.
        auto *types = dialog->findChild<QComboBox *>(QStringLiteral("fileTypeCombo"));
        QVERIFY(types != nullptr);
        QCOMPARE(types->currentIndex(), 0);
        for (int i = 0; i < choose; ++i)
            QTest::keyClick(types, Qt::Key_Down);
        QCOMPARE(types->currentIndex(), choose);
        dialog->selectFile(dir.filePath(typed));
        static_cast<QDialog *>(dialog)->accept();
    });
    UserDialogs::FileRequest request;
    request.filter = QStringLiteral("Report file (*.kmr)|*.kmr|PDF document (*.pdf)|*.pdf");
    request.defaultSuffix = QStringLiteral("kmr");
    request.suffixFollowsFilter = follows;
    QtUserDialogs dialogs;
    const UserDialogs::FileChoice choice = dialogs.chooseSaveFile(nullptr, request);
    QCOMPARE(choice.fileName, dir.filePath(written));
    QCOMPARE(choice.filter, reported);
}

void TestUserDialogs::dialogNeverReadsListedFiles_data()
{
    QTest::addColumn<bool>("save");
    QTest::newRow("save") << true;
    QTest::newRow("open") << false;
}

void TestUserDialogs::dialogNeverReadsListedFiles()
{
    QFETCH(bool, save);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    // FIFOs with a name that tells no type and with one that looks like text,
    // beside ordinary files whose type only their contents could tell.
    UnwrittenFifo plain(dir.filePath(QStringLiteral("fifo")));
    UnwrittenFifo named(dir.filePath(QStringLiteral("pipe.txt")));
    QVERIFY(plain.made() && named.made());
    for (const char *entry : { "kmsg", "readings" }) {
        QFile file(dir.filePath(QString::fromLatin1(entry)));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("No\tTime\tValue\r\n1\t12:00:00\t230.1\r\n");
    }
    OpenWatch watch(dir.path());
    QVERIFY(watch.watching());

    bool listed = false;
    whenModalOpens([&](QWidget *modal) {
        auto *dialog = qobject_cast<QFileDialog *>(modal);
        QVERIFY(dialog != nullptr);
        auto *model = dialog->findChild<QFileSystemModel *>();
        QVERIFY(model != nullptr);
        // The list of the folder, gathered in the background (FIFOs are looked
        // at but not listed).
        const QModelIndex folder = model->index(dir.path());
        QTRY_COMPARE_WITH_TIMEOUT(model->rowCount(folder), 2, 60000);
        for (int r = 0; r < model->rowCount(folder); ++r) {
            model->fileIcon(model->index(r, 0, folder));
            model->type(model->index(r, 0, folder));
        }
        // Typing a path makes the name field's completion look entries up at
        // once, on this thread.
        auto *name = dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
        QVERIFY(name != nullptr);
        QTest::keyClicks(name, dir.filePath(QStringLiteral("fif")));
        QTest::keyClicks(name, QStringLiteral("o"));
        listed = true;
        static_cast<QDialog *>(dialog)->reject();
    });
    UserDialogs::FileRequest request;
    request.fileName = dir.path() + u'/';
    QtUserDialogs dialogs;
    if (save)
        dialogs.saveFileName(nullptr, request);
    else
        dialogs.openFileName(nullptr, request);

    QVERIFY(listed);
    QVERIFY(!plain.openedForReading());
    QVERIFY(!named.openedForReading());
    QCOMPARE(watch.opened(), QStringList());
}

void TestUserDialogs::iconsAndTypesByName_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("fifo");
    QTest::addColumn<QString>("type");
    QTest::newRow("text file") << "table.txt" << false << "plain text document";
    QTest::newRow("FIFO named like text") << "pipe.txt" << true << "plain text document";
    QTest::newRow("no extension") << "kmsg" << false << "File";
    QTest::newRow("unknown extension") << "capture.km9" << false << "km9 File";
}

void TestUserDialogs::iconsAndTypesByName()
{
    QFETCH(QString, name);
    QFETCH(bool, fifo);
    QFETCH(QString, type);
    QTemporaryDir dir;
    const QString path = dir.filePath(name);
    if (fifo) {
        QVERIFY(::mkfifo(QFile::encodeName(path).constData(), 0600) == 0);
    } else {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("%PDF-1.4\n"); // contents that would tell another type
    }
    NameOnlyIconProvider provider;
    QCOMPARE(provider.type(QFileInfo(path)), type);
    QVERIFY(!provider.icon(QFileInfo(path)).isNull());
    QCOMPARE(provider.type(QFileInfo(dir.path())), QStringLiteral("Folder"));
}

void TestUserDialogs::fileDialogsOpenedByQtGetTheProvider()
{
    // Dialogs that do not go through QtUserDialogs (Qt's static functions, as
    // the print dialog's file chooser uses them) get it before they show.
    useNameOnlyIconsInEveryFileDialog(*QCoreApplication::instance());
    bool nameOnly = false;
    whenModalOpens([&](QWidget *modal) {
        auto *dialog = qobject_cast<QFileDialog *>(modal);
        QVERIFY(dialog != nullptr);
        nameOnly = dynamic_cast<const NameOnlyIconProvider *>(dialog->iconProvider()) != nullptr;
        static_cast<QDialog *>(dialog)->reject();
    });
    QFileDialog::getSaveFileName(nullptr, QStringLiteral("Print To File ..."), QString(), QString(),
        nullptr, QFileDialog::DontUseNativeDialog);
    QVERIFY(nameOnly);
}

void TestUserDialogs::quickJobShowsNoDialog()
{
    QtUserDialogs dialogs;
    bool ran = false;
    bool sawDialog = false;
    QTimer watch;
    connect(&watch, &QTimer::timeout,
        [&] { sawDialog = sawDialog || QApplication::activeModalWidget() != nullptr; });
    watch.start(5);
    QVERIFY(!dialogs.runJob(nullptr, QStringLiteral("Saving"), [&](JobProgress &progress) {
        progress.setTotal(1);
        ran = true;
        progress.advance(1);
    }));
    QVERIFY(ran);
    QVERIFY(!sawDialog);
}

void TestUserDialogs::longJobShowsProgressAndCancelStopsIt()
{
    // The work runs until it is cancelled, half-way, so that the dialog shows
    // a part done that is neither nothing nor everything.
    QtUserDialogs dialogs;
    QPointer<QProgressDialog> shown;
    int shownValue = -1;
    QTimer watch;
    connect(&watch, &QTimer::timeout, [&] {
        auto *dialog = qobject_cast<QProgressDialog *>(QApplication::activeModalWidget());
        if (!dialog || !dialog->isVisible() || dialog->value() <= 0)
            return;
        shown = dialog;
        shownValue = dialog->value();
        auto *cancel = dialog->findChild<QPushButton *>();
        QVERIFY(cancel);
        QTest::mouseClick(cancel, Qt::LeftButton);
        watch.stop();
    });
    watch.start(20);
    QElapsedTimer clock;
    clock.start();
    bool stoppedByCancel = false;
    const bool canceled
        = dialogs.runJob(nullptr, QStringLiteral("Writing the PDF"), [&](JobProgress &progress) {
              progress.setTotal(100);
              progress.setDone(50);
              while (!progress.isCanceled()) {
                  if (clock.elapsed() > 20'000)
                      return; // no dialog came: fail below instead of hanging
                  QThread::msleep(2);
              }
              stoppedByCancel = true;
          });
    QVERIFY(canceled);
    QVERIFY(stoppedByCancel);
    QVERIFY2(clock.elapsed() >= 500,
        qPrintable(QString::number(clock.elapsed()))); // nothing before half a second
    QCOMPARE(shownValue, 500); // the half done, of 1000 steps
    QVERIFY(shown.isNull() || !shown->isVisible()); // gone once the work ended
}

void TestUserDialogs::recorderCancelsJobWhereScripted()
{
    RecordingUserDialogs dialogs;
    const auto work = [](JobProgress &progress) {
        progress.setTotal(10);
        for (int i = 0; i < 10 && !progress.isCanceled(); ++i)
            progress.advance(1);
    };
    dialogs.queueJobCancel(0.3);
    QVERIFY(dialogs.runJob(nullptr, QStringLiteral("first"), work));
    QVERIFY(!dialogs.runJob(nullptr, QStringLiteral("second"), work));
    QCOMPARE(dialogs.calls().size(), 2);
    const auto &first = dialogs.calls()[0];
    QCOMPARE(first.kind, RecordingUserDialogs::Kind::Job);
    QCOMPARE(first.text, QStringLiteral("first"));
    QVERIFY(first.jobCanceled);
    QCOMPARE(first.jobDone, 3);
    const auto &second = dialogs.calls()[1];
    QVERIFY(!second.jobCanceled);
    QCOMPARE(second.jobDone, 10);
    QCOMPARE(second.jobTotal, 10);
}

QTEST_MAIN(TestUserDialogs)
#include "tst_userdialogs.moc"
