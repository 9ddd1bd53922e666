// The RX-200 tables: what each pending write code becomes, and which button writes what.
#include "rx200model.h"

#include <QTest>

#include <set>

using namespace calcore;
using namespace rxline;

class TestRx200Model : public QObject {
    Q_OBJECT
  private slots:
    void everyCodeIsMappedOrDropped();
    void requestsUseTheirOwnEntryAndCode();
};

void TestRx200Model::everyCodeIsMappedOrDropped() {
    const std::set<int> memory{17, 18, 19, 36};
    const std::set<int> eeprom{28, 29, 70, 71, 72, 73, 74, 76, 77, 78,
                               79, 80, 81, 82, 83, 84, 85, 86, 87};
    const auto& table = rx200::model().dispatch;
    for (int c = 0; c < 256; ++c) {
        const WriteAction a = table[std::size_t(c)];
        QVERIFY2(a.kind != WriteAction::Drop || a.word == 0, qPrintable(QString::number(c)));
        if (memory.count(c)) {
            QCOMPARE(int(a.kind), int(WriteAction::Memory));
            QCOMPARE(int(a.word), c);
        } else if (eeprom.count(c)) {
            QCOMPARE(int(a.kind), int(WriteAction::Eeprom));
            QCOMPARE(int(a.word), c);
        } else if (c == 61 || c == 62) {
            QCOMPARE(int(a.kind), int(WriteAction::Memory));
            QCOMPARE(int(a.word), c - 34); // 61 writes M27, 62 writes M28
        } else if (c >= 66 && c <= 69) {
            QCOMPARE(int(a.kind), int(WriteAction::Clock));
            QCOMPARE(int(a.word), c);
        } else {
            QVERIFY2(a.kind == WriteAction::Drop, qPrintable(QString("code %1").arg(c)));
        }
    }
}

void TestRx200Model::requestsUseTheirOwnEntryAndCode() {
    // No two buttons share an entry box or a code: a mix-up would write one value to another word.
    std::set<int> codes;
    std::set<std::string> entries;
    for (const auto& r : rx200::model().requests) {
        QVERIFY2(codes.insert(r.code).second, r.button);
        QVERIFY2(entries.insert(r.entry).second, r.entry);
    }
    QCOMPARE(int(codes.size()), 25);
}

QTEST_APPLESS_MAIN(TestRx200Model)
#include "tst_rx200_model.moc"
