// SPDX-License-Identifier: MIT
#pragma once

#include "models/common/LcdDisplayState.h"
#include "models/common/lcd/LcdLook.h"

#include <QRect>
#include <QRectF>
#include <QString>
#include <QWidget>

#include <vector>

// An emulated meter LCD: draws every visible element of a display state with
// its look (segment digits, marks, words, pictures) on the panel colour.
//
// The panel paints what it took at the last refresh(), never the live state,
// so the steps a decoder goes through within one frame cannot reach the
// screen. The window calls refresh() once after each frame; it schedules a
// single repaint covering only the elements whose visibility or visible text
// changed, and none at all when nothing changed.
class LcdPanel : public QWidget
{
    Q_OBJECT
public:
    // The look and the state must outlive the panel. Throws std::invalid_argument
    // when the look does not describe the state's elements.
    LcdPanel(const LcdPanelLook &look, const LcdDisplayState &state, QWidget *parent = nullptr);

    const LcdPanelLook &look() const { return m_look; }
    const LcdDisplayState &state() const { return m_state; }

    // Takes the display state as it is now and schedules the repaint it needs.
    void refresh();

    // The part of an element's rectangle that can show, in panel coordinates
    // (cut off at its group's edges).
    QRect elementRect(int index) const;
    // Where a digit-font element draws its character (the cell from the cap
    // line to the baseline), in panel coordinates; the element rectangle for
    // the other kinds.
    QRectF glyphRect(int index) const;

    QSize sizeHint() const override { return m_look.geometry.size(); }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QRect boxOf(int index) const; // element rectangle in panel coordinates
    QRect clipOf(int index) const; // group (or panel) rectangle in panel coordinates
    QRect paintBoundsOf(int index) const;
    void paintElement(QPainter &painter, int index, const QRect &dirty) const;
    void paintFrame(QPainter &painter) const;

    const LcdPanelLook m_look;
    const LcdDisplayState &m_state;
    std::vector<unsigned char> m_visible; // as last refreshed
    std::vector<QString> m_text;
};
