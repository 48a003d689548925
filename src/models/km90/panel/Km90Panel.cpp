// SPDX-License-Identifier: MIT
#include "models/km90/panel/Km90Panel.h"

#include <array>

namespace {

using E = Km90Element;
using namespace LcdLookNames;

constexpr int memoryGroup = 0; // Panel5
constexpr int mainGroup = 1;
constexpr int voltageGroup = 2; // Panel8
constexpr int currentGroup = 3; // Panel6

constexpr std::array<LcdGroup, 4> groups { {
    { "Panel5", QRect(8, 40, 97, 41) },
    { nullptr, QRect(8, 88, 281, 97) },
    { "Panel8", QRect(8, 208, 131, 63) },
    { "Panel6", QRect(173, 192, 137, 81) },
} };

constexpr LcdTextLook<E> text {};
constexpr LcdPictureLook<E> picture {};

// Positions are left, top, width, height relative to the element's group.
// Word and symbol texts are bold (except the colon); digit-font sizes are
// character heights.
constexpr std::array<LcdElementLook, km90ElementCount> looks { {
    picture(E::danger, onPanel, QRect(20, 12, 21, 29), LcdPicture::Lightning),
    text(E::Labcal, onPanel, QRect(64, 12, 39, 24), Word, 20),
    text(E::rsUSB, onPanel, QRect(120, 12, 40, 22), Word, 19),
    text(E::LCDHold, onPanel, QRect(184, -3, 19, 39), Digit, 35),
    picture(E::RST, onPanel, QRect(232, 8, 32, 32), LcdPicture::Reset),
    picture(E::power, onPanel, QRect(288, 4, 32, 29), LcdPicture::Battery),
    text(E::Labmr, onPanel, QRect(104, 44, 25, 19), Word, 16),
    text(E::Labclr, onPanel, QRect(104, 60, 34, 19), Word, 16),
    text(E::ol1, onPanel, QRect(152, 56, 30, 22), Symbol, 20),
    text(E::ol2, onPanel, QRect(192, 56, 37, 22), Symbol, 20),
    text(E::ol3, onPanel, QRect(236, 56, 32, 21), Symbol, 19),
    text(E::wsg, onPanel, QRect(284, 56, 35, 22), Symbol, 20),
    text(E::Lab0, onPanel, QRect(292, 84, 13, 37), Word, 32),
    text(E::hz, onPanel, QRect(305, 97, 23, 22), Word, 19),
    text(E::PEAK, onPanel, QRect(293, 116, 53, 22), Word, 19),
    text(E::kvar, onPanel, QRect(288, 136, 52, 22), Word, 19),
    text(E::kwh, onPanel, QRect(292, 157, 43, 22), Word, 19),
    text(E::LcdAuto, onPanel, QRect(8, 190, 58, 21), Symbol, 19),
    text(E::Labmax, onPanel, QRect(68, 188, 43, 24), Word, 20),
    text(E::Labmin, onPanel, QRect(116, 188, 36, 24), Word, 20),
    text(E::KW, onPanel, QRect(144, 218, 20, 15), Word, 12),
    text(E::PEAK2, onPanel, QRect(140, 232, 30, 15), Word, 12),
    text(E::KVA, onPanel, QRect(144, 245, 24, 15), Word, 12),
    text(E::THD, onPanel, QRect(313, 218, 32, 15), Word, 12),
    text(E::PEAK1, onPanel, QRect(310, 232, 38, 15), Word, 12),
    text(E::kvar1, onPanel, QRect(312, 245, 28, 15), Word, 12),
    text(E::LabFUL, memoryGroup, QRect(8, 4, 27, 16), Word, 14),
    text(E::labMEM, memoryGroup, QRect(0, 20, 35, 16), Word, 14),
    text(E::stor1, memoryGroup, QRect(46, -8, 18, 53), Digit, 48),
    text(E::stor2, memoryGroup, QRect(66, -8, 18, 53), Digit, 48),
    picture(E::AC, mainGroup, QRect(0, 15, 33, 25), LcdPicture::AcWave),
    text(E::LabelF, mainGroup, QRect(4, -4, 28, 107), Digit, 96),
    text(E::LabelA, mainGroup, QRect(44, -24, 48, 142), Digit, 127),
    text(E::Point1, mainGroup, QRect(92, 28, 12, 72), Digit, 64),
    text(E::LabelB, mainGroup, QRect(104, -24, 48, 142), Digit, 127),
    text(E::Point2, mainGroup, QRect(152, 28, 12, 72), Digit, 64),
    text(E::LabelC, mainGroup, QRect(164, -24, 48, 142), Digit, 127),
    text(E::Point3, mainGroup, QRect(212, 28, 12, 72), Digit, 64),
    text(E::LabelD, mainGroup, QRect(224, -24, 48, 142), Digit, 127),
    text(E::cos_dis, mainGroup, QRect(0, 64, 31, 19), Word, 16),
    picture(E::Image1, mainGroup, QRect(32, 69, 17, 20), LcdPicture::Phi),
    picture(E::AC1, voltageGroup, QRect(0, 6, 25, 25), LcdPicture::AcWave),
    text(E::labelff, voltageGroup, QRect(5, 1, 17, 49), Digit, 56),
    text(E::LCDAA, voltageGroup, QRect(25, 0, 21, 63), Digit, 56),
    text(E::point11, voltageGroup, QRect(45, 8, 9, 53), Digit, 48, Right),
    text(E::LCDBB, voltageGroup, QRect(53, 0, 21, 63), Digit, 56),
    text(E::point22, voltageGroup, QRect(73, 6, 9, 53), Digit, 48, Right),
    text(E::LCDCC, voltageGroup, QRect(82, 0, 21, 63), Digit, 56),
    text(E::point33, voltageGroup, QRect(102, 8, 9, 53), Digit, 48, Right),
    text(E::LCDDD, voltageGroup, QRect(110, 0, 21, 63), Digit, 56),
    text(E::Labtime, currentGroup, QRect(8, -4, 122, 22), Word, 19),
    picture(E::AC2, currentGroup, QRect(1, 23, 24, 25), LcdPicture::AcWave),
    text(E::T_LabelF, currentGroup, QRect(8, 20, 17, 63), Digit, 56),
    text(E::H_Time1, currentGroup, QRect(25, 17, 21, 63), Digit, 56),
    text(E::T_Point1, currentGroup, QRect(45, 20, 9, 53), Digit, 48, Right),
    text(E::H_Time2, currentGroup, QRect(53, 17, 21, 63), Digit, 56),
    text(E::T_Point2, currentGroup, QRect(74, 20, 9, 53), Digit, 48, Right),
    text(E::T_dPoint1, currentGroup, QRect(71, 24, 13, 53), Symbol, 48, Regular),
    text(E::M_Time1, currentGroup, QRect(83, 17, 21, 63), Digit, 56),
    text(E::T_Point3, currentGroup, QRect(104, 20, 9, 53), Digit, 48, Right),
    text(E::M_Time2, currentGroup, QRect(113, 17, 21, 63), Digit, 56),
} };
static_assert(lcdLooksMatch(looks, km90ElementCount, int(groups.size())),
    "one look per KM90 element, in element order");

constexpr LcdPanelLook panelLook { "Panel40", QRect(4, 36, 357, 275), 0xFFFFFFFF, 2, 2, groups,
    looks };

} // namespace

const LcdPanelLook &km90PanelLook()
{
    return panelLook;
}

Km90Panel::Km90Panel(const LcdDisplayState &display, QWidget *parent)
    : LcdPanelOf(panelLook, km90Elements, display, "Km90Panel needs a KM90 display state", parent)
{ }
