#include "commandline.h"

#include "stdstreams.h"
#include "terminaltext.h"
#include "tracelog.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QEvent>
#include <QFile>
#include <QTimer>
#include <QWindow>

#include <cerrno>
#include <clocale>
#include <cstdio>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#ifndef RX_VERSION
#error "RX_VERSION must name the package's version"
#endif

namespace rxport {

namespace {

// Qt's own options: QApplication takes them from the same argv, so they are known here too.
const char* const kQtValueOptions[] = {
    "platform",        "platformpluginpath", "platformtheme", "plugin", "display",    "geometry",
    "qwindowgeometry", "qwindowicon",        "qwindowtitle",  "style",  "stylesheet", "session"};
const char* const kQtFlags[] = {"reverse", "nograb", "dograb", "sync", "widgetcount"};

QByteArray usageLine(const ProgramInfo& info) {
    return QByteArray("uso: ") + info.name + " [--trace ARQUIVO] [--help] [--version]\n";
}

QByteArray helpText(const ProgramInfo& info) {
    return usageLine(info) + info.summary +
           "\n"
           "\n"
           "Opções:\n"
           "  --trace ARQUIVO  grava no ARQUIVO o que passa pela porta (bytes enviados e\n"
           "                   recebidos, abertura, fechamento, falhas), com a hora de\n"
           "                   cada um, para o suporte técnico\n"
           "  -h, --help       mostra esta ajuda e sai\n"
           "  --version        mostra a versão e sai\n"
           "\n"
           "Portas: COMn é a entrada COMn da pasta RX_COM_DIR (padrão /dev), senão\n"
           "/dev/ttyS<n-1> (COM1 é /dev/ttyS0); outro texto é o nome de um dispositivo\n"
           "(ttyUSB0) ou um caminho (/dev/ttyACM0). Veja man " +
           info.name + ".\n";
}

// The option as the user wrote it ("-x", "--foo"), without a value given after '='.
QString asTyped(const QStringList& args, const QString& name) {
    for (const QString& arg : args) {
        QString option = arg.section(QLatin1Char('='), 0, 0);
        const qsizetype dashes = option.startsWith(QLatin1String("--")) ? 2 : 1;
        if (option.startsWith(QLatin1Char('-')) && option.mid(dashes) == name) return option;
    }
    return QStringLiteral("--") + name;
}

int usageError(const ProgramInfo& info, const QString& what) {
    std::fprintf(stderr, "%s: %s\n%s", info.name, qPrintable(what), usageLine(info).constData());
    return 2;
}

// Qt keeps what it needs per session (its runtime folder) in XDG_RUNTIME_DIR. Where the login
// gave none, Qt picks <temp>/runtime-<user>, makes it 0700 and warns on every start; the same
// folder is made here, silently. A folder of that name that belongs to someone else is left
// alone: Qt then says why it cannot use it.
void provideRuntimeDir() {
    if (!qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR")) return;
    const uid_t uid = ::geteuid();
    const passwd* pw = ::getpwuid(uid);
    const QString user = pw ? QFile::decodeName(pw->pw_name) : QString::number(uid);
    const QByteArray dir = QFile::encodeName(QDir::tempPath() + QStringLiteral("/runtime-") + user);
    if (::mkdir(dir.constData(), 0700) != 0 && errno != EEXIST) return;
    struct stat st {};
    if (::lstat(dir.constData(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != uid) return;
    if ((st.st_mode & 07777) != 0700 && ::chmod(dir.constData(), 0700) != 0) return;
    qputenv("XDG_RUNTIME_DIR", dir);
}

// --quit-when-shown, left out of --help: the program starts as usual and, once its first
// window is on the screen, writes "shown: <window title>" and ends with status 0. The package
// test starts each installed program this way.
class FirstWindowWatch : public QObject {
  public:
    using QObject::QObject;
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Expose && !reported_) {
            if (auto* window = qobject_cast<QWindow*>(watched); window && window->isExposed()) {
                reported_ = true;
                std::printf("shown: %s\n", qPrintable(window->title()));
                std::fflush(stdout);
                // exit, not quit: a window that refuses to close (writes still going out) must
                // not hold the check up.
                QTimer::singleShot(0, qApp, [] { QCoreApplication::exit(0); });
            }
        }
        return QObject::eventFilter(watched, event);
    }

  private:
    bool reported_ = false;
};

void watchFirstWindow() {
    qApp->installEventFilter(new FirstWindowWatch(qApp));
}

} // namespace

std::optional<int> startProgram(int argc, char** argv, const ProgramInfo& info) {
    rxport::guardStandardStreams(info.name, "não foi possível escrever a saída");
    // The user's language for the reason a file cannot be written; QApplication does the same.
    std::setlocale(LC_ALL, "");

    QStringList args;
    for (int i = 0; i < argc; ++i)
        args << QString::fromLocal8Bit(argv[i]);

    QCommandLineParser parser;
    // "-platform xcb" is how Qt's options are written: a single dash starts a long name.
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QCommandLineOption help(QStringList{QStringLiteral("h"), QStringLiteral("help")});
    const QCommandLineOption version(QStringLiteral("version"));
    const QCommandLineOption trace(QStringLiteral("trace"), QString(), QStringLiteral("ARQUIVO"));
    QCommandLineOption quitWhenShown(QStringLiteral("quit-when-shown"));
    parser.addOptions({help, version, trace, quitWhenShown});
    for (const char* name : kQtValueOptions)
        parser.addOption(
            QCommandLineOption(QString::fromLatin1(name), QString(), QStringLiteral("VALOR")));
    for (const char* name : kQtFlags)
        parser.addOption(QCommandLineOption(QString::fromLatin1(name)));

    if (!parser.parse(args)) {
        if (const QStringList unknown = parser.unknownOptionNames(); !unknown.isEmpty())
            return usageError(info, QStringLiteral("opção desconhecida: ") +
                                        escaped(asTyped(args, unknown.first())));
        // The only other refusal: a value option given last, with nothing after it.
        return usageError(info, QStringLiteral("falta o valor de ") + escaped(args.last()));
    }
    if (!parser.positionalArguments().isEmpty())
        return usageError(info, QStringLiteral("argumento inesperado: ") +
                                    escaped(parser.positionalArguments().first()));
    if (parser.isSet(help)) {
        std::fputs(helpText(info).constData(), stdout);
        return flushStandardOutput(0);
    }
    if (parser.isSet(version)) {
        std::printf("%s %s\n", info.name, RX_VERSION);
        return flushStandardOutput(0);
    }
    if (parser.isSet(trace)) {
        const QString file = parser.value(trace);
        QString reason;
        if (!rxport::trace().open(file, &reason)) {
            std::fprintf(stderr, "%s: não foi possível gravar o rastreamento em %s: %s\n",
                         info.name, qPrintable(escaped(file)), qPrintable(reason));
            return 2;
        }
    }
    if (parser.isSet(quitWhenShown)) qAddPreRoutine(watchFirstWindow);
    provideRuntimeDir();
    return std::nullopt;
}

} // namespace rxport
