// The calibration models this build has, by the simulator's name for each ("rx200", ...), for
// the programs and tests that serve every tool at once.
#pragma once

#include "model.h"

#include <QList>
#include <QPair>
#include <QString>

#if RX_HAVE_RX200
#include "rx200model.h"
#endif
#if RX_HAVE_RX100
#include "rx100model.h"
#endif
#if RX_HAVE_RX300
#include "rx300model.h"
#endif

inline QList<QPair<QString, const calcore::Model*>> availableModels() {
    QList<QPair<QString, const calcore::Model*>> models;
#if RX_HAVE_RX200
    models.append({"rx200", &rx200::model()});
#endif
#if RX_HAVE_RX100
    models.append({"rx100", &rx100::model()});
#endif
#if RX_HAVE_RX300
    models.append({"rx300", &rx300::model()});
#endif
    return models;
}

inline const calcore::Model* modelNamed(const QString& name) {
    for (const auto& [sim, model] : availableModels())
        if (sim == name) return model;
    return nullptr;
}
