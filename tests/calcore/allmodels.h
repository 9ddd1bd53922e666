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

inline void addModelRows() {
    QTest::addColumn<const calcore::Model*>("model");
    QTest::addColumn<QString>("sim");
#if RX_HAVE_RX200
    QTest::newRow("rx200") << &rx200::model() << "rx200";
#endif
#if RX_HAVE_RX100
    QTest::newRow("rx100") << &rx100::model() << "rx100";
#endif
#if RX_HAVE_RX300
    QTest::newRow("rx300") << &rx300::model() << "rx300";
#endif
}
