#include "app/frm_main.h"

#include <QIcon>
#include <QLineEdit>

#include "app/code_list.h"
#include "app/combo_box.h"
#include "app/module1.h"
#include "app/tab_control.h"
#include "engine/batches.h"
#include "filelist/list_view.h"
#include "program_icon.h"
#include "rulegrid/rule_grid.h"
#include "rules/grid_rule_table.h"
#include "rules/rule_rows.h"
#include "rules/rule_set_file.h"
#include "rules/rule_set_folders.h"
#include "services/service_error.h"
#include "status/twips.h"

namespace morvelle {

namespace {

QPushButton* MakeButton(QWidget* page, const QString& caption, QRect geometry) {
  auto* button = new QPushButton(caption, page);
  button->setGeometry(geometry);
  button->setAutoDefault(false);
  return button;
}

}  // namespace

frmMain::frmMain(Module1& module1, UserPrompts& prompts)
    : QWidget(nullptr, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                           Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint),
      module1_(module1),
      prompts_(prompts),
      targets_(palette().color(QPalette::Base)) {
  setWindowTitle(QStringLiteral("Morvelle"));
  setWindowIcon(ProgramIcon());
  setFixedSize(Twips(9270), Twips(7830));
  CreateControls();
  Form_Load();
}

frmMain::~frmMain() = default;

RuleTable& frmMain::Rules() { return *rules_; }

void frmMain::CreateControls() {
  SSTab1 = new TabControl(this, Twips(520));
  SSTab1->setGeometry(TwipsRect(120, 120, 9015, 7695));
  QWidget* files = SSTab1->addPage(QStringLiteral("ファイルを設定"));
  QWidget* rules = SSTab1->addPage(QStringLiteral("置換の設定"));

  // Page 0: the target list and the code conversion.
  Label1 = new QLabel(QStringLiteral("編集するファイルをドロップしてください。"), files);
  Label1->setGeometry(TwipsRect(600, 480, 4455, 375));
  ListView1 = new class ListView1(targets_, files);
  ListView1->setGeometry(TwipsRect(360, 960, 8415, 5775));
  Combo1 = new CodeComboBox(files);
  Combo1->setGeometry(TwipsRect(480, 6960, 2295, 300));
  Command6 = MakeButton(files, QStringLiteral("文字コード変換"), TwipsRect(3000, 6960, 1695, 495));
  Command1 = MakeButton(files, QStringLiteral("リセット"), TwipsRect(7320, 6960, 1575, 495));

  // Page 1: the rule grid and its buttons.
  Label2 = new QLabel(QStringLiteral("正規表現の置換条件を入力してください。(例：　s/ABC/XYZ/g)"),
                      rules);
  Label2->setGeometry(TwipsRect(360, 480, 6495, 255));
  DataTable1 = new rulegrid::RuleGrid(rules);
  DataTable1->setGeometry(TwipsRect(240, 840, 8415, 6015));
  Command2 = MakeButton(rules, QStringLiteral("置換"), TwipsRect(360, 6960, 1095, 495));
  Command5 = MakeButton(rules, QStringLiteral("リセット"), TwipsRect(4560, 6960, 1095, 495));
  Command3 = MakeButton(rules, QStringLiteral("設定を保存"), TwipsRect(5760, 6960, 1095, 495));
  Command4 = MakeButton(rules, QStringLiteral("設定を読み込む"), TwipsRect(6960, 6960, 1695, 495));

  mnuPop = new QMenu(this);
  mnuPopDel = mnuPop->addAction(QStringLiteral("削除"));

  rules_ = std::make_unique<rules::GridRuleTable>(*DataTable1);

  // The keyboard order of the layout; labels take no focus, the hidden helpers are not widgets.
  QWidget* order[] = {SSTab1->tabBar(), ListView1, Command1, DataTable1, Command2,
                      Command3,         Command4,  Command5, Combo1,     Command6};
  for (size_t i = 0; i + 1 < std::size(order); ++i) setTabOrder(order[i], order[i + 1]);

  connect(ListView1, &ListView1::OLEDragDrop, this, &frmMain::ListView1_OLEDragDrop);
  connect(ListView1, &ListView1::MouseDown, this, &frmMain::ListView1_MouseDown);
  connect(DataTable1, &rulegrid::RuleGrid::rowEntered, this, &frmMain::DataTable1_RowEntered);
  connect(DataTable1, &rulegrid::RuleGrid::beforeRowAction, this,
          [this](int row, int* cancel) { DataTable1_BeforeRowAction(row, *cancel); });
  connect(DataTable1, &rulegrid::RuleGrid::mouseDown, this, &frmMain::DataTable1_MouseDown);
  connect(Command1, &QPushButton::clicked, this, &frmMain::Command1_Click);
  connect(Command2, &QPushButton::clicked, this, &frmMain::Command2_Click);
  connect(Command6, &QPushButton::clicked, this, &frmMain::Command6_Click);
  connect(Command3, &QPushButton::clicked, this, &frmMain::Command3_Click);
  connect(Command4, &QPushButton::clicked, this, &frmMain::Command4_Click);
  connect(Command5, &QPushButton::clicked, this, &frmMain::Command5_Click);
  connect(mnuPopDel, &QAction::triggered, this, &frmMain::mnuPopDel_Click);
}

void frmMain::Form_Load() {
  rules_->ClearRows();
  SSTab1->setCurrentIndex(0);
  rules::AddSpareRow(*rules_);
  for (const CodeListRow& row : kCodeList) {
    Combo1->addItem(QString::fromUtf16(row.text));
    Combo1->setItemData(Combo1->count() - 1, row.number);
  }
  Combo1->setCurrentIndex(-1);
  Combo1->lineEdit()->clear();
}

void frmMain::Command1_Click() { targets_.Clear(); }

void frmMain::ListView1_OLEDragDrop(const QMimeData* data) { targets_.DropData(data); }

void frmMain::ListView1_MouseDown(int button, int, int x, int y) {
  if (targets_.WantsPopupMenu(button)) {
    ShowPopup(PopupSource::FileList, ListView1->viewport()->mapToGlobal(QPoint(x, y)));
  }
}

void frmMain::Command2_Click() {
  RunBatch(
      *this, module1_.AppDir, prompts_,
      [this](engine::MessageSink& sink, const engine::ReplaceOptions& options) {
        // A value still being typed takes part in the run.
        if (rules_->HasCurrentCell()) rules_->CommitEdit();
        module1_.EnabledRules = engine::EnabledRulesOf(rules::RulesOf(*rules_));
        if (!Edit1_) Edit1_ = module1_.NewEditorBuffer();
        engine::ReplaceAll(module1_.EnabledRules, targets_.Model(), *Edit1_,
                           module1_.TextServices(), sink, options);
      },
      runHooks);
}

void frmMain::Command6_Click() {
  RunBatch(
      *this, module1_.AppDir, prompts_,
      [this](engine::MessageSink& sink, const engine::ReplaceOptions& options) {
        if (Combo1->currentIndex() < 0) return;
        const std::optional<CharacterCode> code =
            ListedCode(Combo1->itemData(Combo1->currentIndex()).toInt());
        if (!code) return;
        if (targets_.Model().TargetCount() == 0) return;
        engine::ConvertAll(targets_.Model(), *code, module1_.SharedTextService(), sink, options);
      },
      runHooks);
}

template <typename F>
void frmMain::WithRuleSet(F&& action) {
  rules::RuleSetContext context{
      *rules_,
      prompts_,
      [this]() -> TextService& { return module1_.SharedTextService(); },
      [this]() -> SettingsFileService& { return module1_.SettingsFiles(); },
      [this] { return rules::CurrentRuleSetFolders(module1_.AppDir); },
      CommonDialog1FileName_};
  try {
    action(context);
  } catch (const ServiceError& e) {
    // Whatever fails, the program keeps running and says why.
    prompts_.ShowMessage(e.description(), MessageIcon::None);
  }
}

void frmMain::Command3_Click() { WithRuleSet(rules::SaveRuleSet); }

void frmMain::Command4_Click() { WithRuleSet(rules::LoadRuleSet); }

void frmMain::Command5_Click() { rules::ResetRules(*rules_); }

void frmMain::DataTable1_RowEntered(int row) { rules::RowEntered(*rules_, row); }

void frmMain::DataTable1_BeforeRowAction(int row, int& cancel) {
  rules::BeforeRowAction(*rules_, row, cancel);
}

void frmMain::DataTable1_MouseDown(int button, int, int x, int y) {
  if (rules::WantsPopupMenu(*rules_, button)) {
    ShowPopup(PopupSource::RuleGrid, DataTable1->viewport()->mapToGlobal(QPoint(x, y)));
  }
}

void frmMain::mnuPopDel_Click() {
  switch (popupSource_) {
    case PopupSource::RuleGrid:
      if (DataTable1->requestDeleteRow(rules_->CurrentRow())) rules::RowDeleted(*rules_);
      break;
    case PopupSource::FileList:
      targets_.RemoveSelected();
      break;
    case PopupSource::None:
      break;
  }
}

void frmMain::ShowPopup(PopupSource source, const QPoint& globalPos) {
  popupSource_ = source;
  mnuPop->popup(globalPos);
}

}  // namespace morvelle
