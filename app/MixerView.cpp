#include "app/MixerView.h"

#include <QEvent>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QStringList>
#include <QVBoxLayout>

#include "shell/Main.h"

namespace vex {

QString QtFileFilter(const std::string& filter) {
  const QStringList parts = QString::fromStdString(filter).split('|');
  QStringList entries;
  for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
    // Qt takes the patterns from the last parenthesised group of an entry
    QString patterns = parts[i + 1];
    patterns.replace(';', ' ');
    entries << parts[i] + " (" + patterns + ")";
  }
  return entries.join(";;");
}

bool QtMixerDialogs::OpenFile(const std::string& filter, std::string& name) {
  const QString f =
      QFileDialog::getOpenFileName(parent_, QString(), QString::fromStdString(name), QtFileFilter(filter));
  if (f.isEmpty()) return false;
  name = f.toStdString();
  return true;
}

bool QtMixerDialogs::SaveFile(const std::string& filter, std::string& name) {
  const QString f =
      QFileDialog::getSaveFileName(parent_, QString(), QString::fromStdString(name), QtFileFilter(filter));
  if (f.isEmpty()) return false;
  name = f.toStdString();
  return true;
}

MixerView::MixerView(TMixer1& mixer, TMain1& main, QWidget* parent)
    : QDialog(parent), mixer_(mixer), main_(main), tool_(this), dialogs_(this) {
  setObjectName("Mixer1");
  setWindowTitle("Create Bootable Application");
  auto* v = new QVBoxLayout(this);
  v->setContentsMargins(12, 10, 12, 12);
  v->setSpacing(2);
  for (int k = 1; k <= 3; ++k) {
    PlainField& f = CoreField(k);
    auto* label = new QLabel(QString::fromStdString(f.Caption()), this);
    auto* edit = new QLineEdit(this);
    edit->setObjectName(QString("Edit%1").arg(k));
    edit->setMinimumWidth(420);
    label->setBuddy(edit);
    edit->installEventFilter(this);
    connect(edit, &QLineEdit::textEdited, this, [&f](const QString& t) { f.SetText(t.toStdString()); });
    labels_[k - 1] = label;
    edits_[k - 1] = edit;
    if (k > 1) v->addSpacing(8);
    v->addWidget(label);
    v->addWidget(edit);
  }
  button_ = new QPushButton("Create Mixed Hex File", this);
  button_->setObjectName("Button1");
  button_->setAutoDefault(false);
  connect(button_, &QPushButton::clicked, this, [this] { Create(); });
  auto* row = new QHBoxLayout;
  row->addStretch(1);
  row->addWidget(button_);
  row->addStretch(1);
  v->addSpacing(12);
  v->addLayout(row);
  setFixedHeight(sizeHint().height());

  if (!mixer_.Dialogs) mixer_.Dialogs = &dialogs_;
  ShowFields();
}

MixerView::~MixerView() {
  for (QLineEdit* e : edits_) e->removeEventFilter(this);
  if (mixer_.Dialogs == &dialogs_) mixer_.Dialogs = nullptr;
}

PlainField& MixerView::CoreField(int k) const {
  return k == 1 ? mixer_.Edit1 : k == 2 ? mixer_.Edit2 : mixer_.Edit3;
}

void MixerView::ShowFields() {
  for (int k = 1; k <= 3; ++k) {
    const QString t = QString::fromStdString(CoreField(k).Text());
    if (edits_[k - 1]->text() != t) edits_[k - 1]->setText(t);
  }
}

void MixerView::showEvent(QShowEvent* e) {
  mixer_.FormShow();
  ShowFields();
  QDialog::showEvent(e);
}

bool MixerView::eventFilter(QObject* watched, QEvent* e) {
  if (e->type() == QEvent::MouseButtonDblClick) {
    for (int k = 1; k <= 3; ++k) {
      if (watched != edits_[k - 1]) continue;
      main_.Guard([this, k] {
        if (k == 1) mixer_.Edit1DblClick();
        if (k == 2) mixer_.Edit2DblClick();
        if (k == 3) mixer_.Edit3DblClick();
      });
      ShowFields();
      return true;
    }
  }
  return QDialog::eventFilter(watched, e);
}

void MixerView::Create() {
  mixer_.CloseRequested = false;
  main_.Guard([this] { mixer_.Button1Click(); });
  if (mixer_.CloseRequested) {
    mixer_.CloseRequested = false;
    accept();
  }
}

}  // namespace vex
