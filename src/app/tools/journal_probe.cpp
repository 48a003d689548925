// SPDX-License-Identifier: MIT
// A program window with its journal, for the journal's kill test:
//
//   km_journal_probe record FOLDER km90|km50_60
//     records the demo meter as fast as it streams and prints every row, as
//     the table's text file writes it, once the row is handed to the system
//     (after its frame); runs until it is killed.
//   km_journal_probe restore FOLDER km90|km50_60 FILE
//     starts, answers Restore to the first left journal, saves the table as a
//     text file FILE and ends; prints the number of questions asked.
#include "app/KmApplication.h"
#include "app/Unit1.h"
#include "dialogs/RecordingUserDialogs.h"
#include "hid/demo/DemoCableBackend.h"
#include "models/ModelDescription.h"
#include "recording/TableFiles.h"

#include <QApplication>
#include <QTimer>

#include <cstdio>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    const ModelDescription *model = args.size() >= 4 ? findMeterModel(args.at(3)) : nullptr;
    const bool record = args.value(1) == u"record";
    const bool restore = args.value(1) == u"restore" && args.size() >= 5;
    if (!model || !(record || restore)) {
        std::fprintf(
            stderr, "usage: km_journal_probe record FOLDER MODEL | restore FOLDER MODEL FILE\n");
        return 2;
    }
    RecordingUserDialogs dialogs;
    TFrmTest::Options options;
    options.localeDecimal = QStringLiteral(".");
    options.keepJournal = true;
    options.journalFolder = args.at(2);
    TFrmTest window(model->model, std::make_shared<DemoCableBackend>(model->model, false), {},
        dialogs, options);

    if (restore) {
        dialogs.queueChoice(0); // Restore
        window.offerLeftJournals();
        int asked = 0;
        for (const auto &call : dialogs.calls())
            asked += call.kind == RecordingUserDialogs::Kind::Choice;
        std::printf("asked %d\n", asked);
        return TableFiles::writeTableTextFile(window.cds1(), args.at(4)).ok ? 0 : 1;
    }

    window.recorder().setRecordLimit(10000000);
    int printed = 0;
    QObject::connect(&window, &TFrmTest::frameDone, &window, [&] {
        const ReadingTable &table = window.cds1();
        for (; printed < table.rowCount(); ++printed) {
            QStringList fields;
            for (int c = 0; c < table.columnCount(); ++c)
                fields << TableFiles::textFileField(table.fieldText(printed, c));
            std::fputs(qPrintable(fields.join(u'\t') + u'\n'), stdout);
        }
        std::fflush(stdout);
    });
    window.Panel2Click(); // Connect
    // The demo tour ends in a silence after which the window disconnects, as
    // from a silent meter: connect again, so recording goes on.
    QTimer reconnect;
    QObject::connect(&reconnect, &QTimer::timeout, &window, [&] {
        if (!window.link().USBCon())
            window.Panel2Click();
    });
    reconnect.start(100);
    return app.exec();
}
