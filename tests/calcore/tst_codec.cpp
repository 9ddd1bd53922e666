// Frames, the cut of a value out of a reply, entry values and clock digits.
#include "codec.h"

#include <QTest>

using namespace rxline;

namespace {
QByteArray bs(std::initializer_list<char> list) {
    return QByteArray(list.begin(), qsizetype(list.size()));
}
} // namespace

Q_DECLARE_METATYPE(std::string)

namespace {
QByteArray bytes(const auto& frame) {
    return QByteArray(reinterpret_cast<const char*>(frame.data()), qsizetype(frame.size()));
}
} // namespace

class TestCodec : public QObject {
    Q_OBJECT
  private slots:
    void frames_data();
    void frames();
    void cut_data();
    void cut();
    void entry_data();
    void entry();
    void bytesOfEntry_data();
    void bytesOfEntry();
    void clockDigits_data();
    void clockDigits();
    void shift();
    void flagText_data();
    void flagText();
    void display();
};

void TestCodec::frames_data() {
    QTest::addColumn<QByteArray>("frame");
    QTest::addColumn<QByteArray>("expected");
    const QList<int> words{0, 9, 10, 13, 255};
    for (int w : words) {
        const auto a = char(w);
        const auto tag = QByteArray::number(w);
        QTest::newRow(("RM " + tag).constData())
            << bytes(readFrame(Space::Memory, quint8(w))) << bs({'R', 'M', a, '\r'});
        QTest::newRow(("RE " + tag).constData())
            << bytes(readFrame(Space::Eeprom, quint8(w))) << bs({'R', 'E', a, '\r'});
        QTest::newRow(("WM " + tag).constData())
            << bytes(writeFrame(Space::Memory, quint8(w), 0x0D, 0x0D))
            << bs({'W', 'M', a, '\r', '\r', '\r'});
        QTest::newRow(("WE " + tag).constData())
            << bytes(writeFrame(Space::Eeprom, quint8(w), 0x01, 0x2C))
            << bs({'W', 'E', a, 0x01, 0x2C, '\r'});
    }
}

void TestCodec::frames() {
    QFETCH(QByteArray, frame);
    QFETCH(QByteArray, expected);
    QCOMPARE(frame.toHex(' '), expected.toHex(' '));
}

void TestCodec::cut_data() {
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<char>("tag");
    QTest::addColumn<int>("word");
    QTest::addColumn<QByteArray>("value"); // the calibration tools' cut; "-" when not taken
    QTest::addColumn<int>("kind");         // the one parse every program reads a line with
    using K = ReplyKind;
    QTest::newRow("E9 from position 3")
        << QByteArray("E9321\r") << 'E' << 9 << QByteArray("321\r") << int(K::Value);
    QTest::newRow("E10 from position 4")
        << QByteArray("E10321\r") << 'E' << 10 << QByteArray("321\r") << int(K::Value);
    QTest::newRow("five digits") << QByteArray("E7012345\r") << 'E' << 70 << QByteArray("12345")
                                 << int(K::Value);
    QTest::newRow("six digits: over-long, the tools cut five")
        << QByteArray("M21123456\r") << 'M' << 21 << QByteArray("12345") << int(K::Overlong);
    QTest::newRow("a letter in the value")
        << QByteArray("M211x3\r") << 'M' << 21 << QByteArray("1x3\r") << int(K::Garbled);
    QTest::newRow("just the echo and CR")
        << QByteArray("E70\r") << 'E' << 70 << QByteArray("\r") << int(K::Garbled);
    QTest::newRow("M100, three digits")
        << QByteArray("M100500\r") << 'M' << 100 << QByteArray("500\r") << int(K::Value);
    QTest::newRow("other tag") << QByteArray("M7012345\r") << 'E' << 70 << QByteArray("-")
                               << int(K::Other);
    QTest::newRow("the neighbour's line")
        << QByteArray("E281\r") << 'E' << 74 << QByteArray("-") << int(K::Other);
    QTest::newRow("a shorter number")
        << QByteArray("E5\r") << 'E' << 50 << QByteArray("-") << int(K::Other);
    QTest::newRow("noise") << QByteArray("\x93\r") << 'E' << 74 << QByteArray("-") << int(K::Other);
    QTest::newRow("empty line") << QByteArray("\r") << 'M' << 15 << QByteArray("-")
                                << int(K::Other);
    QTest::newRow("no CR yet") << QByteArray("M15123") << 'M' << 15 << QByteArray("-")
                               << int(K::Other);
    // No separator: the read of 7 and the read of 70 both take this line, each its own way.
    QTest::newRow("E7 value 0123")
        << QByteArray("E70123\r") << 'E' << 7 << QByteArray("0123\r") << int(K::Value);
    QTest::newRow("E70 value 123")
        << QByteArray("E70123\r") << 'E' << 70 << QByteArray("123\r") << int(K::Value);
}

void TestCodec::cut() {
    QFETCH(QByteArray, line);
    QFETCH(char, tag);
    QFETCH(int, word);
    QFETCH(QByteArray, value);
    QFETCH(int, kind);
    const std::string_view text(line.constData(), size_t(line.size()));
    const auto got = replyValue(text, tag, quint8(word));
    QCOMPARE(QByteArray::fromStdString(got.value_or("-")), value);
    QCOMPARE(int(parseReply(text, tag, word).kind), kind);
}

