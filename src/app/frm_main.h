#pragma once
// The main window: places the controls and routes each control event to the unit that owns
// its behaviour. Besides its controls it keeps only what lives as long as they do: the hidden
// file buffer, the rule table's adapter, the dialog's last file name and which control opened
// the pop-up menu.

#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QWidget>
#include <memory>

#include "app/run_frame.h"
#include "filelist/target_list.h"
#include "services/editor_buffer.h"
#include "services/rule_table.h"
#include "services/user_prompts.h"

namespace morvelle {

class Module1;
class TabControl;
class ListView1;
class CodeComboBox;
namespace rulegrid {
class RuleGrid;
}
namespace rules {
class GridRuleTable;
}

class frmMain : public QWidget {
  Q_OBJECT

 public:
  frmMain(Module1& module1, UserPrompts& prompts);
  ~frmMain() override;

  // Controls, by their generic names.
  TabControl* SSTab1 = nullptr;
  QLabel* Label1 = nullptr;
  class ListView1* ListView1 = nullptr;
  CodeComboBox* Combo1 = nullptr;
  QPushButton* Command6 = nullptr;
  QPushButton* Command1 = nullptr;
  QLabel* Label2 = nullptr;
  rulegrid::RuleGrid* DataTable1 = nullptr;
  QPushButton* Command2 = nullptr;
  QPushButton* Command5 = nullptr;
  QPushButton* Command3 = nullptr;
  QPushButton* Command4 = nullptr;
  QMenu* mnuPop = nullptr;
  QAction* mnuPopDel = nullptr;

  RuleTable& Rules();
  TargetList& Targets() { return targets_; }

  // Handlers, reached by the controls' events and by tests alike.
  void Form_Load();
  void Command1_Click();
  void Command2_Click();
  void Command6_Click();
  void ListView1_OLEDragDrop(const QMimeData* data);
  void ListView1_MouseDown(int button, int shift, int x, int y);
  void Command3_Click();
  void Command4_Click();
  void Command5_Click();
  void DataTable1_RowEntered(int row);
  void DataTable1_BeforeRowAction(int row, int& cancel);
  void DataTable1_MouseDown(int button, int shift, int x, int y);
  void mnuPopDel_Click();

  // Which control opened the pop-up menu last; "削除" acts on that control.
  enum class PopupSource { None, FileList, RuleGrid };
  PopupSource popupSource() const { return popupSource_; }

  // What tests attach to a batch's run frame.
  RunFrameHooks runHooks;

 protected:
  // Shows mnuPop at a global position without blocking, so tests can answer it.
  virtual void ShowPopup(PopupSource source, const QPoint& globalPos);

 private:
  void CreateControls();
  template <typename F>
  void WithRuleSet(F&& action);

  Module1& module1_;
  UserPrompts& prompts_;
  TargetList targets_;
  std::unique_ptr<EditorBuffer> Edit1_;  // the hidden file buffer; made on first use
  std::unique_ptr<rules::GridRuleTable> rules_;
  PopupSource popupSource_ = PopupSource::None;
  QString CommonDialog1FileName_;  // the dialogs open with the name chosen last
};

}  // namespace morvelle
