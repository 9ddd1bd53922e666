// The calibration models, by the simulator's name for each ("rx200", ...), for the programs and
// tests that serve every tool at once.
#pragma once

#include "model.h"
#include "rx100model.h"
#include "rx200model.h"
#include "rx300model.h"

#include <QList>
#include <QPair>
#include <QString>

inline QList<QPair<QString, const calcore::Model*>> availableModels() {
    return {{"rx200", &rx200::model()}, {"rx100", &rx100::model()}, {"rx300", &rx300::model()}};
}

inline const calcore::Model* modelNamed(const QString& name) {
    for (const auto& [sim, model] : availableModels())
        if (sim == name) return model;
    return nullptr;
}
