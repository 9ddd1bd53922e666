// rxmem against simulated controllers, through the real serial path: reads take two agreeing
// replies, a load writes the file's words and no other and only what differs, bad input sends
// nothing, a silent word ends with status 3 and no file, a lost port and a signal end the
// command at a word's boundary and say how far it got.
#include "framelog.h"
#include "shard.h"
#include "simprocess.h"

#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <unistd.h>

namespace {

struct Run {
    int status = -1;
    QString out;
    QString err;
};

void prepare(QProcess& p, const QString& comDir) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("RX_COM_DIR", comDir);
    env.insert("LC_ALL", "C.UTF-8");
    env.insert("LANGUAGE", "en");
    p.setProcessEnvironment(env);
}

// Runs rxmem --quiet ARGS; an argument ">PATH" sends its standard output to PATH, ">&-" starts
// it with standard output closed, "ulimit-f" with a file size limit of 1 KiB (SIGXFSZ ignored,
// so a write past it fails as on a full disk).
Run rxmem(const QString& comDir, QStringList args) {
    QProcess p;
    prepare(p, comDir);
    const bool closed = args.removeAll(">&-") > 0;
    const bool limited = args.removeAll("ulimit-f") > 0;
    p.setChildProcessModifier([closed, limited] {
        if (closed) ::close(STDOUT_FILENO);
        if (limited) {
            ::signal(SIGXFSZ, SIG_IGN);
            const rlimit limit{1024, 1024};
            ::setrlimit(RLIMIT_FSIZE, &limit);
        }
    });
    for (const QString& a : args.filter(QRegularExpression("^>")))
        p.setStandardOutputFile(a.mid(1));
    args.removeIf([](const QString& a) { return a.startsWith('>'); });
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

bool writeFile(const QString& path, const QByteArray& text) {
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(text) == text.size();
}

// "M100=1\nM101=1\n..." for the memory words first..last.
QByteArray wordsFile(int first, int last, int value) {
    QByteArray text;
    for (int w = first; w <= last; ++w)
        text += "M" + QByteArray::number(w) + "=" + QByteArray::number(value) + "\n";
    return text;
}

} // namespace

class TestRxmem : public QObject {
    Q_OBJECT
  private slots:
    void init() {
        if (!inThisShard()) QSKIP("runs in another shard");
    }
    void commands_data();
    void commands();
    void modelBackupWritesOnlyItsWords();
    void lostPortEndsTheLoad();
    void signalEndsAtAWordsBoundary();
    void watch_data();
    void watch();
    void severalPorts_data();
    void severalPorts();
    void ports_data();
    void ports();
};

