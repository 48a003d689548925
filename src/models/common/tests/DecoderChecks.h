// SPDX-License-Identifier: MIT
#pragma once

// What the decoder tests of both meters share: frames written as fields, a call
// log that shows the Value the recorder sees, and the display state read back
// as short texts.

#include "core/ConversionError.h"
#include "core/CurrentReading.h"
#include "models/common/LcdDisplayState.h"
#include "models/common/RecordingOutputs.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <initializer_list>

namespace DecoderChecks {

// Logs the calls like RecordingOutputs and adds the Value that the recording
// test and INDataToTable see at the moment they are called: the recorder must
// get the final text ("OL" included).
class ValueLoggingOutputs : public RecordingOutputs
{
public:
    explicit ValueLoggingOutputs(const CurrentReading &reading)
        : m_reading(reading)
    { }
    bool RecordingTest() override
    {
        const bool pass = RecordingOutputs::RecordingTest();
        calls.last() += QStringLiteral(" Value=") + m_reading.Value;
        return pass;
    }
    void INDataToTable(int mode) override
    {
        RecordingOutputs::INDataToTable(mode);
        calls.last() += QStringLiteral(" Value=") + m_reading.Value;
    }

private:
    const CurrentReading &m_reading;
};

// A frame from its fields separated by blanks, with "DA" appended. A whole
// frame (length characters ending in "DA") is taken as it is.
inline QString frameFromFields(const QString &fields, int length)
{
    if (fields.size() == length && fields.endsWith(u"DA"))
        return fields;
    return QString(fields).remove(u' ') + QStringLiteral("DA");
}

// Decodes the frames a case starts from, written as fields; a leading "!"
// marks a frame that must fail with ConversionError. Empty when every frame did
// as marked, else which one did not.
template<typename Decoder>
QString decodeEach(Decoder &decoder, const QStringList &frames, int length)
{
    for (const QString &entry : frames) {
        const bool mustFail = entry.startsWith(u'!');
        const QString frame = frameFromFields(mustFail ? entry.mid(1) : entry, length);
        bool failed = false;
        try {
            decoder.ShowData50(frame);
        } catch (const ConversionError &) {
            failed = true;
        }
        if (failed != mustFail)
            return frame + (mustFail ? QStringLiteral(" was decoded") : QStringLiteral(" failed"));
    }
    return QString();
}

// The texts of digit elements in a row, "_" for an empty one.
template<typename Element>
QString digitTexts(const LcdDisplay<Element> &display, std::initializer_list<Element> elements)
{
    QString out;
    for (Element e : elements)
        out += display.text(e).isEmpty() ? QStringLiteral("_") : display.text(e);
    return out;
}

// The visible elements other than the digits, sorted by name; "name=text" where
// the text is not the start-up text.
template<typename Element>
QStringList shownElements(const LcdDisplay<Element> &display, const QList<Element> &digits)
{
    QStringList shown;
    for (int i = 0; i < display.count(); ++i) {
        if (!display.isVisible(i) || digits.contains(Element(i)))
            continue;
        QString entry = display.name(i);
        const LcdElementInfo &info = display.info(i);
        if (info.hasText && display.text(i) != QString::fromUtf16(info.startText))
            entry += u'=' + display.text(i);
        shown << entry;
    }
    shown.sort();
    return shown;
}

} // namespace DecoderChecks
