// The boot mixer dialog "Create Bootable Application": three file fields and "Create Mixed Hex
// File", bound to the image store TMixer1. A double click on a field chooses its file; the mix
// runs in the store and the dialog closes after it, whether it succeeded or not.
#pragma once

#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <string>

#include "app/ToolWindow.h"
#include "firmware/Mixer.h"

namespace vex {

class TMain1;

// The store's filter text ("(*.Hex) Hex Files|*.Hex|...": caption, pattern, caption, pattern)
// as a file dialog filter of Qt: one entry per pair, the caption kept as written.
QString QtFileFilter(const std::string& filter);

// File dialogs of the boot mixer through Qt's file dialogs.
class QtMixerDialogs : public IMixerDialogs {
 public:
  explicit QtMixerDialogs(QWidget* parent) : parent_(parent) {}
  bool OpenFile(const std::string& filter, std::string& name) override;
  bool SaveFile(const std::string& filter, std::string& name) override;

 private:
  QWidget* parent_;
};

class MixerView : public QDialog {
  Q_OBJECT
 public:
  MixerView(TMixer1& mixer, TMain1& main, QWidget* parent = nullptr);
  ~MixerView() override;
  IToolWindow& Tool() { return tool_; }

  // k = 1 "Bootcode Hex File:", 2 "Firmware Hex File:", 3 "Destination Hex File:"
  QLineEdit* Field(int k) const { return edits_[k - 1]; }
  QLabel* FieldLabel(int k) const { return labels_[k - 1]; }
  QPushButton* MixButton() const { return button_; }

 protected:
  void showEvent(QShowEvent* e) override;
  bool eventFilter(QObject* watched, QEvent* e) override;

 private:
  PlainField& CoreField(int k) const;
  void ShowFields();  // the store's field texts into the edits
  void Create();      // "Create Mixed Hex File"

  TMixer1& mixer_;
  TMain1& main_;
  QtToolWindow tool_;
  QtMixerDialogs dialogs_;
  QLabel* labels_[3] = {};
  QLineEdit* edits_[3] = {};
  QPushButton* button_ = nullptr;
};

}  // namespace vex