void TestRxmem::commands_data() {
    QTest::addColumn<QStringList>("simulator"); // options of the controller on COM1
    QTest::addColumn<QByteArray>("file");       // written to FILE before the run
    QTest::addColumn<QStringList>("args");      // FILE stands for that file
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("said");   // a line of the output or the error output
    QTest::addColumn<QString>("frames"); // what the controller took, in short; "" for nothing
    const QStringList plain{"--no-pace"};
    QTest::newRow("read: two agreeing replies each")
        << plain << QByteArray() << QStringList{"read", "m150", "E28"} << 0 << "M150=3\nE28=1\n"
        << "RM150 RM150 RE28 RE28";
    QTest::newRow("write the editor's words: M36 with E16, read back twins included")
        << plain << QByteArray() << QStringList{"write", "M36=700", "M100=5"} << 0
        << "2 words written, 2 verified"
        << "WM36 WE16 WM100 RM36 RM36 RE16 RE16 RM100 RM100";
    QTest::newRow("write other words: exactly those")
        << plain << QByteArray() << QStringList{"write", "E16=5", "M36=7"} << 0
        << "2 words written, 2 verified"
        << "WE16 WM36 RE16 RE16 RM36 RM36";
    QTest::newRow("load of what the controller holds: nothing written")
        << QStringList{"--no-pace", "--set", "E16=2000"} << QByteArray("M36=2000\nM150=3\n")
        << QStringList{"load", "FILE"} << 0 << "0 of 2 words differed: 0 written, 2 verified"
        << "RM36 RM36 RE16 RE16 RM150 RM150";
    QTest::newRow("load: a word goes with its twin when the twin differs")
        << plain << QByteArray("M36=2000\nM150=3\n") << QStringList{"load", "FILE"} << 0
        << "1 of 2 words differed: 1 written, 2 verified"
        << "RM36 RM36 RE16 RE16 RM150 RM150 WM36 WE16 RM36 RM36 RE16 RE16 RM150 RM150";
    QTest::newRow("load --all of a model's file: word by word, no twin")
        << plain << QByteArray("E28=1\nM36=2000\n") << QStringList{"load", "--all", "FILE"} << 0
        << "2 words written, 2 verified"
        << "WE28 WM36 RE28 RE28 RM36 RM36";
    const QList<QPair<QString, QByteArray>> badFiles{
        {"bad line", "M21=1\nM22 2\n"},
        {"unknown word", "M21=1\nQ5=2\n"},
        {"value too big", "M21=70000\n"},
        {"word twice", "M21=1\nM21=2\n"},
        {"no word at all", "# only a comment\n"},
        {"over 1 MiB", "#" + QByteArray(1 << 20, 'x') + "\n"}};
    for (const auto& [name, text] : badFiles)
        QTest::newRow(qPrintable("load, " + name))
            << plain << text << QStringList{"load", "FILE"} << 2 << "FILE"
            << "";
    QTest::newRow("load, junk is cut and escaped")
        << plain << QByteArray("M21=\x1b[2J" + QByteArray(80, '9')) << QStringList{"load", "FILE"}
        << 2 << "value \"\\x1b[2J" + QString(36, '9') + "...\""
        << "";
    QTest::newRow("write, bad value")
        << plain << QByteArray() << QStringList{"write", "M21=1", "M22=x"} << 2 << "M22=x"
        << "";
    QTest::newRow("write, an empty argument writes nothing")
        << plain << QByteArray() << QStringList{"write", ""} << 2 << "expected WORD=VALUE"
        << "";
    QTest::newRow("write, a comment writes nothing")
        << plain << QByteArray() << QStringList{"write", "#M21=5"} << 2 << "expected WORD=VALUE"
        << "";
    QTest::newRow("silent word: no file, the older one kept")
        << QStringList{"--no-pace", "--mute", "E70"} << QByteArray("# older\nM21=1\n")
        << QStringList{"save", "--model", "rx300", "FILE"} << 3
        << "no reply from the controller to the read of E70 on port COM1 (19200 bps, 6 reads); "
           "'rxmem ports' finds the port that answers"
        << "RE70 RE70 RE70 RE70 RE70 RE70";
    QTest::newRow("silent word, no older file")
        << QStringList{"--no-pace", "--mute", "E74"} << QByteArray()
        << QStringList{"save", "--model", "rx300", "FILE"} << 3
        << "E74 on port COM1 (19200 bps, 6 reads)"
        << "RE70 RE70 RE71 RE71 RE72 RE72 RE73 RE73 RE74 RE74 RE74 RE74 RE74 RE74";
    QTest::newRow("option after the command, missing port")
        << plain << QByteArray() << QStringList{"read", "M1", "--port", "COM9"} << 3
        << "cannot open port COM9"
        << "";
    QTest::newRow("output that cannot be written")
        << plain << QByteArray() << QStringList{"read", "M150", ">/dev/full"} << 2
        << "cannot write the output"
        << "RM150 RM150";
    QTest::newRow("closed standard output: an error, not a line lost")
        << plain << QByteArray() << QStringList{"read", "M150", ">&-"} << 2
        << "cannot write the output: Bad file descriptor"
        << "RM150 RM150";
    QTest::newRow("a save that does not fit: an error, the older file unchanged")
        << plain << QByteArray("# older\nM21=1\n") << QStringList{"save", "FILE", "ulimit-f"} << 2
        << "FILE: the file is larger than this session may write; nothing saved"
        << "*";
    QTest::newRow("a % in a file name stays a %")
        << plain << QByteArray("M21=1\nM22=x\n") << QStringList{"load", "FILE%1"} << 2
        << "FILE%1:2: value \"x\" is not a whole number from 0 to 65535"
        << "";
    // The command line, checked before any port opens.
    const QList<QPair<QStringList, QString>> usage{
        {{"--quiet=1", "read", "M1"}, "option --quiet takes no value"},
        {{"--help=x"}, "option --help takes no value"},
        {{"--port", "", "read", "M1"}, "option --port needs a value"},
        {{"load", ""}, "the file name is empty"},
        {{"load", "/"}, "/: this is a folder, not a file"},
        {{"--trace", "/", "read", "M1"}, "/: this is a folder, not a file"},
        {{"save", "/proc/x"}, "the folder /proc cannot be written"},
        {{"load", "/dev/zero"}, "larger than 1 MiB"},
        {{"save", "--port", "COM1", "--port", "COM2", "FILE"}, "save works on one port"},
        {{"load", "--model", "rx200", "FILE"}, "option --model does not go with load"},
        {{"re\x1b[2Jad", "M1"}, "unknown command re\\x1b[2Jad"},
        {{"--port", "COM1", "--port", "COM01", "read", "M1"},
         "--port COM1 and --port COM01 reach the same device"},
    };
    for (const auto& [args, said] : usage)
        QTest::newRow(qPrintable("usage: " + args.join(' ')))
            << plain << QByteArray() << args << 2 << said << "";
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
    // "FILE%1": the file is named words.txt%1.
    const QString path = dir.filePath(args.contains("FILE%1") ? "words.txt%1" : "words.txt");
    if (!file.isEmpty()) QVERIFY(writeFile(path, file));
    args.replaceInStrings(QRegularExpression("^FILE(%1)?$"), path);
    const Run run = rxmem(dir.path(), args);
    QCOMPARE(run.status, status);
    QVERIFY2(
        (run.out + run.err).contains(QString(said).replace(QRegularExpression("FILE(%1)?"), path)),
        qPrintable(run.out + run.err));
    if (frames != "*") QCOMPARE(framesOf(controller.log()).join(' '), frames);
    // No temporary file is left beside the file.
    QCOMPARE(QDir(dir.path()).entryList({"words.txt.*"}, QDir::Files), QStringList());
    if (file.isEmpty() && status != 0) {
        QVERIFY(!QFile::exists(path));
    } else if (!file.isEmpty()) {
        // A failed save leaves the older file as it was.
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), file);
    }
}

