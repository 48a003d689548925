// SPDX-License-Identifier: MIT
#include "dialogs/QtUserDialogs.h"
#include "dialogs/RecordingUserDialogs.h"

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <functional>

namespace {

// Runs `inspect` on the modal dialog that the next call opens, then closes it
// through `inspect` (which must accept or reject it).
void whenModalOpens(std::function<void(QWidget *)> inspect)
{
    QTimer::singleShot(0, [inspect] {
        QWidget *modal = QApplication::activeModalWidget();
        QVERIFY(modal != nullptr);
        inspect(modal);
    });
}

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

QTEST_MAIN(TestUserDialogs)
#include "tst_userdialogs.moc"
