// SPDX-License-Identifier: MIT
#include "models/ModelPanels.h"

#include "models/km50_60/panel/Km50Panel.h"
#include "models/km90/panel/Km90Panel.h"

LcdPanel *createLcdPanel(MeterModel model, const LcdDisplayState &state, QWidget *parent)
{
    switch (model) {
    case MeterModel::Km90:
        return new Km90Panel(state, parent);
    case MeterModel::Km50_60:
        return new Km50Panel(state, parent);
    }
    Q_UNREACHABLE();
}
