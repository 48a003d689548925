// SPDX-License-Identifier: MIT
#pragma once

#include "core/MeterModel.h"
#include "gauge/GaugeDial.h"
#include "gauge/GaugeScale.h"

#include <QFrame>
#include <QImage>

// The gauge panel KD: a white panel with a lowered inner bevel, holding the
// dial image KD1 (KDsetup) and the needle on it (KDrun).
//
// The dial is kept apart from the needle and the needle is drawn over a copy
// of it, so moving the needle never wipes pieces of the arc or the legends.
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
    // The picture KD1 as it shows now: dial and needle.
    QImage picture() const;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    MeterModel m_model;
    GaugeDial m_dial;
    GaugeScale m_scale;
    QImage m_dialImage;
    GaugeDial::Needle m_needle;
    int m_position = 0;
    bool m_needleDrawn = false;
};