void TestRxmem::modelBackupWritesOnlyItsWords() {
    QTemporaryDir first, second;
    SimProcess a(first.path(), {"--no-pace"});
    SimProcess b(second.path(), {"--no-pace", "--set", "M36=1234,E70=99,E28=0"});
    QVERIFY(a.start());
    QVERIFY(b.start());
    const QString backup = first.filePath("backup.txt");
    QCOMPARE(rxmem(first.path(), {"save", "--model", "rx200", backup}).status, 0);
    QFile f(backup);
    QVERIFY(f.open(QIODevice::ReadOnly));
    QStringList inFile;
    for (const QByteArray& line : f.readAll().split('\n'))
        if (!line.isEmpty() && !line.startsWith('#')) inFile << line.left(line.indexOf('='));

    const Run load = rxmem(second.path(), {"load", backup});
    QCOMPARE(load.status, 0);
    QCOMPARE(load.out,
             QString("3 of %1 words differed: 3 written, %1 verified\n").arg(inFile.size()));
    const QStringList writes = framesOf(b.log()).filter(QRegularExpression("^W"));
    QCOMPARE(writes.join(' '), QString("WE70 WM36 WE28")); // in the file's order, nothing else
    for (const QString& w : writes)
        QVERIFY2(inFile.contains(w.mid(1)), qPrintable(w));
    QCOMPARE(rxmem(second.path(), {"diff", backup}).status, 0);
}

