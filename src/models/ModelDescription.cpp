// SPDX-License-Identifier: MIT
#include "models/ModelDescription.h"

#include "models/km50_60/Km50Model.h"
#include "models/km90/Km90Model.h"

const DialLegend *ModelDescription::dialLegend(QStringView dialKey) const
{
    for (const DialLegend &legend : dialLegends) {
        if (legend.dialKey == dialKey)
            return &legend;
    }
    return nullptr;
}

const ModelDescription &modelDescription(MeterModel model)
{
    switch (model) {
    case MeterModel::Km90:
        return km90Model();
    case MeterModel::Km50_60:
        return km50Model();
    }
    Q_UNREACHABLE();
}

QList<const ModelDescription *> meterModels()
{
    return { &km90Model(), &km50Model() };
}

const ModelDescription *findMeterModel(QStringView name)
{
    for (const ModelDescription *m : meterModels()) {
        if (m->name == name)
            return m;
    }
    return nullptr;
}
