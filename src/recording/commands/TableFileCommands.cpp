// SPDX-License-Identifier: MIT
#include "recording/commands/TableFileCommands.h"

#include "models/ModelDescription.h"
#include "recording/ReadingTable.h"

#include <QFileInfo>
#include <QList>
#include <QWidget>

// Detaches the grid for its lifetime.
class TableFileCommands::GridDetachment
{
public:
    explicit GridDetachment(TableFileCommands &commands)
        : m_commands(commands)
    {
        Q_EMIT m_commands.detachGridRequested();
    }
    ~GridDetachment() { Q_EMIT m_commands.attachGridRequested(); }
    GridDetachment(const GridDetachment &) = delete;
    GridDetachment &operator=(const GridDetachment &) = delete;

private:
    TableFileCommands &m_commands;
};

namespace {

QString absolutePath(const QString &fileName)
{
    return QFileInfo(fileName).absoluteFilePath();
}

} // namespace

TableFileCommands::TableFileCommands(
    ReadingTable &table, UserDialogs &dialogs, QWidget *window, QObject *parent)
    : QObject(parent)
    , m_table(table)
    , m_dialogs(dialogs)
    , m_window(window)
{ }

QString TableFileCommands::fileFilter()
{
    return QStringLiteral("Excel File(*.xls)|*.xls|XML(*.xml)|*.xml|Txt File(*.txt)|*.txt");
}

QString TableFileCommands::defaultExtension()
{
    return QStringLiteral("xls");
}

const TableFileRules &TableFileCommands::rules() const
{
    return modelDescription(m_table.meterModel()).tableFiles;
}

UserDialogs::FileRequest TableFileCommands::fileRequest() const
{
    UserDialogs::FileRequest request;
    request.filter = fileFilter();
    return request;
}

TableFiles::Result TableFileCommands::writeInJob(
    TableFiles::Format format, const QString &path, bool &canceled)
{
    // The job reads a copy: frames go on adding rows to the table meanwhile.
    const std::unique_ptr<ReadingTable> rows = m_table.copyRows(m_table.rowCount());
    m_tableChangedDuringSave = false;
    const auto noteChange = [this] { m_tableChangedDuringSave = true; };
    const QMetaObject::Connection watches[] = {
        connect(&m_table, &QAbstractItemModel::rowsInserted, this, noteChange),
        connect(&m_table, &QAbstractItemModel::rowsRemoved, this, noteChange),
        connect(&m_table, &QAbstractItemModel::modelReset, this, noteChange),
    };
    TableFiles::Result result;
    canceled = m_dialogs.runJob(m_window, QStringLiteral("Saving the table"),
        [&rows, &result, format, &path](JobProgress &progress) {
            result = format == TableFiles::Format::Xml
                ? TableFiles::writeTableXmlFile(*rows, path, &progress)
                : TableFiles::writeTableTextFile(*rows, path, &progress);
        });
    for (const auto &watch : watches)
        disconnect(watch);
    // A job that had finished when the user cancelled has still saved the file.
    canceled = canceled && !result.ok;
    return result;
}

void TableFileCommands::announceSaved(const QString &path)
{
    if (!m_tableChangedDuringSave)
        Q_EMIT tableSaved(path);
}

bool TableFileCommands::writeXmlQuietly(const QString &path, QString &xmlError)
{
    bool canceled = false;
    const TableFiles::Result result = writeInJob(TableFiles::Format::Xml, path, canceled);
    if (!result.ok && !canceled)
        xmlError = result.error;
    return result.ok;
}

bool TableFileCommands::writeTable(const QString &path, QString &xmlError)
{
    if (!rules().xmlSaveIsSilent
        && TableFiles::saveFormat(m_table.meterModel(), path) == TableFiles::Format::Xml) {
        if (!writeXmlQuietly(path, xmlError))
            return false;
    } else {
        bool canceled = false;
        if (!writeInJob(TableFiles::Format::Text, path, canceled).ok) {
            if (!canceled)
                m_dialogs.error(m_window, QStringLiteral("Error"),
                    QStringLiteral("Could not save table to specified file: ") + path);
            return false;
        }
    }
    m_dialogs.information(m_window, QStringLiteral("Information"),
        QStringLiteral("Save table to specified file: ") + path + QStringLiteral(" Scuss!"));
    return true;
}

