#include "platform/edit_control.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QPointer>

#include "platform/window.h"
#include "platform/window_impl.h"

namespace vantoril {

namespace {

// Keys typed into the edit stay there: a line edit passes Enter and Escape
// on to its parent otherwise, where they would end the dialog around it.
class KeepingLineEdit : public QLineEdit {
 public:
  using QLineEdit::QLineEdit;

 protected:
  void keyPressEvent(QKeyEvent* event) override {
    QLineEdit::keyPressEvent(event);
    event->accept();
  }
  void keyReleaseEvent(QKeyEvent* event) override {
    QLineEdit::keyReleaseEvent(event);
    event->accept();
  }
};

}  // namespace

struct EditControl::Impl {
  QPointer<QLineEdit> edit;
  int id = 0;
};

EditControl::EditControl() : impl_(std::make_unique<Impl>()) {}
EditControl::~EditControl() {
  Destroy();
}

bool EditControl::Create(Window& parent, int x, int y, int width, int height, int id, FontId font,
                         std::string_view text, int maxLength) {
  Destroy();
  QWidget* canvas = CanvasOf(parent);
  if (canvas == nullptr) {
    return false;
  }
  auto* edit = new KeepingLineEdit(canvas);
  edit->setObjectName(QStringLiteral("inPlaceEdit"));
  edit->setFrame(true);
  edit->setGeometry(x, y, width, height);
  if (maxLength > 0) {
    edit->setMaxLength(maxLength);
  }
  edit->setFont(FontForId(font));
  edit->setText(QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
  edit->selectAll();
  edit->show();
  edit->setFocus(Qt::OtherFocusReason);
  impl_->edit = edit;
  impl_->id = id;
  return true;
}

void EditControl::Destroy() {
  if (impl_->edit) {
    QWidget* parent = impl_->edit->parentWidget();
    delete impl_->edit.data();
    if (parent != nullptr) {
      parent->setFocus(Qt::OtherFocusReason);
    }
  }
  impl_->id = 0;
}

bool EditControl::IsOpen() const {
  return !impl_->edit.isNull();
}
int EditControl::Id() const {
  return impl_->id;
}

std::string EditControl::Text() const {
  return impl_->edit ? impl_->edit->text().toStdString() : std::string();
}

void EditControl::SetText(std::string_view text) {
  if (impl_->edit) {
    impl_->edit->setText(QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
  }
}

}  // namespace vantoril
