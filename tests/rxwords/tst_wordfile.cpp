// The parameter file: what a technician may write in it, and what is refused before anything
// is sent.
#include "wordfile.h"

#include <QTest>

using namespace rxwords;

class TestWordFile : public QObject {
    Q_OBJECT
  private slots:
    void parse_data();
    void parse();
};

void TestWordFile::parse_data() {
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<QString>("parsed"); // "M150=300 E28=1", or "error at LINE"
    QTest::newRow("words of both spaces, any case")
        << QStringList{"M150=300", "e28=1", "m0=65535"} << "M150=300 E28=1 M0=65535";
    QTest::newRow("comments, blanks, CR LF and spaces")
        << QStringList{"# rxmem 1.0.0", "", "  M21 = 7\r", "\t# E1=2"} << "M21=7";
    QTest::newRow("leading zeros") << QStringList{"M021=00042"} << "M21=42";
    QTest::newRow("no equals sign") << QStringList{"# x", "M150 300"} << "error at 2";
    QTest::newRow("word beyond 255") << QStringList{"M256=1"} << "error at 1";
    QTest::newRow("other space letter") << QStringList{"X15=1"} << "error at 1";
    QTest::newRow("value beyond 65535") << QStringList{"M21=1", "M22=65536"} << "error at 2";
    QTest::newRow("negative value") << QStringList{"M21=-1"} << "error at 1";
    QTest::newRow("value with text") << QStringList{"M21=12abc"} << "error at 1";
    QTest::newRow("empty value") << QStringList{"M21="} << "error at 1";
    QTest::newRow("word given twice") << QStringList{"M21=1", "E21=2", "m21=3"} << "error at 3";
}

void TestWordFile::parse() {
    QFETCH(QStringList, lines);
    QFETCH(QString, parsed);
    const ParseResult r = parseAssignments(lines);
    QStringList got;
    for (const Assignment& a : r.items)
        got << wordName(a.word) + '=' + QString::number(a.value);
    if (r.error) {
        QVERIFY(r.items.empty()); // nothing of a bad file is ever sent
        QVERIFY(!r.error->reason.isEmpty());
        got = QStringList{QStringLiteral("error at %1").arg(r.error->line)};
    }
    QCOMPARE(got.join(' '), parsed);
}

QTEST_MAIN(TestWordFile)
#include "tst_wordfile.moc"
