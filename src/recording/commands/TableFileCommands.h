// SPDX-License-Identifier: MIT
#pragma once

#include "dialogs/UserDialogs.h"
#include "recording/TableFiles.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <QWidget>

struct TableFileRules;

class ReadingTable;

// The save and open commands of the record tool bar ("Save Data", "Open Data")
// for either program, chosen by the table's meter model. They ask for a file
// name through UserDialogs, write or read the table with TableFiles and tell the
// user the outcome in the programs' message boxes.
//
// What belongs to the window is asked for by signal: the grid is detached before
// rows are visited and attached again afterwards, whatever happens (also when an
// exception passes through); the window is repainted where the programs do; and
// a failed XML save, which has no box of its own, goes to the window's general
// error report through errorRaised, after the grid is attached again.
//
// Differences between the programs:
// - KM90 opens the save dialog with an empty name and writes XML only for the
//   extension ".xml" exactly (".XML" gives a text file), without any message.
// - KM50_60 opens the save dialog with the name chosen last and writes XML for
//   ".xml" in any letter case, then shows the success message as for text.
// - Both open XML only for ".xml" exactly; a failed open is reported in a box
//   owned by the window in KM90 and in a box without owner in KM50_60.
class TableFileCommands : public QObject
{
    Q_OBJECT
public:
    TableFileCommands(ReadingTable &table, UserDialogs &dialogs, QWidget *window = nullptr,
        QObject *parent = nullptr);

    // The filter of both file dialogs.
    static QString fileFilter();
    // The extension a save dialog adds to a name typed without one.
    static QString defaultExtension();

    // The window that owns the dialogs and message boxes.
    void setWindow(QWidget *window) { m_window = window; }

    // Writes the table to fileName and shows the success or failure box (KM50_60
    // also handles the XML case here). A failed XML save is raised through
    // errorRaised. Returns true when the file was written.
    //
    // Saving and opening run as jobs (UserDialogs::runJob): the window goes on
    // recording while a large file is written or read, a progress dialog with
    // Cancel shows after half a second, and Cancel leaves the file (or, when
    // opening, the table) as it was and says nothing. A save writes the rows
    // the table had when it started; tableSaved is raised only when no row
    // came or went meanwhile. An open puts the file's rows where a quick open
    // would have put them, and the rows recorded meanwhile after them.
    bool WriteTableText(const QString &fileName);
    // Reads fileName into the table; on failure shows "Failed to Load File!".
    // Returns true when the file was read completely.
    bool ReadTableFile(const QString &fileName);

public Q_SLOTS:
    // Save Data: asks for a name and saves the table. Returns true when a file
    // was written.
    bool Save_asClick();
    // Open Data: asks for a name and reads it into the table. Returns true when
    // the file was read completely.
    bool OpenClick();

Q_SIGNALS:
    // Every row of the table, as it is now, was written to this file.
    void tableSaved(const QString &path);
    void detachGridRequested();
    void attachGridRequested();
    void repaintRequested();
    // An error for the window's general error report.
    void errorRaised(const QString &message);

private:
    class GridDetachment;

    const TableFileRules &rules() const;
    UserDialogs::FileRequest fileRequest() const;
    // Writes and shows the boxes; a failed XML save is left in xmlError.
    bool writeTable(const QString &path, QString &xmlError);
    bool writeXmlQuietly(const QString &path, QString &xmlError);
    // Writes the table as it is now, in a job with progress and Cancel, from a
    // copy of its rows; canceled tells that the user stopped it.
    TableFiles::Result writeInJob(TableFiles::Format format, const QString &path, bool &canceled);
    // Tells the journal that the file holds the table, unless rows came or
    // went while it was written.
    void announceSaved(const QString &path);
    bool m_tableChangedDuringSave = false;

    ReadingTable &m_table;
    UserDialogs &m_dialogs;
    QPointer<QWidget> m_window;
    QString m_lastSaveName; // KM50_60 offers it again
    QString m_lastOpenName;
};
