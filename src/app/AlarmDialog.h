// SPDX-License-Identifier: MIT
#pragma once

#include "analysis/ThresholdAlarm.h"

#include <QDialog>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;

// "Tools -> Alarms...": the threshold alarm's settings. A limit left empty is
// no limit; numbers take the full stop or the program's decimal separator.
// OK is refused, with the reason shown, for a limit that is not a number, a
// lower limit above the upper one or a negative hysteresis.
class AlarmDialog : public QDialog
{
    Q_OBJECT
public:
    AlarmDialog(const AlarmSettings &settings, const QStringList &units,
        const QString &decimalSeparator, QWidget *parent = nullptr);

    // The settings as entered; nullopt (with the reason shown) when they are not valid.
    std::optional<AlarmSettings> entered();

    void accept() override;

private:
    QString m_separator;
    QCheckBox *m_enabled = nullptr;
    QLineEdit *m_lower = nullptr;
    QLineEdit *m_upper = nullptr;
    QComboBox *m_unit = nullptr;
    QLineEdit *m_hysteresis = nullptr;
    QCheckBox *m_beep = nullptr;
    QCheckBox *m_history = nullptr;
    QCheckBox *m_runCommand = nullptr;
    QLineEdit *m_program = nullptr;
    QLabel *m_problem = nullptr;
};
