#include "app/EventView.h"

#include <QFontDatabase>
#include <QHBoxLayout>
#include <QTextBlock>
#include <QTextCursor>
#include <QVBoxLayout>

#include "shell/Main.h"

namespace vex {

EventView::EventView(TEvent1& event, TMain1& main, QWidget* parent)
    : QWidget(parent, Qt::Window), event_(event), tool_(this) {
  setObjectName("Event1");
  setWindowTitle(TEvent1::cCaption);
  memo_ = new QPlainTextEdit(this);
  memo_->setObjectName("Memo1");
  memo_->setReadOnly(true);
  memo_->setLineWrapMode(QPlainTextEdit::NoWrap);
  memo_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  clear_ = new QPushButton("Clear", this);
  clear_->setObjectName("Button1");
  connect(clear_, &QPushButton::clicked, this, [this, &main] { main.Guard([this] { event_.Clear(); }); });

  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(clear_);
  auto* l = new QVBoxLayout(this);
  l->setContentsMargins(6, 6, 6, 6);
  l->addWidget(memo_, 1);
  l->addLayout(buttons);
  resize(560, 320);

  // emptied at creation; then it follows the window's lines
  memo_->clear();
  for (const auto& line : event_.Lines()) memo_->appendPlainText(QString::fromStdString(line));
  event_.SetView(this);
}

EventView::~EventView() { event_.SetView(nullptr); }

void EventView::LineAdded(const std::string& line) { memo_->appendPlainText(QString::fromStdString(line)); }

void EventView::FirstLineRemoved() {
  QTextCursor c(memo_->document()->firstBlock());
  if (!c.movePosition(QTextCursor::NextBlock, QTextCursor::KeepAnchor))  // the line with its end
    c.movePosition(QTextCursor::EndOfBlock, QTextCursor::KeepAnchor);    // the only line
  c.removeSelectedText();
}

void EventView::Cleared() { memo_->clear(); }

void EventView::showEvent(QShowEvent* e) {
  event_.Visible = true;
  QWidget::showEvent(e);
}

void EventView::hideEvent(QHideEvent* e) {
  event_.Visible = false;
  QWidget::hideEvent(e);
}

}  // namespace vex