bool TableFileCommands::WriteTableText(const QString &fileName)
{
    QString xmlError;
    const QString path = absolutePath(fileName);
    const bool written = writeTable(path, xmlError);
    if (written)
        announceSaved(path);
    if (!xmlError.isEmpty())
        Q_EMIT errorRaised(xmlError);
    return written;
}

bool TableFileCommands::ReadTableFile(const QString &fileName)
{
    // The file is read on the job's thread into a table of its own: a text file
    // into a copy of the rows there are now (it appends), an XML file into an
    // empty table (it replaces them). Frames go on adding rows to the table
    // meanwhile; they follow the file's rows when the outcome takes the table's place.
    const QString path = absolutePath(fileName);
    const bool appends = TableFiles::openFormat(path) == TableFiles::Format::Text;
    const int rowsBefore = m_table.rowCount();
    std::unique_ptr<ReadingTable> loaded = appends
        ? m_table.copyRows(rowsBefore)
        : std::make_unique<ReadingTable>(m_table.meterModel());
    TableFiles::Result result;
    const bool canceled = m_dialogs.runJob(m_window, QStringLiteral("Opening the table"),
        [&loaded, &result, &path](JobProgress &progress) {
            result = TableFiles::ReadTableFile(path, *loaded, &progress);
        });
    if (canceled && !result.ok)
        return false; // the table stays as it was, and nothing is said
    // A text file that fails half-way keeps the rows of the lines before.
    const bool changes = appends ? loaded->rowCount() > rowsBefore : result.ok;
    if (changes) {
        QList<QString> fields(m_table.columnCount());
        for (int r = rowsBefore; r < m_table.rowCount(); ++r) {
            for (int c = 0; c < fields.size(); ++c)
                fields[c] = m_table.fieldText(r, c);
            loaded->appendFields(std::span<const QString>(fields.constData(), fields.size()));
        }
        m_table.takeRowsFrom(*loaded);
    }
    if (!result.ok) {
        m_dialogs.error(rules().loadErrorOwnedByWindow ? m_window.data() : nullptr,
            QStringLiteral("Error"), QStringLiteral("Failed to Load File!"));
    }
    return result.ok;
}

bool TableFileCommands::Save_asClick()
{
    UserDialogs::FileRequest request = fileRequest();
    request.defaultSuffix = defaultExtension();
    request.confirmOverwrite = true;
    // The name field is either empty each time or holds the name chosen last.
    if (rules().saveOffersLastName)
        request.fileName = m_lastSaveName;
    const QString chosen = m_dialogs.saveFileName(m_window, request);
    if (chosen.isEmpty())
        return false;
    QString path = absolutePath(chosen);
    // The dialog adds the default extension to a name typed without one; so do
    // we, should a dialog hand one back.
    if (TableFiles::fileExtension(path).isEmpty())
        path += u'.' + defaultExtension();
    m_lastSaveName = path;

    bool written = false;
    QString xmlError;
    {
        const GridDetachment detached(*this);
        if (rules().xmlSaveIsSilent
            && TableFiles::saveFormat(m_table.meterModel(), path) == TableFiles::Format::Xml) {
            written = writeXmlQuietly(path, xmlError);
        } else {
            written = writeTable(path, xmlError);
            // A failed XML save ends the command before the repaint.
            if (xmlError.isEmpty())
                Q_EMIT repaintRequested();
        }
    }
    if (written)
        announceSaved(path);
    if (!xmlError.isEmpty())
        Q_EMIT errorRaised(xmlError);
    return written;
}

bool TableFileCommands::OpenClick()
{
    UserDialogs::FileRequest request = fileRequest();
    request.fileName = m_lastOpenName;
    const QString chosen = m_dialogs.openFileName(m_window, request);
    if (chosen.isEmpty())
        return false;
    const QString path = absolutePath(chosen);
    m_lastOpenName = path;

    const GridDetachment detached(*this);
    const bool read = ReadTableFile(path);
    if (rules().repaintAfterOpen)
        Q_EMIT repaintRequested();
    return read;
}
