// Errors that end the current editor action and are shown in the standard error box.
#pragma once

#include <QString>

#include <exception>

namespace memedit {

class EditorError : public std::exception {
  public:
    explicit EditorError(QString message)
        : message_(std::move(message)), utf8_(message_.toUtf8()) {}
    const QString& message() const { return message_; }
    const char* what() const noexcept override { return utf8_.constData(); }

  private:
    QString message_;
    QByteArray utf8_;
};

// Port error numbers; the message is the number's text followed by the system's error code.
enum class PortErrorNumber {
    Open = 1,
    WriteFile = 2,
    ReadFile = 3,
    Purge = 5,
    SetState = 7,
    Registry = 23,
};

class PortError : public EditorError {
  public:
    PortError(PortErrorNumber number, int systemCode);
    PortErrorNumber number() const { return number_; }
    int systemCode() const { return systemCode_; }

    // The untranslated text of an error number.
    static const char* baseText(PortErrorNumber number);

  private:
    PortErrorNumber number_;
    int systemCode_;
};

// A box text that is not a signed 32-bit decimal whole number.
class ConversionError : public EditorError {
  public:
    explicit ConversionError(const QString& text);
};

} // namespace memedit
