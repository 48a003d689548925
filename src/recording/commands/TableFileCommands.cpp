// SPDX-License-Identifier: MIT
#include "recording/commands/TableFileCommands.h"

#include "models/ModelDescription.h"
#include "recording/ReadingTable.h"

#include <QFileInfo>
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

bool TableFileCommands::writeXmlQuietly(const QString &path, QString &xmlError)
{
    const TableFiles::Result result = TableFiles::writeTableXmlFile(m_table, path);
    if (!result.ok)
        xmlError = result.error;
    return result.ok;
}

bool TableFileCommands::writeTable(const QString &path, QString &xmlError)
{
    if (!rules().xmlSaveIsSilent
        && TableFiles::saveFormat(m_table.meterModel(), path) == TableFiles::Format::Xml) {
        if (!writeXmlQuietly(path, xmlError))
            return false;
    } else if (!TableFiles::writeTableTextFile(m_table, path).ok) {
        m_dialogs.error(m_window, QStringLiteral("Error"),
            QStringLiteral("Could not save table to specified file: ") + path);
        return false;
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
        Q_EMIT tableSaved(path);
    if (!xmlError.isEmpty())
        Q_EMIT errorRaised(xmlError);
    return written;
}

bool TableFileCommands::ReadTableFile(const QString &fileName)
{
    const TableFiles::Result result = TableFiles::ReadTableFile(absolutePath(fileName), m_table);
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
        Q_EMIT tableSaved(path);
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