void TestRxmem::lostPortEndsTheLoad() {
    // 30 words with 100 ms after each: the port goes away under the load, and comes back.
    QTemporaryDir dir;
    const QString file = dir.filePath("words.txt");
    QVERIFY(writeFile(file, wordsFile(100, 129, 7)));
    auto first = std::make_unique<SimProcess>(dir.path(), QStringList{"--no-pace"});
    QVERIFY(first->start());
    QProcess p;
    prepare(p, dir.path());
    p.start(RXMEM_PROGRAM, {"--quiet", "load", "--all", file});
    QTRY_VERIFY_WITH_TIMEOUT(framesOf(first->log()).size() >= 10, 20000);
    first->stop();
    const int reached = int(framesOf(first->log()).size());
    SimProcess second(dir.path() + "/back", {"--no-pace"});
    QVERIFY(QDir(dir.path()).mkpath("back"));
    // The same name leads to a controller again, as when the adapter is plugged back in.
    QVERIFY(second.start());
    QVERIFY(QFile::link(dir.path() + "/back/COM1", dir.path() + "/COM1"));
    // rxmem may have ended while the second simulator started: waitForFinished() is false then.
    QVERIFY(p.state() == QProcess::NotRunning || p.waitForFinished(20000));
    QCOMPARE(p.exitCode(), 3);
    const QString err = QString::fromUtf8(p.readAllStandardError());
    QVERIFY2(err.contains("the port COM1 went away: cable or adapter unplugged?"), qPrintable(err));
    const QRegularExpression count(
        "port COM1 lost after (\\d+) of 30 words \\(last written M(\\d+)");
    const auto m = count.match(err);
    QVERIFY2(m.hasMatch(), qPrintable(err));
    // Every word counted reached the first controller; the one under way may have.
    const int told = m.captured(1).toInt();
    QVERIFY2(told == reached || told == reached - 1, qPrintable(err));
    QCOMPARE(m.captured(2).toInt(), 99 + told);
    // Nothing after the loss, even with the port back: the link never opened it again.
    QCOMPARE(framesOf(second.log()), QStringList());
}

void TestRxmem::signalEndsAtAWordsBoundary() {
    // The editor's words M36..M59: each goes with its twin, 200 ms a word.
    QTemporaryDir dir;
    const QString file = dir.filePath("words.txt");
    QVERIFY(writeFile(file, wordsFile(36, 59, 9)));
    SimProcess controller(dir.path(), {"--no-pace"});
    QVERIFY(controller.start());
    QProcess p;
    prepare(p, dir.path());
    p.start(RXMEM_PROGRAM, {"--quiet", "load", "--all", file});
    QTRY_VERIFY_WITH_TIMEOUT(framesOf(controller.log()).size() >= 5, 20000);
    ::kill(pid_t(p.processId()), SIGINT);
    QVERIFY(p.waitForFinished(20000));
    QCOMPARE(p.exitCode(), 130);
    const QString err = QString::fromUtf8(p.readAllStandardError());
    const auto m = QRegularExpression("stopped by SIGINT after (\\d+) of 24 words \\(last written "
                                      "(M\\d+)\\)")
                       .match(err);
    QVERIFY2(m.hasMatch(), qPrintable(err));
    // Each word that went out took its twin along; the count is of those words.
    const QStringList took = framesOf(controller.log());
    QStringList pairs;
    for (int w = 36; w < 36 + m.captured(1).toInt(); ++w)
        pairs << QString("WM%1 WE%2").arg(w).arg(w - 20);
    QCOMPARE(took.join(' '), pairs.join(' '));
    QCOMPARE(m.captured(2), QString("M%1").arg(35 + m.captured(1).toInt()));
}

void TestRxmem::watch_data() {
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("event");  // what happens once two rows are out
    QTest::addColumn<QString>("header"); // the CSV header
    QTest::addColumn<QString>("cells");  // every row's cells after the time, joined by ';'
    // M151 is muted: its cells stay empty.
    QTest::newRow("a count, a muted word gives empty cells")
        << QStringList{"--count", "3", "M150", "E28", "m151"} << ""
        << "time,M150,E28,M151"
        << "^(3,1,;){3}$";
    QTest::newRow("Ctrl-C ends after a whole row") << QStringList{"M150"} << "SIGINT"
                                                   << "time,M150"
                                                   << "^(3;){2,}$";
    QTest::newRow("a lost port gives empty rows at the interval, then values again")
        << QStringList{"--interval", "100", "M150"} << "lose"
        << "time,M150"
        << "^(3;){2,}(;){2,}(3;){2,}$";
}

