// The models this build has, as rows of a data-driven test: (model, simulator model name).
#pragma once

#include "allmodels.h"

#include <QTest>

Q_DECLARE_METATYPE(const calcore::Model*)

inline void addModelRows() {
    QTest::addColumn<const calcore::Model*>("model");
    QTest::addColumn<QString>("sim");
    for (const auto& [sim, model] : availableModels())
        QTest::newRow(qPrintable(sim)) << model << sim;
}
