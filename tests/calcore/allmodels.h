// The models this build has, as rows of a data-driven test: (model, simulator model name).
#pragma once

#include "model.h"

#include <QTest>

#if RX_HAVE_RX200
#include "rx200model.h"
#endif
#if RX_HAVE_RX100
#include "rx100model.h"
#endif
#if RX_HAVE_RX300
#include "rx300model.h"
#endif

Q_DECLARE_METATYPE(const calcore::Model*)

// (simulator model name, model), for every model of this build.
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

inline void addModelRows() {
    QTest::addColumn<const calcore::Model*>("model");
    QTest::addColumn<QString>("sim");
    for (const auto& [sim, model] : availableModels())
        QTest::newRow(qPrintable(sim)) << model << sim;
}