void TestCodec::entry_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("fits");
    QTest::addColumn<int>("value");
    QTest::newRow("12.5 to even") << "12.5" << true << 12;
    QTest::newRow("13.5 to even") << "13.5" << true << 14;
    QTest::newRow("12.51 up") << "12.51" << true << 13;
    QTest::newRow("12.49 down") << "12.49" << true << 12;
    QTest::newRow("-1") << "-1" << true << -1;
    QTest::newRow("-2.5 to even") << "-2.5" << true << -2;
    QTest::newRow("70000") << "70000" << true << 70000;
    QTest::newRow("abc") << "abc" << true << 0;
    QTest::newRow("empty") << "" << true << 0;
    QTest::newRow("blanks, then 42xyz") << "  42xyz" << true << 42;
    QTest::newRow("blanks inside") << "1 000" << true << 1000;
    QTest::newRow("plus sign") << "+7" << true << 7;
    QTest::newRow("fraction only") << ".6" << true << 1;
    QTest::newRow("stops at second point") << "1.2.9" << true << 1;
    QTest::newRow("largest") << "2147483647" << true << 2147483647;
    QTest::newRow("smallest") << "-2147483648" << true << int(-2147483647 - 1);
    QTest::newRow("rounds past the top") << "2147483647.5" << false << 0;
    QTest::newRow("just too big") << "2147483648" << false << 0;
    QTest::newRow("just too small") << "-2147483649" << false << 0;
    QTest::newRow("huge") << "99999999999999999999999" << false << 0;
}

void TestCodec::entry() {
    QFETCH(QString, text);
    QFETCH(bool, fits);
    QFETCH(int, value);
    const auto v = entryValue(text.toStdString());
    QCOMPARE(v.has_value(), fits);
    if (fits) QCOMPARE(*v, value);
}

void TestCodec::bytesOfEntry_data() {
    QTest::addColumn<int>("value");
    QTest::addColumn<int>("hi");
    QTest::addColumn<int>("lo");
    QTest::newRow("300") << 300 << 0x01 << 0x2C;
    QTest::newRow("1000") << 1000 << 0x03 << 0xE8;
    QTest::newRow("-1") << -1 << 0xFF << 0xFF;
    QTest::newRow("70000 keeps low 16 bits") << 70000 << 0x11 << 0x70;
    QTest::newRow("65536") << 65536 << 0x00 << 0x00;
}

void TestCodec::bytesOfEntry() {
    QFETCH(int, value);
    QFETCH(int, hi);
    QFETCH(int, lo);
    const auto b = splitValue(value);
    QCOMPARE(int(b.hi), hi);
    QCOMPARE(int(b.lo), lo);
}

void TestCodec::clockDigits_data() {
    QTest::addColumn<QString>("entry");
    QTest::addColumn<int>("bcd");
    QTest::newRow("07") << "07" << 0x07;
    QTest::newRow("5 is tens") << "5" << 0x50;
    QTest::newRow("a9") << "a9" << 0x09;
    QTest::newRow("14") << "14" << 0x14;
    QTest::newRow("59 and more") << "593" << 0x59;
    QTest::newRow("empty") << "" << 0x00;
    QTest::newRow("blank first") << " 4" << 0x04;
    QTest::newRow("two-byte letter first") << QStringLiteral("é5") << 0x05;
    QTest::newRow("digit, then a letter") << QStringLiteral("3ü7") << 0x30;
}

void TestCodec::clockDigits() {
    QFETCH(QString, entry);
    QFETCH(int, bcd);
    QCOMPARE(int(clockBcd(entry.toStdString())), bcd);
}

void TestCodec::shift() {
    QCOMPARE(LShiftLong(5, 4), 0x50);
    QCOMPARE(LShiftLong(1, 31), int(0x80000000u));
    QCOMPARE(LShiftLong(0x40000001, 2), 4); // bits out at the top are lost
    QCOMPARE(LShiftLong(-1, 0), -1);
}

void TestCodec::flagText_data() {
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<bool>("one");
    QTest::newRow("1") << QByteArray("1") << true;
    QTest::newRow("00001") << QByteArray("00001") << true;
    QTest::newRow("1 CR") << QByteArray("1\r") << true;
    QTest::newRow("0") << QByteArray("0") << false;
    QTest::newRow("2") << QByteArray("2") << false;
    QTest::newRow("10") << QByteArray("10") << false;
    QTest::newRow("11") << QByteArray("11") << false;
    QTest::newRow("empty") << QByteArray() << false;
    QTest::newRow("CR only") << QByteArray("\r") << false;
    QTest::newRow("garbage") << QByteArray("1?x") << false;
}

void TestCodec::flagText() {
    QFETCH(QByteArray, text);
    QFETCH(bool, one);
    QCOMPARE(readsAsOne(text.toStdString()), one);
}

void TestCodec::display() {
    QCOMPARE(displayText("123\r"), std::string("123"));
    QCOMPARE(displayText("12\r\n3"), std::string("123"));
    QCOMPARE(displayText("00042"), std::string("00042"));
}

QTEST_APPLESS_MAIN(TestCodec)
#include "tst_codec.moc"
