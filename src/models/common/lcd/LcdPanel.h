// SPDX-License-Identifier: MIT
#pragma once

#include "models/common/LcdDisplayState.h"
#include "models/common/lcd/LcdLook.h"

#include <QRect>
#include <QRectF>
#include <QString>
#include <QWidget>

#include <span>
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

    // Returns state when its elements are the given element table itself (not a
    // copy of it); throws std::invalid_argument with refusal otherwise.
    static const LcdDisplayState &requireElements(const LcdDisplayState &state,
        std::span<const LcdElementInfo> elements, const char *refusal);

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

// The panel of one meter, whose display state is over that meter's element
// table: its elements can be named by the meter's element enum.
template<typename Element>
class LcdPanelOf : public LcdPanel
{
public:
    using LcdPanel::elementRect;
    using LcdPanel::glyphRect;
    QRect elementRect(Element element) const { return elementRect(int(element)); }
    QRectF glyphRect(Element element) const { return glyphRect(int(element)); }

protected:
    // Throws std::invalid_argument with refusal when the state is not over the
    // element table.
    LcdPanelOf(const LcdPanelLook &look, std::span<const LcdElementInfo> elements,
        const LcdDisplayState &state, const char *refusal, QWidget *parent)
        : LcdPanel(look, requireElements(state, elements, refusal), parent)
    { }
};
