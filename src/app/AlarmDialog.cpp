// SPDX-License-Identifier: MIT
#include "app/AlarmDialog.h"

#include "analysis/ReadingStatistics.h"
#include "core/ReadingText.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

namespace {

QString numberText(const std::optional<double> &v)
{
    return v ? ReadingText::formatNumber(*v) : QString();
}

} // namespace

AlarmDialog::AlarmDialog(const AlarmSettings &settings, const QStringList &units,
    const QString &decimalSeparator, QWidget *parent)
    : QDialog(parent)
    , m_separator(decimalSeparator)
{
    setObjectName(QStringLiteral("AlarmDialog"));
    setWindowTitle(QStringLiteral("Alarms"));
    m_enabled = new QCheckBox(QStringLiteral("Alarm on the main reading"), this);
    m_enabled->setChecked(settings.enabled);
    m_lower = new QLineEdit(numberText(settings.lower), this);
    m_lower->setObjectName(QStringLiteral("lower"));
    m_upper = new QLineEdit(numberText(settings.upper), this);
    m_upper->setObjectName(QStringLiteral("upper"));
    m_unit = new QComboBox(this);
    m_unit->setObjectName(QStringLiteral("unit"));
    m_unit->setEditable(true);
    m_unit->addItems(units);
    m_unit->setCurrentText(settings.unit);
    m_hysteresis = new QLineEdit(ReadingText::formatNumber(settings.hysteresis), this);
    m_hysteresis->setObjectName(QStringLiteral("hysteresis"));
    m_beep = new QCheckBox(QStringLiteral("Sound"), this);
    m_beep->setChecked(settings.beep);
    m_history = new QCheckBox(QStringLiteral("Line in the link history"), this);
    m_history->setChecked(settings.historyLine);
    m_runCommand = new QCheckBox(
        QStringLiteral("Run a program (arguments: value, unit, above/below)"), this);
    m_runCommand->setChecked(settings.runCommand);
    m_program = new QLineEdit(settings.program, this);
    m_program->setObjectName(QStringLiteral("program"));
    m_program->setPlaceholderText(QStringLiteral("/path/to/program"));
    m_problem = new QLabel(this);
    m_problem->setStyleSheet(QStringLiteral("color: #b00000"));

    auto *form = new QFormLayout;
    form->addRow(m_enabled);
    form->addRow(QStringLiteral("Lower limit"), m_lower);
    form->addRow(QStringLiteral("Upper limit"), m_upper);
    form->addRow(QStringLiteral("Unit"), m_unit);
    form->addRow(QStringLiteral("Hysteresis"), m_hysteresis);
    form->addRow(m_beep);
    form->addRow(m_history);
    form->addRow(m_runCommand);
    form->addRow(QStringLiteral("Program"), m_program);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &AlarmDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &AlarmDialog::reject);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(m_problem);
    layout->addWidget(buttons);
}

std::optional<AlarmSettings> AlarmDialog::entered()
{
    AlarmSettings s;
    s.enabled = m_enabled->isChecked();
    const auto read = [this](QLineEdit *field, const QString &name, std::optional<double> &out) {
        const QString text = field->text().trimmed();
        if (text.isEmpty())
            return true;
        out = ReadingStatistics::number(text, m_separator);
        if (!out)
            m_problem->setText(QStringLiteral("The %1 is not a number.").arg(name));
        return out.has_value();
    };
    std::optional<double> hysteresis;
    if (!read(m_lower, QStringLiteral("lower limit"), s.lower)
        || !read(m_upper, QStringLiteral("upper limit"), s.upper)
        || !read(m_hysteresis, QStringLiteral("hysteresis"), hysteresis))
        return std::nullopt;
    if (s.lower && s.upper && *s.lower > *s.upper) {
        m_problem->setText(QStringLiteral("The lower limit is above the upper limit."));
        return std::nullopt;
    }
    s.hysteresis = hysteresis.value_or(0);
    if (s.hysteresis < 0) {
        m_problem->setText(QStringLiteral("The hysteresis cannot be negative."));
        return std::nullopt;
    }
    s.unit = m_unit->currentText().trimmed();
    s.beep = m_beep->isChecked();
    s.historyLine = m_history->isChecked();
    s.runCommand = m_runCommand->isChecked();
    s.program = m_program->text().trimmed();
    m_problem->clear();
    return s;
}

void AlarmDialog::accept()
{
    if (entered())
        QDialog::accept();
}
