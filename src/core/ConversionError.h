// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

#include <stdexcept>

// Raised by a decoder when a frame character or a value text that it reads as a
// number is not one. The frame is abandoned at that step; the link catches this
// and goes on with the next frame.
class ConversionError : public std::runtime_error
{
public:
    explicit ConversionError(const QString &message)
        : std::runtime_error(message.toStdString())
    { }
    QString message() const { return QString::fromUtf8(what()); }
};
