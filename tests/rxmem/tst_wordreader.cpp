// The rule a backup's values are taken by, on a link whose controller the test scripts reply by
// reply: a value only from replies of its own word that agree, and a stricter lead once the line
// has changed a reply.
#include "fakelink.h"
#include "wordreader.h"

#include <QTest>

#include <map>

using namespace rxmem;

class TestWordReader : public QObject {
    Q_OBJECT
  private slots:
    void rule_data();
    void rule();
};

void TestWordReader::rule_data() {
    QTest::addColumn<QStringList>("m21"); // M21's replies in turn, over and over
    QTest::addColumn<QStringList>("m22");
    QTest::addColumn<QString>("result"); // the values taken, or the failure
    QTest::addColumn<QString>("reads");  // the read frames, "21 21 22 22"
    const QStringList five{"M215\r"}, seven{"M227\r"};
    QTest::newRow("two agreeing replies each") << five << seven << "M21=5 M22=7"
                                               << "21 21 22 22";
    QTest::newRow("a changed value: four more, and the word before is read again")
        << five << QStringList{"M227\r", "M228\r", "M227\r", "M227\r", "M227\r", "M227\r"}
        << "M21=5 M22=7"
        << "21 21 22 22 21 21 22 22 22 22";
    QTest::newRow("once the line changed a reply, two changed alike are not enough")
        << QStringList{"M215\r", "M216\r", "M219\r", "M219\r", "M215\r",
                       "M215\r", "M215\r", "M215\r", "M215\r", "M215\r"}
        << seven << "M21=5 M22=7" << QString("21 ").repeated(10) + "22 22 22 22";
    QTest::newRow("garbled, over-long and too big: the line changes replies")
        << QStringList{"M21x5\r", "M21123456\r", "M2170000\r", "M215\r",
                       "M215\r",  "M215\r",      "M215\r"}
        << seven << "M21=5 M22=7"
        << "21 21 21 21 21 21 21 22 22 22 22";
    QTest::newRow("another word's line is no reply")
        << QStringList{"M1505\r"} << seven << "no reply from M21 after 6 reads"
        << "21 21 21 21 21 21";
    QTest::newRow("replies lost after the word answered are no silence")
        << QStringList{"", "", "", "", "M215\r", ""} << seven << "M21=5 M22=7"
        << QString("21 ").repeated(11) + "22 22";
    QStringList once{"M215\r"};
    for (int i = 0; i < 23; ++i)
        once << "";
    QTest::newRow("one reply, then silence: too few replies")
        << once << seven << "few M21 (1 of 24)" << QString("21 ").repeated(24).trimmed();
    QTest::newRow("well-formed values that keep changing: a live value")
        << QStringList{"M215\r", "M216\r", "M217\r", "M216\r"} << seven
        << "live M21 (5, 6, 7) after 24 reads" << QString("21 ").repeated(24).trimmed();
    QTest::newRow("changing values with a garbled one: garbled")
        << QStringList{"M215\r", "M216\r", "M21x\r"} << seven << "garbled M21 after 24 reads"
        << QString("21 ").repeated(24).trimmed();
}

void TestWordReader::rule() {
    QFETCH(QStringList, m21);
    QFETCH(QStringList, m22);
    QFETCH(QString, result);
    QFETCH(QString, reads);
    std::map<int, std::pair<QStringList, int>> script{{21, {m21, 0}}, {22, {m22, 0}}};
    FakeLink link;
    link.answer = [&](rxline::Space, std::uint8_t word) -> std::optional<QByteArray> {
        auto& [replies, next] = script[word];
        const QString reply = replies[next++ % replies.size()];
        if (reply.isEmpty()) return std::nullopt;
        return reply.toLatin1();
    };
    link.open(QStringLiteral("COM1"));
    LineTrust trust;
    WordReader reader(link, trust);
    QString got;
    reader.read(
        {{rxline::Space::Memory, 21}, {rxline::Space::Memory, 22}}, {}, [] { return true; },
        [&](const WordReader::Result& r) {
            const QString word = rxwords::wordName(r.failedWord);
            const QString reads = QString::number(r.reads);
            QStringList seen;
            for (const auto v : r.seen)
                seen << QString::number(v);
            switch (r.failure) {
            case WordReader::Failure::NoReply:
                got = QStringLiteral("no reply from %1 after %2 reads").arg(word, reads);
                break;
            case WordReader::Failure::Garbled:
                got = QStringLiteral("garbled %1 after %2 reads").arg(word, reads);
                break;
            case WordReader::Failure::Live:
                got =
                    QStringLiteral("live %1 (%2) after %3 reads").arg(word, seen.join(", "), reads);
                break;
            case WordReader::Failure::FewReplies:
                got = QStringLiteral("few %1 (%2 of %3)")
                          .arg(word, QString::number(r.replies), reads);
                break;
            case WordReader::Failure::None:
                got = QStringLiteral("M21=%1 M22=%2")
                          .arg(QString::number(r.values[0]), QString::number(r.values[1]));
                break;
            }
        });
    link.run();
    QCOMPARE(got, result);
    QStringList frames;
    for (const auto& f : link.frames)
        frames << QString::number(quint8(f.bytes[2]));
    QCOMPARE(frames.join(' '), reads);
}

QTEST_GUILESS_MAIN(TestWordReader)
#include "tst_wordreader.moc"