void TestRxmem::watch() {
    QFETCH(QStringList, args);
    QFETCH(QString, event);
    QFETCH(QString, header);
    QFETCH(QString, cells);
    QTemporaryDir dir;
    auto controller =
        std::make_unique<SimProcess>(dir.path(), QStringList{"--no-pace", "--mute", "M151"});
    QVERIFY(controller->start());
    QProcess p;
    prepare(p, dir.path());
    p.start(RXMEM_PROGRAM, QStringList{"watch"} + args);
    QByteArray out;
    const auto rows = [&] {
        out += p.readAllStandardOutput();
        return out.count('\n') - 1;
    };
    QTRY_VERIFY_WITH_TIMEOUT(rows() >= 2 || p.state() == QProcess::NotRunning, 10000);
    if (event == "SIGINT") {
        ::kill(pid_t(p.processId()), SIGINT);
    } else if (event == "lose") {
        controller.reset(); // the simulator ends: the port goes away
        const qsizetype before = rows();
        QTRY_VERIFY_WITH_TIMEOUT(rows() >= before + 2, 10000);
        controller = std::make_unique<SimProcess>(dir.path(), QStringList{"--no-pace"});
        QVERIFY(controller->start());
        QTRY_VERIFY_WITH_TIMEOUT(rows() >= before + 6 &&
                                     QRegularExpression(",3\n[^\n]+,3\n$").match(out).hasMatch(),
                                 10000);
        ::kill(pid_t(p.processId()), SIGTERM);
    }
    QVERIFY(p.waitForFinished(10000));
    QCOMPARE(p.exitCode(), 0);
    rows();
    QStringList lines = QString::fromLatin1(out).split('\n');
    QCOMPARE(lines.takeLast(), QString()); // the last row is whole
    QCOMPARE(lines.takeFirst(), header);
    QStringList got;
    for (const QString& line : lines) {
        const auto m =
            QRegularExpression("^\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d\\.\\d{3},(.*)$")
                .match(line);
        QVERIFY2(m.hasMatch(), qPrintable(line));
        got << m.captured(1) + ';';
    }
    QVERIFY2(QRegularExpression(cells).match(got.join("")).hasMatch(), qPrintable(got.join("")));
    if (event == "lose") {
        const QString err = QString::fromUtf8(p.readAllStandardError());
        QVERIFY2(err.contains("went away") && err.contains("the port COM1 is back"),
                 qPrintable(err));
    }
}

void TestRxmem::severalPorts_data() {
    QTest::addColumn<QStringList>("ports"); // "-COMn": no controller behind it
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("summary");
    QTest::newRow("all succeed") << QStringList{"COM2", "COM3"} << 0
                                 << "2 controllers: 2 done, 0 failed";
    QTest::newRow("the middle one missing")
        << QStringList{"COM2", "-COM3", "COM4"} << 3
        << "3 controllers: 2 done, 1 failed (COM3: the port does not exist on this computer";
}

void TestRxmem::severalPorts() {
    QFETCH(QStringList, ports);
    QFETCH(int, status);
    QFETCH(QString, summary);
    QTemporaryDir dir;
    const QString file = dir.filePath("words.txt");
    QVERIFY(writeFile(file, "M150=300\nE28=0\n"));
    std::vector<std::unique_ptr<QTemporaryDir>> dirs;
    std::vector<std::unique_ptr<SimProcess>> sims;
    QStringList args{"load", file};
    for (const QString& port : ports) {
        const QString name = port.startsWith('-') ? port.mid(1) : port;
        args << "--port" << name;
        if (port.startsWith('-')) continue;
        dirs.push_back(std::make_unique<QTemporaryDir>());
        sims.push_back(std::make_unique<SimProcess>(dirs.back()->path(), QStringList{"--no-pace"}));
        QVERIFY(sims.back()->start());
        QVERIFY(QFile::link(dirs.back()->path() + "/COM1", dir.filePath(name)));
    }
    const Run run = rxmem(dir.path(), args);
    QCOMPARE(run.status, status);
    // Every line is whole and names its port; each controller got the file.
    const QStringList lines = (run.out + run.err).split('\n', Qt::SkipEmptyParts);
    for (const QString& line : lines)
        QVERIFY2(QRegularExpression("^(COM\\d: |\\d controllers: )").match(line).hasMatch(),
                 qPrintable(line));
    QVERIFY2(lines.last().startsWith(summary), qPrintable(lines.last()));
    for (std::size_t i = 0; i < sims.size(); ++i)
        QCOMPARE(framesOf(sims[i]->log()).filter(QRegularExpression("^W")).join(' '),
                 QString("WM150 WE28"));
}

