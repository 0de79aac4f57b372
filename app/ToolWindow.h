// Qt side of the tool-window seam: a top-level widget as the main window sees it, and the
// placeholder that stands in the start-up order for a tool not built yet.
#pragma once

#include <QLabel>
#include <QWidget>
#include <string>

#include "shell/Main.h"

namespace vex {

// Window operations of IToolWindow on a top-level widget; a tool's view adds its own turns.
class QtToolWindow : public IToolWindow {
 public:
  explicit QtToolWindow(QWidget* w) : w_(w) {}
  bool Visible() const override;
  void Show() override;
  void ShowModal() override;
  TBounds Bounds() const override;
  // Moves the window to the place its rule gives where it fits wholly; otherwise just enough to
  // lie wholly on the screen that holds the main window (shell/Placement).
  void MoveTo(int left, int top) override;
  QWidget* Widget() const { return w_; }

 private:
  QWidget* w_;
};

// A window of a tool that is not available yet: its caption and a line saying so.
class PlaceholderView : public QWidget {
  Q_OBJECT
 public:
  PlaceholderView(const std::string& name, const std::string& caption, QWidget* parent = nullptr);
  const std::string& Name() const { return name_; }
  IToolWindow& Tool() { return tool_; }

 private:
  class PlaceholderTool : public QtToolWindow {
   public:
    using QtToolWindow::QtToolWindow;
    bool Available() const override { return false; }
  };
  std::string name_;
  PlaceholderTool tool_;
};

}  // namespace vex
