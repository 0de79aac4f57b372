// The window "Vex Events": the event lines of TEvent1 in a read-only text area and "Clear".
#pragma once

#include <QPlainTextEdit>
#include <QPushButton>
#include <QWidget>

#include "app/ToolWindow.h"
#include "comm/Event.h"

namespace vex {

class TMain1;

class EventView : public QWidget, public IEventView {
  Q_OBJECT
 public:
  EventView(TEvent1& event, TMain1& main, QWidget* parent = nullptr);
  ~EventView() override;
  IToolWindow& Tool() { return tool_; }
  QPlainTextEdit* TextArea() const { return memo_; }
  QPushButton* ClearButton() const { return clear_; }

  // IEventView
  void LineAdded(const std::string& line) override;
  void FirstLineRemoved() override;
  void Cleared() override;

 protected:
  void showEvent(QShowEvent* e) override;
  void hideEvent(QHideEvent* e) override;

 private:
  TEvent1& event_;
  QtToolWindow tool_;
  QPlainTextEdit* memo_;
  QPushButton* clear_;
};

}  // namespace vex
