#include "platform/message_boxes.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QFontMetrics>
#include <QGridLayout>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>

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

// Room for a title bar's icon and its three buttons, as common desktops draw
// them.
constexpr int kTitleBarDecoration = 150;

// A message box sizes itself to its text and buttons; a spanning spacer is
// the one width it always honours.
void MakeRoomForTitle(QMessageBox& box, std::string_view title) {
  auto* grid = qobject_cast<QGridLayout*>(box.layout());
  if (grid == nullptr) return;
  grid->addItem(
      new QSpacerItem(TitleBarWidth(title), 0, QSizePolicy::Minimum, QSizePolicy::Minimum),
      grid->rowCount(), 0, 1, grid->columnCount());
}

}  // namespace

int TitleBarWidth(std::string_view title) {
  QFont font = QGuiApplication::font();
  font.setBold(true);
  return QFontMetrics(font).horizontalAdvance(ToQString(title)) + kTitleBarDecoration;
}

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
  MakeRoomForTitle(box, caption);
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
  MakeRoomForTitle(box, caption);
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
  dialog.setMinimumWidth(std::max(280, TitleBarWidth(title)));
  edit->setFocus();
  // Escape rejects: the typed text is dropped and the caller's stays.
  if (dialog.exec() != QDialog::Accepted) {
    return false;
  }
  text = edit->text().left(79).toStdString();
  return true;
}

}  // namespace vantoril
