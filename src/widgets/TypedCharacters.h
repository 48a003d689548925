// SPDX-License-Identifier: MIT
#pragma once

#include <QString>
#include <QStringView>

class QLineEdit;

// Fields that take only some characters (the digits of the page-size and the
// sampling-interval fields). Only typed and pasted characters are filtered:
// editing keys (Delete, Backspace, arrows), selection and the usual shortcuts
// (Ctrl+A, Ctrl+C, Ctrl+V, Ctrl+Z) work as in any field.

using CharacterRule = bool (*)(QChar);

// Whether a key press types its text into a field: it carries printable text
// and neither Control nor Meta is held (those make it a shortcut).
bool keyTypesText(Qt::KeyboardModifiers modifiers, const QString &text);

// The characters of text that the rule lets through, in order.
QString keptCharacters(QStringView text, CharacterRule allowed);

// Makes a field take only the characters the rule allows: a typed character
// it refuses does not reach the field, and pasted or dropped text loses those
// characters on the way in.
void takeOnlyCharacters(QLineEdit *field, CharacterRule allowed);
