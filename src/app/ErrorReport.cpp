// SPDX-License-Identifier: MIT
#include "app/ErrorReport.h"

namespace ErrorReport {

QString applicationTitle()
{
    return QStringLiteral(" ");
}

QString boxText(const QString &message)
{
    if (!message.isEmpty() && message.back() > u'.')
        return message + u'.';
    return message;
}

} // namespace ErrorReport
