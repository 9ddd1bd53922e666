// rxmem against simulated controllers, through the real serial path: a backup restored onto
// another controller compares equal, bad input sends nothing, a word that never answers ends
// with status 3 and no file, and a missing port is said so.
#include "framelog.h"
#include "simprocess.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

namespace {

struct Run {
    int status = -1;
    QString out;
    QString err;
};

Run rxmem(const QString& comDir, const QStringList& args) {
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("RX_COM_DIR", comDir);
    env.insert("LC_ALL", "C.UTF-8");
    env.insert("LANGUAGE", "en");
    p.setProcessEnvironment(env);
    p.start(RXMEM_PROGRAM, QStringList{"--quiet"} + args);
    if (!p.waitForFinished(60000)) return {};
    return {p.exitCode(), QString::fromUtf8(p.readAllStandardOutput()),
            QString::fromUtf8(p.readAllStandardError())};
}

// The frames the controller took, as "RM150", "WE2", ...
QStringList framesOf(const QString& logPath) {
    QStringList names;
    for (const auto& f : rxsim::FrameLog(logPath.toStdString()).rxFrames())
        names << QString::fromLatin1(reinterpret_cast<const char*>(f.data()), 2) +
                     QString::number(f.size() > 2 ? f[2] : 0);
    return names;
}

} // namespace

class TestRxmem : public QObject {
    Q_OBJECT
  private slots:
    void commands_data();
    void commands();
    void backupRestoredOntoAnotherController();
};

void TestRxmem::commands_data() {
    QTest::addColumn<QStringList>("simulator"); // options of the controller on COM1
    QTest::addColumn<QByteArray>("file");       // written to FILE before the run
    QTest::addColumn<QStringList>("args");      // FILE stands for that file
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("said");   // a line of the output or the error output
    QTest::addColumn<QString>("frames"); // what the controller took, in short, or "" for none
    const QStringList plain{"--no-pace"};
    QTest::newRow("read") << plain << QByteArray() << QStringList{"read", "m150", "E28"} << 0
                          << "M150=3\nE28=1\n"
                          << "RM150 RE28";
    QTest::newRow("write reads back, M36 with E16")
        << plain << QByteArray() << QStringList{"write", "M36=700", "M100=5"} << 0
        << "2 words written, 2 verified"
        << "WM36 WE16 WM100 RM36 RM100";
    QTest::newRow("one word written") << plain << QByteArray() << QStringList{"write", "M21=4"} << 0
                                      << "1 word written, 1 verified"
                                      << "WM21 RM21";
    for (const auto& [name, text] :
         QList<QPair<QString, QByteArray>>{{"bad line", "M21=1\nM22 2\n"},
                                           {"unknown word", "M21=1\nQ5=2\n"},
                                           {"value too big", "M21=70000\n"},
                                           {"word twice", "M21=1\nM21=2\n"},
                                           {"no word at all", "# only a comment\n"}})
        QTest::newRow(qPrintable("load, " + name))
            << plain << text << QStringList{"load", "FILE"} << 2 << "FILE:"
            << "";
    QTest::newRow("write, bad value")
        << plain << QByteArray() << QStringList{"write", "M21=1", "M22=x"} << 2 << "M22=x"
        << "";
    QTest::newRow("muted word: no file")
        << QStringList{"--no-pace", "--mute", "M150"} << QByteArray("# older\nM21=1\n")
        << QStringList{"save", "FILE"} << 3 << "M150 on port COM1 (3 tries)"
        << "";
    QTest::newRow("muted word, no older file")
        << QStringList{"--no-pace", "--mute", "E74"} << QByteArray()
        << QStringList{"save", "--model", "rx300", "FILE"} << 3 << "E74 on port COM1"
        << "";
    QTest::newRow("missing port") << plain << QByteArray()
                                  << QStringList{"--port", "COM9", "read", "M1"} << 3
                                  << "cannot open port COM9"
                                  << "";
}

void TestRxmem::commands() {
    QFETCH(QStringList, simulator);
    QFETCH(QByteArray, file);
    QFETCH(QStringList, args);
    QFETCH(int, status);
    QFETCH(QString, said);
    QFETCH(QString, frames);
    QTemporaryDir dir;
    SimProcess controller(dir.path(), simulator);
    QVERIFY(controller.start());
    const QString path = dir.filePath("words.txt");
    if (!file.isEmpty()) {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(file);
    }
    args.replaceInStrings(QRegularExpression("^FILE$"), path);
    const Run run = rxmem(dir.path(), args);
    QCOMPARE(run.status, status);
    QVERIFY2((run.out + run.err).contains(QString(said).replace("FILE", path)),
             qPrintable(run.out + run.err));
    const QStringList took = framesOf(controller.log());
    if (frames.isEmpty() && status != 3) {
        QCOMPARE(took, QStringList()); // bad input: not one byte
    } else if (!frames.isEmpty()) {
        QCOMPARE(took.join(' '), frames);
    }
    if (file.isEmpty() && status != 0) {
        QVERIFY(!QFile::exists(path));
    } else if (!file.isEmpty()) {
        // A failed save leaves the older file as it was.
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), file);
    }
}

void TestRxmem::backupRestoredOntoAnotherController() {
    QTemporaryDir first, second;
    SimProcess a(first.path(), {"--no-pace"});
    SimProcess b(second.path(), {"--no-pace", "--set", "M21=9,M36=1234,M150=300,M240=7"});
    QVERIFY(a.start());
    QVERIFY(b.start());
    const QString backup = first.filePath("backup.txt");
    QCOMPARE(rxmem(first.path(), {"save", backup}).status, 0);

    const Run before = rxmem(second.path(), {"diff", backup});
    QCOMPARE(before.status, 1);
    QVERIFY2(before.out.contains("M150: file 3, controller 300"), qPrintable(before.out));

    const Run load = rxmem(second.path(), {"load", backup});
    QCOMPARE(load.status, 0);
    QCOMPARE(load.out, QString("180 words written, 180 verified\n"));
    // M22 and M36 to M59 take their EEPROM twin with them.
    QCOMPARE(framesOf(b.log()).filter(QRegularExpression("^W")).size(), 180 + 25);
    const Run after = rxmem(second.path(), {"diff", backup});
    QCOMPARE(after.status, 0);
    QCOMPARE(after.out, QString("180 words compared, no difference\n"));
}

QTEST_MAIN(TestRxmem)
#include "tst_rxmem_e2e.moc"
