// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

// What the page-size field applies once its text has stayed unchanged for the
// delay: a text that is not a decimal whole number fitting in 32 bits, or is 0 or
// less, falls back to "100"; with rewriteDecimal (KM90) the text is then written
// in plain decimal form, so "0050" becomes "50".
struct PageSizeEntry
{
    QString text; // the field's text afterwards
    qint32 pageSize = 100; // always at least 1
};

PageSizeEntry resolvePageSizeEntry(const QString &text, bool rewriteDecimal);

// The characters the page-size field takes, typed or pasted: the digits 0 to 9
// (and Backspace's character). Editing keys and shortcuts (Delete, arrows,
// Ctrl+A) are not typed characters and are not affected.
bool isPageSizeKey(QChar typed);
