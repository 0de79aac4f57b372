#include "app/ProdView.h"

#include <QEvent>
#include <QFileDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QMessageBox>
#include <QVBoxLayout>

#include "app/MixerView.h"
#include "shell/Main.h"

namespace vex {

bool QtProdDialogs::OpenFile(TProdDialog& d) {
  QFileDialog dlg(parent_, QString::fromStdString(d.Title), QString::fromStdString(d.InitialDir),
                  QtFileFilter(d.Filter));
  dlg.setFileMode(QFileDialog::ExistingFile);
  dlg.setDefaultSuffix(QString::fromStdString(d.DefaultExt));
  if (!d.FileName.empty()) dlg.selectFile(QString::fromStdString(d.FileName));
  if (dlg.exec() != QDialog::Accepted || dlg.selectedFiles().isEmpty()) return false;
  d.FileName = dlg.selectedFiles().front().toStdString();
  d.InitialDir = dlg.directory().absolutePath().toStdString();
  return true;
}

bool QtProdDialogs::AskYes(const std::string& question) {
  return QMessageBox::warning(parent_, QString(), QString::fromStdString(question),
                              QMessageBox::Yes | QMessageBox::Cancel) == QMessageBox::Yes;
}

void ProdView::Tool_::UploadFirm() {
  v_->main_.Guard([this] { v_->prod_.UploadFirm(); });
}

void ProdView::Tool_::DoProduct() {
  v_->main_.Guard([this] { v_->prod_.DoProduct(); });
}

QLineEdit* ProdView::AddField(QWidget* box, QFormLayout* form, TEdit& e) {
  auto* edit = new QLineEdit(box);
  edit->setMinimumWidth(&e == &prod_.ModelFile || &e == &prod_.FirmwareFile || &e == &prod_.Status ? 380
                                                                                                   : 120);
  form->addRow(QString::fromStdString(e.Caption()), edit);
  fields_.emplace_back(&e, edit);
  connect(edit, &QLineEdit::textEdited, this, [&e](const QString& t) { e.SetText(t.toStdString()); });
  return edit;
}

ProdView::ProdView(TVexProd1& prod, TMain1& main, QWidget* parent)
    : QWidget(parent, Qt::Window), prod_(prod), main_(main), tool_(this), dialogs_(this) {
  setObjectName(QString::fromStdString(std::string(prod.Row.Unit) + "prod1"));
  setWindowTitle(QString::fromStdString(prod.Caption));
  auto* v = new QVBoxLayout(this);
  v->setContentsMargins(10, 10, 10, 10);

  status_ = new QGroupBox(QString::fromStdString(prod.StatusGroup.Caption), this);
  auto* sf = new QFormLayout(status_);
  for (TEdit* e : {&prod.ProdDate, &prod.ProdId, &prod.NextId, &prod.Status})
    AddField(status_, sf, *e)->setReadOnly(true);
  v->addWidget(status_);

  plan_ = new QGroupBox(QString::fromStdString(prod.PlanGroup.Caption), this);
  auto* pf = new QFormLayout(plan_);
  for (TEdit* e : {&prod.ModelFile, &prod.FirmwareFile}) AddField(plan_, pf, *e)->installEventFilter(this);
  auto* userRow = new QWidget(plan_);
  auto* ur = new QHBoxLayout(userRow);
  ur->setContentsMargins(0, 0, 0, 0);
  userBox_ = new QCheckBox(userRow);
  userBox_->setObjectName("CheckBox1");
  auto* user = new QLineEdit(userRow);
  user->setMaximumWidth(120);
  fields_.emplace_back(&prod.UserId, user);
  connect(user, &QLineEdit::textEdited, this,
          [&prod](const QString& t) { prod.UserId.SetText(t.toStdString()); });
  connect(userBox_, &QCheckBox::toggled, this, [this](bool on) {
    prod_.UserIdBox.State = on ? cbChecked : cbUnchecked;
    Refresh();
  });
  ur->addWidget(user);
  ur->addWidget(userBox_);
  ur->addStretch(1);
  pf->addRow(QString::fromStdString(prod.UserId.Caption()), userRow);
  button_ = new QPushButton(QString::fromStdString(prod.ProduceButton.Caption), plan_);
  button_->setObjectName("Button1");
  connect(button_, &QPushButton::clicked, this, [this] { main_.Guard([this] { prod_.Button1Click(); }); });
  auto* br = new QHBoxLayout;
  br->addStretch(1);
  br->addWidget(button_);
  pf->addRow(br);
  v->addWidget(plan_);
  setFixedSize(sizeHint());

  if (!prod_.Dialogs) prod_.Dialogs = &dialogs_;
  prod_.OnShow = [this] { tool_.Show(); };
  prod_.Changed = [this] { Refresh(); };
  Refresh();
}

ProdView::~ProdView() {
  if (prod_.Dialogs == &dialogs_) prod_.Dialogs = nullptr;
  prod_.OnShow = nullptr;
  prod_.Changed = nullptr;
}

QLineEdit* ProdView::Field(const TEdit& e) const {
  for (const auto& [core, edit] : fields_)
    if (core == &e) return edit;
  return nullptr;
}

void ProdView::Refresh() {
  for (const auto& [core, edit] : fields_) {
    const QString t = QString::fromStdString(core->Text());
    if (edit->text() != t) edit->setText(t);
  }
  QLineEdit* status = Field(prod_.Status);
  const TColor c = prod_.Status.Color;
  const QString sheet = c == clWindow
                            ? QString()
                            : QString("QLineEdit { background-color: rgb(%1, %2, %3); color: black; }")
                                  .arg(c & 0xFF)
                                  .arg((c >> 8) & 0xFF)
                                  .arg((c >> 16) & 0xFF);
  if (status->styleSheet() != sheet) status->setStyleSheet(sheet);
  if (userBox_->isChecked() != prod_.UserIdBox.Checked()) userBox_->setChecked(prod_.UserIdBox.Checked());
  status_->setEnabled(prod_.StatusGroup.Enabled);
  plan_->setEnabled(prod_.PlanGroup.Enabled);
  button_->setEnabled(prod_.ButtonEnabled);
}

void ProdView::showEvent(QShowEvent* e) {
  prod_.Visible = true;
  main_.Guard([this] { prod_.FormShow(); });
  Refresh();
  QWidget::showEvent(e);
}

bool ProdView::eventFilter(QObject* watched, QEvent* e) {
  if (e->type() == QEvent::MouseButtonDblClick) {
    if (watched == Field(prod_.ModelFile)) {
      main_.Guard([this] { prod_.Edit5DblClick(); });
      Refresh();
      return true;
    }
    if (watched == Field(prod_.FirmwareFile)) {
      main_.Guard([this] { prod_.Edit6DblClick(); });
      Refresh();
      return true;
    }
  }
  return QWidget::eventFilter(watched, e);
}

}  // namespace vex
