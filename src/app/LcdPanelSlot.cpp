// SPDX-License-Identifier: MIT
#include "LcdPanelSlot.h"

#include <QFrame>
#include <QLabel>
#include <QVBoxLayout>

// The meters' LCD panels are not part of the build yet: until they are, the
// place shows a plain panel of the right size. Swapping one in is a change of
// the return statement below.
QWidget *createLcdPanel(const DeliverableTraits &traits, FrameDecoder &, QWidget *parent)
{
    auto *panel = new QFrame(parent);
    panel->setObjectName(traits.lcdPanelName);
    panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    panel->setLineWidth(2);
    panel->setAutoFillBackground(true);
    QPalette p = panel->palette();
    p.setColor(QPalette::Window, QColor(0xC8, 0xD8, 0xC0));
    panel->setPalette(p);
    auto *layout = new QVBoxLayout(panel);
    auto *label = new QLabel(QStringLiteral("%1 display").arg(traits.programName), panel);
    label->setAlignment(Qt::AlignCenter);
    layout->addWidget(label);
    return panel;
}
