#pragma once
// "置換" and "文字コード変換" end to end: the real window, the real components, real files in
// a temporary folder; message boxes answered by the test. What the window tests share.

#include <gtest/gtest.h>

#include <QApplication>
#include <QCloseEvent>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPointer>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QUrl>

#include "adapters/editor_buffer_impl.h"
#include "adapters/settings_file_service_impl.h"
#include "adapters/text_service_factory.h"
#include "app/combo_box.h"
#include "app/frm_main.h"
#include "app/module1.h"
#include "app/tab_control.h"
#include "rulegrid/rule_grid.h"
#include "services/service_error.h"
#include "status/frm_status.h"
#include "status/twips.h"
#include "support/failing_buffer.h"
#include "support/fake_prompts.h"
#include "support/fake_text_service.h"

namespace morvelle::testing {

inline QByteArray ReadAll(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

inline QByteArray Hash(const QString& path) {
  return QCryptographicHash::hash(ReadAll(path), QCryptographicHash::Sha256);
}

class BatchWindowTest : public ::testing::Test {
 protected:
  void SetUp() override { Start(MakeTextServiceFactory()); }

  void Start(TextServiceFactory textService, EditorBufferFactory buffers = MakeEditorBuffer) {
    window_.reset();
    module1_ = std::make_unique<Module1>(
        ComponentFactories{std::move(textService), MakeSettingsFileService, std::move(buffers)});
    ASSERT_TRUE(QFile::copy(QStringLiteral(MORVELLE_CLIP_PATH),
                            appDir_.filePath(QStringLiteral("FileFind.avi"))) ||
                QFile::exists(appDir_.filePath(QStringLiteral("FileFind.avi"))));
    module1_->AppDir = appDir_.path() + u'/';
    window_ = std::make_unique<frmMain>(*module1_, prompts_);
    window_->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window_.get()));
    window_->runHooks.statusShown = [this](frmStatus& status) {
      statuses_.push_back(&status);
      shownGeometry_ = status.geometry();
      shownMessage_ = status.Label1()->text();
      shownAviPath_ = status.AviPath();
    };
  }

  QString File(const char* name, const QByteArray& bytes) {
    QString path = data_.filePath(QString::fromUtf8(name));
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
    return path;
  }

  void Drop(const QStringList& paths) {
    QMimeData data;
    QList<QUrl> urls;
    for (const QString& p : paths) urls << QUrl::fromLocalFile(p);
    data.setUrls(urls);
    window_->ListView1_OLEDragDrop(&data);
  }

  void Rules(std::initializer_list<std::pair<int, QString>> rows) {
    RuleTable& table = window_->Rules();
    table.ClearRows();
    for (const auto& [flag, expression] : rows) table.AppendRow({flag, expression});
    table.AppendRow({1, QString()});
  }

  QString Out(const char* name) const { return data_.filePath(QString::fromUtf8(name)); }

  QTemporaryDir appDir_;
  QTemporaryDir data_;
  testing::FakePrompts prompts_;
  std::unique_ptr<Module1> module1_;
  std::unique_ptr<frmMain> window_;
  std::vector<QPointer<frmStatus>> statuses_;
  QRect shownGeometry_;
  QString shownMessage_;
  QString shownAviPath_;
};

}  // namespace morvelle::testing
