// SPDX-License-Identifier: MIT
#include "widgets/TypedCharacters.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QValidator>

namespace {

// Drops the refused characters of every change the user makes (a paste, a
// drop); the cursor stays after the same kept characters.
class CharacterValidator : public QValidator
{
public:
    CharacterValidator(CharacterRule allowed, QObject *parent)
        : QValidator(parent)
        , m_allowed(allowed)
    { }

    State validate(QString &input, int &position) const override
    {
        const QString kept = keptCharacters(input, m_allowed);
        if (kept.size() != input.size()) {
            position = int(keptCharacters(QStringView(input).first(position), m_allowed).size());
            input = kept;
        }
        return Acceptable;
    }

private:
    CharacterRule m_allowed;
};

// Keeps refused typed characters away from the field.
class KeyFilter : public QObject
{
public:
    KeyFilter(CharacterRule allowed, QObject *parent)
        : QObject(parent)
        , m_allowed(allowed)
    { }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::KeyPress) {
            const auto *key = static_cast<QKeyEvent *>(event);
            const QString text = key->text();
            if (keyTypesText(key->modifiers(), text) && keptCharacters(text, m_allowed) != text)
                return true;
        }
        return QObject::eventFilter(watched, event);
    }

private:
    CharacterRule m_allowed;
};

} // namespace

bool keyTypesText(Qt::KeyboardModifiers modifiers, const QString &text)
{
    if (text.isEmpty() || (modifiers & (Qt::ControlModifier | Qt::MetaModifier)))
        return false;
    for (QChar c : text) {
        if (!c.isPrint())
            return false;
    }
    return true;
}

QString keptCharacters(QStringView text, CharacterRule allowed)
{
    QString kept;
    kept.reserve(text.size());
    for (QChar c : text) {
        if (allowed(c))
            kept.append(c);
    }
    return kept;
}

void takeOnlyCharacters(QLineEdit *field, CharacterRule allowed)
{
    field->installEventFilter(new KeyFilter(allowed, field));
    field->setValidator(new CharacterValidator(allowed, field));
}
