// SPDX-License-Identifier: MIT
#pragma once

#include "core/MeterModel.h"
#include "gauge/GaugeDial.h"
#include "gauge/GaugeScale.h"

#include <QFrame>
#include <QImage>

#include <future>

// The gauge panel KD: a white panel with a lowered inner bevel, holding the
// dial image KD1 (KDsetup) and the needle on it (KDrun).
//
// The dial is kept apart from the needle, and the needle is drawn over it on
// every paint, so moving the needle never wipes pieces of the arc or the
// legends and never redraws the dial. The dial is drawn at the screen's device
// pixel ratio (again when the window moves to a screen with another one), on a
// thread of its own: an image may be drawn on any thread, and the window goes
// on being built while the first dial is drawn (its legends load a font, its
// dots are stamped one by one). Whatever needs the dial waits for it.
class GaugeWidget : public QFrame
{
    Q_OBJECT
public:
    GaugeWidget(MeterModel model, QSize panelSize, QWidget *parent = nullptr);

    // Draws the dial of a scale and keeps the needle where it was.
    void KDsetup(const GaugeScale &scale);
    // Moves the needle to a position on 0 .. 10 * Step of the current scale.
    void KDrun(int position);

    int position() const { return m_position; }
    const GaugeDial::Needle &needle() const { return m_needle; }
    // The picture KD1 as it shows now: dial and needle, at the device pixel ratio.
    QImage picture() const;
    // The dial alone, as last drawn.
    const QImage &dialImage() const;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    void drawDialImage();

    MeterModel m_model;
    GaugeDial m_dial;
    GaugeScale m_scale;
    mutable QImage m_dialImage;
    mutable std::future<QImage> m_dialDrawing; // valid while a dial is drawn
    GaugeDial::Needle m_needle;
    int m_position = 0;
    bool m_needleDrawn = false;
};
