// The session trace a support engineer reads: one line per event on the line, a time stamp in
// seconds, a kind, and the bytes in hex - the same form as the simulator's frame log, so one
// reader serves both. The stamps count from the system's start; the first line's stamp has the
// local date and time of that moment joined to it by "=", so every line can be placed in local
// time (a reader of the number alone still reads it). The program's port object writes it;
// nothing is written unless a file was opened (the programs' --trace FILE).
//   12.340000=2026-12-07T09:15:02.120466-03:00 OPEN /dev/ttyUSB0
//   12.345678 TX 52 45 46 0D      a frame the program sent
//   12.351002 RX 45 37 30 31 32 0D   bytes of a reply the program took
//   12.360000 DROP 0D   bytes that answer nothing asked, shown nowhere
//   12.9 CLOSE   12.9 LOST Input/output error
#pragma once

#include <QByteArray>
#include <QString>

namespace rxport {

class TraceLog {
  public:
    // The process's one trace.
    static TraceLog& instance();

    // Creates or truncates the file; false with the reason when it cannot be written.
    bool open(const QString& path, QString* error = nullptr);
    bool isOpen() const { return fd_ >= 0; }

    void bytes(const char* kind, const QByteArray& data);
    void event(const char* kind, const QString& detail = {});

    ~TraceLog();

  private:
    TraceLog() = default;
    void line(const char* kind, const QByteArray& rest);
    void stop(int errorNumber);
    int fd_ = -1;
    QString path_;
    bool first_ = false; // the next line is the file's first
};

inline TraceLog& trace() {
    return TraceLog::instance();
}

} // namespace rxport