void TestRxmem::ports_data() {
    // Each port of the folder as NAME:KIND; KIND answering, silent (rxsim --silent), held (open
    // and locked by this test, as another program holds it) or missing (a link to nowhere).
    QTest::addColumn<QStringList>("ports");
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("status");
    QTest::addColumn<QStringList>("lines"); // patterns of the lines of our ports, in order
    QTest::newRow("every kind, every port")
        << QStringList{"COM1:silent", "COM2:answering", "COM3:held", "COM4:missing"}
        << QStringList{"ports"} << 0
        << QStringList{"COM1 .* silent", "COM2 .* a controller answers \\(E28=\\d+\\)",
                       "COM3 .* in use by another program",
                       "COM4 .* cannot be opened \\(No such file or directory\\)"};
    QTest::newRow("--port: only those named, none answers")
        << QStringList{"COM1:answering", "COM2:silent", "COM3:missing"}
        << QStringList{"ports", "--port", "COM3", "--port", "COM2"} << 1
        << QStringList{"COM3 .* cannot be opened .*", "COM2 .* silent"};
    QTest::newRow("an operand is a usage error")
        << QStringList{"COM1:answering"} << QStringList{"ports", "COM1"} << 2 << QStringList{};
}

void TestRxmem::ports() {
    QFETCH(QStringList, ports);
    QFETCH(QStringList, args);
    QFETCH(int, status);
    QFETCH(QStringList, lines);
    QTemporaryDir dir;
    std::vector<std::unique_ptr<QTemporaryDir>> dirs;
    std::vector<std::unique_ptr<SimProcess>> sims;
    std::vector<int> held;
    for (const QString& port : ports) {
        const QString name = port.section(':', 0, 0), kind = port.section(':', 1);
        if (kind == "missing") {
            QVERIFY(QFile::link(dir.filePath("nowhere"), dir.filePath(name)));
            continue;
        }
        dirs.push_back(std::make_unique<QTemporaryDir>());
        sims.push_back(std::make_unique<SimProcess>(
            dirs.back()->path(), kind == "silent" ? QStringList{"--silent"} : QStringList{}));
        QVERIFY(sims.back()->start());
        QVERIFY(QFile::link(dirs.back()->path() + "/COM1", dir.filePath(name)));
        if (kind != "held") continue;
        const int fd = ::open(QFile::encodeName(dir.filePath(name)).constData(),
                              O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        QVERIFY(fd >= 0 && ::flock(fd, LOCK_EX | LOCK_NB) == 0);
        held.push_back(fd);
    }
    const Run run = rxmem(dir.path(), args);
    for (int fd : held)
        ::close(fd);
    QCOMPARE(run.status, status);
    // Our ports' lines, in the list's order; the computer's own ports may follow.
    const QStringList out =
        run.out.split('\n', Qt::SkipEmptyParts).filter(QRegularExpression("^COM[1-4] "));
    QCOMPARE(out.size(), lines.size());
    for (qsizetype i = 0; i < lines.size(); ++i)
        QVERIFY2(QRegularExpression("^" + lines[i] + "$").match(out[i]).hasMatch(),
                 qPrintable(out[i]));
    // Nothing but the one read reaches a port: the silent one took RE28 alone, the held one
    // nothing.
    for (std::size_t i = 0, k = 0; i < std::size_t(ports.size()); ++i) {
        const QString kind = ports[qsizetype(i)].section(':', 1);
        if (kind == "missing") continue;
        const QStringList frames = framesOf(sims[k++]->log());
        if (kind == "silent" && status != 2) QCOMPARE(frames, QStringList{"RE28"});
        if (kind == "held" || status == 2) QCOMPARE(frames, QStringList{});
    }
}

QTEST_MAIN(TestRxmem)
#include "tst_rxmem_e2e.moc"
