#pragma once
// Shared by the list's tests: an application object for the whole run, a Japanese locale
// and a fixed time zone, and files made to measure in a temporary folder.

#include <gtest/gtest.h>

#include <QByteArray>
#include <QDateTime>
#include <QMimeData>
#include <QString>
#include <QTemporaryDir>
#include <QUrl>
#include <ctime>
#include <memory>

namespace morvelle::testing {

// Installs App (QGuiApplication or QApplication) before the first test runs.
template <typename App>
class AppEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    ::setenv("TZ", "Asia/Tokyo", 1);
    ::tzset();
    QLocale::setDefault(QLocale(QLocale::Japanese, QLocale::Japan));
    static int argc = 1;
    static char name[] = "filelist_test";
    static char* argv[] = {name, nullptr};
    app_ = std::make_unique<App>(argc, argv);
  }
  void TearDown() override { app_.reset(); }

 private:
  std::unique_ptr<App> app_;
};

// Local calendar time as seconds since the epoch, in the zone the tests run in.
inline std::time_t LocalTime(int year, int month, int day, int hour, int minute, int second) {
  std::tm fields{};
  fields.tm_year = year - 1900;
  fields.tm_mon = month - 1;
  fields.tm_mday = day;
  fields.tm_hour = hour;
  fields.tm_min = minute;
  fields.tm_sec = second;
  fields.tm_isdst = -1;
  return std::mktime(&fields);
}

class Scratch {
 public:
  Scratch() = default;
  Scratch(const Scratch&) = delete;
  Scratch& operator=(const Scratch&) = delete;
  ~Scratch();  // removes the raw-named files, which QTemporaryDir cannot name

  QString Path() const { return dir_.path(); }
  QString At(const QString& name) const { return dir_.path() + QStringLiteral("/") + name; }

  // A file of `size` bytes (sparse), optionally with a given modification time.
  QString File(const QString& name, qint64 size = 0, std::time_t modified = 0) const;
  QString Folder(const QString& name) const;
  QString DanglingLink(const QString& name) const;
  // A file whose name is the given bytes, which need not be valid UTF-8.
  QByteArray RawFile(const QByteArray& name, qint64 size) const;

 private:
  QTemporaryDir dir_;
  mutable QList<QByteArray> rawFiles_;
};

std::unique_ptr<QMimeData> UrlsOf(const QStringList& paths);

}  // namespace morvelle::testing
