// Splits one slow test program into CTest entries that run side by side: with RX_TEST_SHARD
// set to "k/n", a test row runs only in the entry whose k is its place in the run modulo n, so
// every row runs in exactly one entry. Call from init():
//   if (!inThisShard()) QSKIP("runs in another shard");
#pragma once

#include <QByteArray>
#include <QList>
#include <QtGlobal>

inline bool inThisShard() {
    static int next = 0;
    const QList<QByteArray> shard = qgetenv("RX_TEST_SHARD").split('/');
    const int place = next++;
    if (shard.size() != 2) return true;
    const int n = shard[1].toInt();
    return n <= 0 || place % n == shard[0].toInt();
}
