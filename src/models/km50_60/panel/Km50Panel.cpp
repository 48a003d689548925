// SPDX-License-Identifier: MIT
#include "models/km50_60/panel/Km50Panel.h"

#include <array>

namespace {

using E = Km50Element;
using namespace LcdLookNames;

constexpr int memoryPanel = 0; // Panel5
constexpr int secondaryPanel = 1; // Panel6
constexpr int mainPanel = 2;

constexpr std::array<LcdGroup, 3> groups { {
    { "Panel5", QRect(16, 28, 69, 61) },
    { "Panel6", QRect(140, 28, 137, 69) },
    { nullptr, QRect(16, 120, 253, 97) },
} };

constexpr LcdTextLook<E> text {};
constexpr LcdPictureLook<E> picture {};

// Positions are left, top, width, height relative to the element's panel.
// Word and symbol texts are bold; digit-font sizes are character heights.
constexpr std::array<LcdElementLook, km50ElementCount> looks { {
    text(E::LCDHold, onPanel, QRect(8, -4, 19, 39), Digit, 35),
    text(E::LcdAuto, onPanel, QRect(36, 8, 58, 21), Symbol, 19),
    text(E::ol1, onPanel, QRect(96, 8, 30, 22), Symbol, 20),
    text(E::ol2, onPanel, QRect(128, 8, 37, 22), Symbol, 20),
    text(E::ol3, onPanel, QRect(172, 8, 32, 21), Symbol, 19),
    text(E::rsUSB, onPanel, QRect(216, 8, 40, 22), Word, 19),
    text(E::wsg, onPanel, QRect(260, 8, 35, 22), Symbol, 20, OwnBackground),
    picture(E::power, onPanel, QRect(296, 4, 32, 29), LcdPicture::Battery),
    text(E::dc1, onPanel, QRect(104, 45, 27, 22), Word, 19),
    text(E::freq, onPanel, QRect(88, 73, 53, 22), Word, 19),
    text(E::f1, onPanel, QRect(283, 41, 16, 23), Digit, 21, OwnBackground),
    text(E::Lab0, onPanel, QRect(292, 36, 14, 36), Digit, 32),
    text(E::pg, onPanel, QRect(304, 60, 23, 19), Word, 16),
    text(E::kvar1, onPanel, QRect(288, 75, 39, 19), Word, 16),
    text(E::Labmr, onPanel, QRect(24, 100, 31, 24), Word, 20),
    text(E::Labclr, onPanel, QRect(64, 100, 40, 24), Word, 20),
    text(E::Labcal, onPanel, QRect(112, 100, 39, 24), Word, 20),
    text(E::Labtemp, onPanel, QRect(160, 100, 56, 24), Word, 20),
    text(E::Labmax, onPanel, QRect(228, 100, 43, 24), Word, 20),
    text(E::Labmin, onPanel, QRect(284, 100, 36, 24), Word, 20),
    text(E::c, onPanel, QRect(284, 129, 19, 27), Digit, 24),
    text(E::pf, onPanel, QRect(280, 153, 27, 24), Word, 21),
    text(E::kwh, onPanel, QRect(276, 173, 43, 22), Word, 19),
    text(E::kvar, onPanel, QRect(272, 192, 52, 22), Word, 19),
    text(E::labMEM, memoryPanel, QRect(6, 4, 35, 16), Word, 14),
    text(E::LabFUL, memoryPanel, QRect(42, 4, 27, 16), Word, 14, OwnBackground),
    text(E::stor1, memoryPanel, QRect(12, 16, 18, 53), Digit, 48),
    text(E::stor2, memoryPanel, QRect(32, 16, 18, 53), Digit, 48),
    text(E::Labtime, secondaryPanel, QRect(23, 4, 101, 19), Word, 16),
    text(E::T_LabelF, secondaryPanel, QRect(0, 11, 17, 63), Digit, 56),
    text(E::H_Time1, secondaryPanel, QRect(16, 12, 21, 63), Digit, 56),
    text(E::T_Point1, secondaryPanel, QRect(37, 20, 9, 53), Symbol, 48, Right),
    text(E::H_Time2, secondaryPanel, QRect(45, 12, 21, 63), Digit, 56),
    text(E::T_Point2, secondaryPanel, QRect(65, 18, 13, 55), Symbol, 48, Right),
    text(E::M_Time1, secondaryPanel, QRect(80, 12, 21, 63), Digit, 56),
    text(E::T_Point3, secondaryPanel, QRect(101, 20, 9, 53), Symbol, 48, Right),
    text(E::M_Time2, secondaryPanel, QRect(112, 12, 21, 63), Digit, 56),
    text(E::LabelF, mainPanel, QRect(12, -4, 28, 107), Digit, 96),
    text(E::labac, mainPanel, QRect(8, 20, 27, 24), Word, 20),
    picture(E::danger, mainPanel, QRect(4, 68, 13, 21), LcdPicture::Lightning),
    text(E::LabelA, mainPanel, QRect(52, -8, 40, 120), Digit, 107),
    text(E::Point1, mainPanel, QRect(92, 28, 12, 72), Symbol, 64),
    text(E::LabelB, mainPanel, QRect(104, -8, 40, 120), Digit, 107),
    text(E::Point2, mainPanel, QRect(144, 28, 12, 72), Symbol, 64),
    text(E::LabelC, mainPanel, QRect(156, -8, 40, 120), Digit, 107),
    text(E::Point3, mainPanel, QRect(196, 28, 12, 72), Symbol, 64),
    text(E::LabelD, mainPanel, QRect(208, -8, 40, 120), Digit, 107),
} };
static_assert(lcdLooksMatch(looks, km50ElementCount, int(groups.size())),
    "one look per KM50/KM60 element, in element order");

constexpr LcdPanelLook panelLook { "Panel4", QRect(4, 32, 337, 229), 0xFFE8E8E8, 2, 2, groups,
    looks };

} // namespace

const LcdPanelLook &km50PanelLook()
{
    return panelLook;
}

Km50Panel::Km50Panel(const LcdDisplayState &display, QWidget *parent)
    : LcdPanelOf(
        panelLook, km50Elements, display, "Km50Panel needs a KM50/KM60 display state", parent)
{ }
