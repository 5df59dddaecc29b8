#pragma once
// Every service reports a failure by throwing ServiceError. Handlers catch it and show
// description() to the user, so the text names the file or row, in Japanese in the window
// (morvelle-batch may install an English translation).

#include <QByteArray>
#include <QString>
#include <exception>

namespace morvelle {

class ServiceError : public std::exception {
 public:
  explicit ServiceError(QString description)
      : description_(std::move(description)), utf8_(description_.toUtf8()) {}

  const QString& description() const noexcept { return description_; }
  const char* what() const noexcept override { return utf8_.constData(); }

 private:
  QString description_;
  QByteArray utf8_;
};

}  // namespace morvelle
