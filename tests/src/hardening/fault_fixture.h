#pragma once
// The real main window on real files in a temporary folder, for the fault-injection tests:
// message boxes answered and recorded by FakePrompts, helpers that fingerprint a folder, and
// the ways a file system is made to fail (an unprivileged user, a full disk).

#include <grp.h>
#include <gtest/gtest.h>
#include <pwd.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QMimeData>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>
#include <map>
#include <memory>

#include "adapters/editor_buffer_impl.h"
#include "adapters/settings_file_service_impl.h"
#include "adapters/text_service_factory.h"
#include "app/combo_box.h"
#include "app/frm_main.h"
#include "app/module1.h"
#include "support/fake_prompts.h"

// Readable failures.
inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }
inline void PrintTo(const QStringList& l, std::ostream* os) {
  *os << '"' << l.join(QStringLiteral("\", \"")).toStdString() << '"';
}

namespace morvelle::testing {

inline QByteArray ReadAll(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

inline QByteArray Hash(const QString& path) {
  return QCryptographicHash::hash(ReadAll(path), QCryptographicHash::Sha256).toHex();
}

// Name → content hash of every entry in a folder, hidden ones (temporary files) included;
// folders and links are marked as such rather than hashed.
inline std::map<QString, QByteArray> Fingerprint(const QString& folder) {
  std::map<QString, QByteArray> entries;
  const QFileInfoList infos = QDir(folder).entryInfoList(
      QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
  for (const QFileInfo& info : infos) {
    entries[info.fileName()] = info.isSymLink() ? "link → " + info.symLinkTarget().toUtf8()
                               : info.isDir()   ? QByteArray("<folder>")
                                                : Hash(info.filePath());
  }
  return entries;
}

// Runs the current thread's file access as nobody:nogroup while it lives. Tests run as root,
// where permissions stop nothing; the saved user ID stays root, so the destructor can return.
// Not root: already unprivileged, nothing to do.
class AsUnprivilegedUser {
 public:
  AsUnprivilegedUser() {
    if (::geteuid() != 0) {
      ok_ = true;
      return;
    }
    const passwd* user = ::getpwnam("nobody");
    if (!user) return;
    saved_groups_.resize(static_cast<std::size_t>(::getgroups(0, nullptr)));
    ::getgroups(static_cast<int>(saved_groups_.size()), saved_groups_.data());
    ok_ = ::setgroups(0, nullptr) == 0 && ::setegid(user->pw_gid) == 0 &&
          ::seteuid(user->pw_uid) == 0;
    switched_ = true;
  }
  ~AsUnprivilegedUser() {
    if (!switched_) return;
    EXPECT_EQ(::seteuid(0), 0);
    EXPECT_EQ(::setegid(0), 0);
    EXPECT_EQ(::setgroups(saved_groups_.size(), saved_groups_.data()), 0);
  }
  bool ok() const { return ok_; }

 private:
  bool ok_ = false;
  bool switched_ = false;
  std::vector<gid_t> saved_groups_;
};

// A small tmpfs over `folder` while it lives (root only): a disk that really fills up.
class SmallDisk {
 public:
  SmallDisk(const QString& folder, int kib) : path_(QFile::encodeName(folder)) {
    const QByteArray options = "size=" + QByteArray::number(kib) + "k,mode=0777";
    ok_ = ::geteuid() == 0 &&
          ::mount("tmpfs", path_.constData(), "tmpfs", 0, options.constData()) == 0;
  }
  ~SmallDisk() {
    if (ok_) ::umount2(path_.constData(), MNT_DETACH);
  }
  bool ok() const { return ok_; }

 private:
  QByteArray path_;
  bool ok_ = false;
};

inline void Chmod(const QString& path, mode_t mode) {
  EXPECT_EQ(::chmod(QFile::encodeName(path).constData(), mode), 0) << path.toStdString();
}

class FaultFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    module1_ = std::make_unique<Module1>(
        ComponentFactories{MakeTextServiceFactory(), MakeSettingsFileService, MakeEditorBuffer});
    const QString clip = appDir_.filePath(QStringLiteral("FileFind.avi"));
    ASSERT_TRUE(QFile::copy(QStringLiteral(MORVELLE_CLIP_PATH), clip));
    // Reachable by the unprivileged user too.
    Chmod(clip, 0644);
    Chmod(appDir_.path(), 0755);
    Chmod(data_.path(), 0777);
    // A rule-set folder every user may write, so no save reaches the home folder.
    const QString expFile = appDir_.filePath(QStringLiteral("ExpFile"));
    ASSERT_TRUE(QDir().mkdir(expFile));
    Chmod(expFile, 0777);
    module1_->AppDir = appDir_.path() + u'/';
    window_ = std::make_unique<frmMain>(*module1_, prompts_);
    window_->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window_.get()));
  }

  QString Path(const QString& name) const { return data_.filePath(name); }
  QString Path(const char* name) const { return Path(QString::fromUtf8(name)); }

  QString File(const char* name, const QByteArray& bytes, mode_t mode = 0644) {
    QString path = Path(name);
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::WriteOnly)) << name;
    EXPECT_EQ(f.write(bytes), bytes.size());
    f.close();
    Chmod(path, mode);
    return path;
  }

  void Drop(const QStringList& paths) {
    window_->Targets().Clear();
    QMimeData data;
    QList<QUrl> urls;
    for (const QString& p : paths) urls << QUrl::fromLocalFile(p);
    data.setUrls(urls);
    window_->ListView1_OLEDragDrop(&data);
  }

  void Rules(std::initializer_list<QString> expressions) {
    RuleTable& table = window_->Rules();
    table.ClearRows();
    for (const QString& e : expressions) table.AppendRow({1, e});
    table.AppendRow({1, QString()});
  }

  void Replace() { window_->Command2->click(); }
  void Convert(int code) {
    window_->Combo1->setCurrentIndex(code - 1);
    window_->Command6->click();
  }
  void SaveRuleSet(const QString& path) {
    prompts_.answers.push_back(path);
    window_->Command3->click();
  }

  // The one message of a failed run: names the file, says the cause.
  void ExpectOneMessage(const QString& file, const QString& cause) {
    ASSERT_EQ(prompts_.messages.size(), 1u);
    const QString& text = prompts_.messages[0].text;
    EXPECT_TRUE(text.contains(file)) << text.toStdString();
    EXPECT_TRUE(text.contains(cause)) << text.toStdString();
    prompts_.messages.clear();
  }

  // After a failure the window still runs both batches on a good file.
  void ExpectStillWorking() {
    ASSERT_TRUE(window_->isVisible());
    prompts_.messages.clear();
    const QString good = File("zz-good.txt", "abc\r\n");
    Drop({good});
    Rules({QStringLiteral("s/b/B/")});
    Replace();
    EXPECT_EQ(ReadAll(good + QStringLiteral(".exp")), QByteArray("aBc\r\n"));
    Convert(4);
    EXPECT_EQ(ReadAll(good + QStringLiteral(".exp")), QByteArray("\xFF\xFE"
                                                                 "a\0b\0c\0\r\0\n\0",
                                                                 12));
    EXPECT_TRUE(prompts_.messages.empty());
    QFile::remove(good);
    QFile::remove(good + QStringLiteral(".exp"));
  }

  QTemporaryDir appDir_;
  QTemporaryDir data_;
  FakePrompts prompts_;
  std::unique_ptr<Module1> module1_;
  std::unique_ptr<frmMain> window_;
};

}  // namespace morvelle::testing
