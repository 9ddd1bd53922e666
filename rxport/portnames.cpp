#include "portnames.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSerialPortInfo>
#include <QSet>

#include <algorithm>
#include <sys/stat.h>
#include <sys/sysmacros.h>

namespace rxport {

PortEnvironment PortEnvironment::fromSystem() {
    PortEnvironment env;
    if (const QString dir = qEnvironmentVariable("RX_COM_DIR"); !dir.isEmpty()) env.comDir = dir;
    return env;
}

std::optional<int> portNumber(const QString& text) {
    if (text.size() < 4 || text.size() > 8) return std::nullopt;
    if (!text.startsWith(QLatin1String("COM"), Qt::CaseInsensitive)) return std::nullopt;
    int n = 0;
    for (qsizetype k = 3; k < text.size(); ++k) {
        const QChar c = text[k];
        if (c < QLatin1Char('0') || c > QLatin1Char('9')) return std::nullopt;
        n = n * 10 + (c.unicode() - '0');
    }
    if (n < 1 || n > 32767) return std::nullopt;
    return n;
}

namespace {

// lstat: a COMn link counts as present even when its target is gone, so that a stale link
// fails at the open with its own reason instead of silently meaning another device.
bool entryExists(const QString& path) {
    struct stat st {};
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0;
}

QString comPath(int n, const PortEnvironment& env) {
    const QString link = QDir(env.comDir).filePath(QStringLiteral("COM%1").arg(n));
    if (entryExists(link)) return link;
    return env.ttySPrefix + QString::number(n - 1);
}

QString readFirstLine(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) return {};
    return QString::fromLocal8Bit(file.readLine()).trimmed();
}

// Device names in the order a technician reads them: ttyS2 before ttyS10.
bool nameOrder(const QString& a, const QString& b) {
    const auto split = [](const QString& s) {
        qsizetype digits = s.size();
        while (digits > 0 && s[digits - 1].isDigit())
            --digits;
        return std::pair(s.left(digits).toLower(), s.mid(digits).toLongLong());
    };
    return split(a) < split(b);
}

} // namespace

QString resolvePortName(const QString& text, const PortEnvironment& env) {
    if (const auto n = portNumber(text)) return comPath(*n, env);
    if (text.contains(QLatin1Char('/'))) return text;
    return QStringLiteral("/dev/") + text;
}

QString deviceIdentity(const QString& text, const PortEnvironment& env) {
    const QString path = resolvePortName(text, env);
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) == 0 &&
        (S_ISCHR(st.st_mode) || S_ISBLK(st.st_mode)))
        return QStringLiteral("device %1:%2")
            .arg(QString::number(major(st.st_rdev)), QString::number(minor(st.st_rdev)));
    const QFileInfo info(path);
    const QString canonical = info.canonicalFilePath();
    return canonical.isEmpty() ? info.absoluteFilePath() : canonical;
}

bool PortExists(int n, const PortEnvironment& env) {
    return n >= 1 && isSerialDevice(comPath(n, env), env);
}

bool isSerialDevice(const QString& path, const PortEnvironment& env) {
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0 || !S_ISCHR(st.st_mode)) return false;
    const unsigned maj = major(st.st_rdev);
    const unsigned min = minor(st.st_rdev);
    // Pseudo-terminal slaves (the simulator, remote serial bridges) have no sysfs entry.
    if (maj >= 136 && maj <= 143) return true;
    const QString sys = QStringLiteral("%1/dev/char/%2:%3")
                            .arg(env.sysfsRoot, QString::number(maj), QString::number(min));
    if (!QFileInfo::exists(sys + QStringLiteral("/subsystem"))) return false;
    // Only ttys count; a UART port whose chip was not found reports type 0.
    QFile uevent(sys + QStringLiteral("/uevent"));
    if (!uevent.open(QIODevice::ReadOnly) || !uevent.readAll().contains("DEVNAME=tty"))
        return false;
    return readFirstLine(sys + QStringLiteral("/type")) != QLatin1String("0");
}

QStringList probePorts(const PortEnvironment& env) {
    QStringList out;
    for (int n = 1; n <= 16; ++n) {
        if (PortExists(n, env)) out << QStringLiteral("COM%1").arg(n);
    }
    return out;
}

QStringList portList(const PortEnvironment& env) {
    QStringList names = probePorts(env);
    QSet<QString> reached;
    for (const QString& name : names)
        reached.insert(QFileInfo(resolvePortName(name, env)).canonicalFilePath());
    QStringList others;
    for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts()) {
        const QString device = QFileInfo(info.systemLocation()).canonicalFilePath();
        if (!reached.contains(device) && !others.contains(info.portName()))
            others << info.portName();
    }
    std::sort(others.begin(), others.end(), nameOrder);
    return names + others;
}

} // namespace rxport
