#include "platform/message_boxes.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QVBoxLayout>

#include "platform/message_log.h"

namespace vantoril {

namespace {

QString ToQString(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

void MakeTopMost(QWidget& widget) {
  widget.setWindowFlags(widget.windowFlags() | Qt::WindowStaysOnTopHint);
  if (const auto* box = qobject_cast<QMessageBox*>(&widget)) {
    LogShownMessage(box->text().toStdString());
  }
}

}  // namespace

std::string ErrorBoxText(std::string_view text, long code) {
  std::string shown(text);
  if (code != MessageSink::kNoCode) {
    shown += "  [ " + std::to_string(code) + " ]";
  }
  return shown;
}

void ShowErrorBox(std::string_view text, long code) {
  QMessageBox box(QMessageBox::Warning, QString(), ToQString(ErrorBoxText(text, code)),
                  QMessageBox::Ok);
  MakeTopMost(box);
  box.exec();
}

int AskYesNoCancel(std::string_view text, std::string_view caption) {
  QMessageBox box(QMessageBox::Question, ToQString(caption), ToQString(text),
                  QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
  MakeTopMost(box);
  box.setEscapeButton(QMessageBox::Cancel);
  switch (box.exec()) {
    case QMessageBox::Yes:
      return 1;
    case QMessageBox::No:
      return 0;
    default:
      return -1;
  }
}

bool AskYesNo(std::string_view text, std::string_view caption) {
  QMessageBox box(QMessageBox::Question, ToQString(caption), ToQString(text),
                  QMessageBox::Yes | QMessageBox::No);
  MakeTopMost(box);
  box.setEscapeButton(QMessageBox::No);
  return box.exec() == QMessageBox::Yes;
}

bool AskYesNoDefaultNo(std::string_view text, std::string_view caption) {
  QMessageBox box(QMessageBox::Warning, ToQString(caption), ToQString(text),
                  QMessageBox::Yes | QMessageBox::No);
  MakeTopMost(box);
  box.setDefaultButton(QMessageBox::No);
  box.setEscapeButton(QMessageBox::No);
  return box.exec() == QMessageBox::Yes;
}

void ShowInformationBox(std::string_view text) {
  QMessageBox box(QMessageBox::Information, QString(), ToQString(text), QMessageBox::Ok);
  MakeTopMost(box);
  box.exec();
}

bool PromptForText(std::string& text, std::string_view title, std::string_view firstLine,
                   std::string_view secondLine) {
  QDialog dialog;
  dialog.setWindowTitle(ToQString(title));
  dialog.setObjectName(QStringLiteral("textPrompt"));
  auto* layout = new QVBoxLayout(&dialog);
  for (std::string_view line : {firstLine, secondLine}) {
    auto* label = new QLabel(ToQString(line), &dialog);
    label->setAlignment(Qt::AlignHCenter);
    layout->addWidget(label);
  }
  auto* edit = new QLineEdit(&dialog);
  edit->setObjectName(QStringLiteral("promptEdit"));
  edit->setMaxLength(79);
  edit->setText(ToQString(text));
  edit->selectAll();
  layout->addWidget(edit);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, &dialog);
  buttons->button(QDialogButtonBox::Ok)->setDefault(true);
  QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
  layout->addWidget(buttons);
  dialog.setMinimumWidth(280);
  edit->setFocus();
  // Escape rejects: the typed text is dropped and the caller's stays.
  if (dialog.exec() != QDialog::Accepted) {
    return false;
  }
  text = edit->text().left(79).toStdString();
  return true;
}

}  // namespace vantoril
