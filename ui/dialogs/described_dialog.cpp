#include "ui/dialogs/described_dialog.h"

#include <algorithm>
#include <cstdlib>
#include <optional>
#include <string_view>

#include "platform/commands_held.h"
#include "platform/drawing.h"
#include "platform/edit_control.h"
#include "platform/file_dialogs.h"
#include "platform/message_queue.h"
#include "platform/text_helpers.h"
#include "platform/window.h"

namespace vantoril {

namespace {

constexpr uint32_t kGroove = Rgb(96, 96, 96);
constexpr uint32_t kFolderGrey = Rgb(224, 224, 224);
constexpr int kRowHeight = 20;
constexpr int kFirstRowOffset = 36;
constexpr size_t kFolderCapacity = FileSpec::kPathCapacity - 1;

enum class RowKind { kText, kCheck, kRadio, kSlider, kFolder };

RowKind KindOf(std::string_view description) {
  if (description.size() >= 2 && description[0] == '@') {
    switch (description[1]) {
      case 'C':
        return RowKind::kCheck;
      case 'R':
        return RowKind::kRadio;
      case 'S':
        return RowKind::kSlider;
      case 'F':
        return RowKind::kFolder;
      default:
        break;
    }
  }
  return RowKind::kText;
}

std::string_view Caption(std::string_view description) {
  return KindOf(description) == RowKind::kText ? description : description.substr(2);
}

bool IsSet(std::string_view value) {
  return !value.empty() && value[0] != 0;
}

int SliderValue(std::string_view value) {
  return std::clamp(std::atoi(std::string(value).c_str()), 0, 100);
}

// The dialog's frame, measured from its rows.
struct Geometry {
  int x0 = 0;
  int y0 = 0;
  int rows = 0;
  int labelWidth = 0;  // W

  int LabelRight() const { return x0 + labelWidth; }  // L
  Rect Dialog() const {
    return Rect{x0, y0, x0 + 2 * labelWidth + 16, y0 + 78 + kRowHeight * rows};
  }
  Rect ValueBox(int row) const {
    return Rect{LabelRight() + 16, y0 + kFirstRowOffset + kRowHeight * row, x0 + 2 * labelWidth + 8,
                y0 + 52 + kRowHeight * row};
  }
};

Geometry Measure(int x0, int y0, std::span<const std::string> descriptions) {
  Geometry geometry{x0, y0, static_cast<int>(descriptions.size()), 0};
  for (const std::string& description : descriptions) {
    geometry.labelWidth = std::max(geometry.labelWidth, TextWidth(description));
  }
  return geometry;
}

void PaintRow(const Geometry& g, int row, int radioSpan, std::string_view description,
              std::string_view value) {
  const Rect box = g.ValueBox(row);
  const int textTop = box.bottom - 14;
  const int labelX = g.LabelRight() + 12;
  const std::string_view caption = Caption(description);
  switch (KindOf(description)) {
    case RowKind::kText:
      DrawText(kBlack, description, labelX, textTop, kAlignRight);
      DrawFilledRect(kWhite, box);
      DrawOutlineRect(kBlack, box);
      DrawText(kBlack, value, box.left + 4, textTop, kAlignLeft);
      break;
    case RowKind::kCheck:
      DrawText(kBlack, caption, labelX, textTop, kAlignRight);
      DrawCheckBox(kWhite, Rect{box.left, box.bottom - 14, box.left + 12, box.bottom - 2},
                   IsSet(value));
      break;
    case RowKind::kRadio: {
      std::string_view choice = caption;
      if (const size_t bar = caption.find('|'); bar != std::string_view::npos) {
        const std::string_view group = caption.substr(0, bar);
        choice = caption.substr(bar + 1);
        const int width = TextWidth(group);
        const int x = box.left - width;
        const int captionTop = textTop + 10 * radioSpan;
        const int top = box.bottom - 8;
        const int bottom = top + kRowHeight * radioSpan;
        DrawText(kBlack, group, x, captionTop, kAlignCentre);
        DrawLine(kBlack, Rect{x, top, x, captionTop - 2});
        DrawLine(kBlack, Rect{x, captionTop + 14, x, bottom});
        DrawLine(kBlack, Rect{x, top, box.left - 8, top});
        DrawLine(kBlack, Rect{x, bottom, box.left - 8, bottom});
      }
      DrawRadioCircle(kBlack, Rect{box.left, box.bottom - 12, box.left + 9, box.bottom - 3},
                      IsSet(value));
      DrawText(kBlack, choice, g.LabelRight() + 30, textTop, kAlignLeft);
      break;
    }
    case RowKind::kSlider:
      DrawText(kBlack, std::string(caption) + ":", labelX, textTop, kAlignRight);
      DrawSlider(kLightGrey, kGroove, Rect{box.left, box.top + 5, box.right - 19, box.bottom},
                 SliderValue(value), 100, false);
      break;
    case RowKind::kFolder: {
      DrawText(kBlack, std::string(caption) + ":", labelX, textTop, kAlignRight);
      DrawFilledRect(kFolderGrey, box);
      DrawOutlineRect(kBlack, box);
      std::string shown(value);
      FitTextToWidth(shown, RectWidth(box) - 9);
      DrawText(kBlack, shown, box.left + 4, textTop, kAlignLeft);
      break;
    }
  }
}

void Paint(const Geometry& g, std::span<const std::string> descriptions,
           std::span<const std::string> values, std::string_view title) {
  const Rect dialog = g.Dialog();
  DrawFilledRect(kLightGrey, dialog);
  DrawFilledRoundRect(kBlack,
                      Rect{dialog.left + 8, dialog.top + 8, dialog.right - 8, dialog.top + 24}, 4);
  DrawText(kWhite, title, g.LabelRight() + 8, g.y0 + 9, kAlignCentre);
  DrawBevel(kWhite, kDarkGrey, dialog);
  const int radioRows = static_cast<int>(
      std::count_if(descriptions.begin(), descriptions.end(),
                    [](const std::string& d) { return KindOf(d) == RowKind::kRadio; }));
  const int radioSpan = radioRows - 1;
  for (int row = 0; row < g.rows; ++row) {
    PaintRow(g, row, radioSpan, descriptions[static_cast<size_t>(row)],
             values[static_cast<size_t>(row)]);
  }
  const char* const kButtons[2] = {"OK", "Cancel"};
  for (int i = 0; i < 2; ++i) {
    Rect button = g.ValueBox(g.rows + i);
    button.left = button.right - 60;
    DrawOutlineRoundRect(kBlack, button, 10);
    DrawText(kBlack, kButtons[i], button.left + 30, button.bottom - 14, kAlignCentre);
  }
}

// One run of the dialog.
class DescribedDialog {
 public:
  DescribedDialog(Window& host, const Geometry& geometry, std::span<const std::string> descriptions,
                  std::span<std::string> values, std::string_view title)
      : host_(host), g_(geometry), descriptions_(descriptions), values_(values), title_(title) {}

  int Run() {
    const CommandsHeld held;
    Repaint();
    Message message;
    for (;;) {
      if (!GetMessage(message)) {
        PostQuitMessage(QuitCode());  // the program's own loop must see it too
        return Leave(0);
      }
      if (const std::optional<int> result = Handle(message)) {
        return Leave(*result);
      }
    }
  }

 private:
  std::optional<int> Handle(const Message& message) {
    const bool onHost = message.window == host_.Handle();
    const int x = MouseX(message.lParam);
    const int y = MouseY(message.lParam);
    switch (message.message) {
      case kWmKeyDown:
      case kWmChar:
        // Keys typed into the open edit stay in it and never arrive here.
        if (message.wParam == 27) return 0;
        if (message.wParam == 13) return 1;
        return std::nullopt;
      case kWmLButtonUp:
        dragging_ = false;
        return std::nullopt;
      case kWmMouseMove:
        if (dragging_ && onHost) {
          const int row = RowAt(y);
          if (row >= 0 && row < g_.rows && KindOf(Description(row)) == RowKind::kSlider) {
            SetSlider(row, x);
            Repaint();
          }
        }
        return std::nullopt;
      case kWmLButtonDown:
        return onHost ? Press(x, y) : std::optional<int>(0);
      case kWmClose:
        // A request to close a window (the session ending, say) cancels the
        // dialog and waits for the program's own loop.
        PostMessage(message.window, kWmClose, 0, 0);
        return 0;
      default:
        return std::nullopt;  // nothing else is dispatched while the dialog runs
    }
  }

  std::optional<int> Press(int x, int y) {
    CommitEdit();
    // A press anywhere outside the dialog cancels it, above it as well.
    const Rect dialog = g_.Dialog();
    if (x < dialog.left || x >= dialog.right || y < dialog.top || y >= dialog.bottom) {
      return 0;
    }
    const int row = RowAt(y);
    if (row < 0) {
      return std::nullopt;  // the title area
    }
    if (row == g_.rows) {
      return 1;  // the whole "OK" row acts as the button
    }
    if (row > g_.rows) {
      return 0;
    }
    if (x < g_.LabelRight() + 13) {
      return std::nullopt;
    }
    std::string& value = values_[static_cast<size_t>(row)];
    switch (KindOf(Description(row))) {
      case RowKind::kText:
        edit_.Create(host_, g_.LabelRight() + 15, g_.y0 + kFirstRowOffset + kRowHeight * row,
                     g_.labelWidth - 8, 20, 0, GetInterfaceFont(InterfaceFont::k10), value,
                     static_cast<int>(kDialogValueCapacity));
        editRow_ = row;
        break;
      case RowKind::kCheck:
        value = IsSet(value) ? "" : "1";
        break;
      case RowKind::kRadio:
        for (size_t i = 0; i < values_.size(); ++i) {
          if (KindOf(descriptions_[i]) == RowKind::kRadio) {
            values_[i].clear();
          }
        }
        value = "1";
        break;
      case RowKind::kSlider:
        dragging_ = true;
        SetSlider(row, x);
        break;
      case RowKind::kFolder:
        ChooseFolder(value);
        break;
    }
    Repaint();
    return std::nullopt;
  }

  // Rows start at their top edge; the title area above row 0 is no row.
  int RowAt(int y) const {
    const int offset = y - g_.y0 - kFirstRowOffset;
    return offset < 0 ? -1 - (-offset - 1) / kRowHeight : offset / kRowHeight;
  }

  void SetSlider(int row, int x) {
    const int span = g_.labelWidth - 34;
    double t = 0.0;
    if (span > 0) {
      t = static_cast<double>(x - g_.LabelRight() - 16) / span;
    } else {
      t = x >= g_.LabelRight() + 16 ? 1.0 : 0.0;
    }
    t = std::clamp(t, 0.0, 1.0);
    values_[static_cast<size_t>(row)] = std::to_string(static_cast<int>(t * 100));
  }

  void ChooseFolder(std::string& value) {
    FileSpec& folder = DescribedDialogFolder();
    if (OpenFileDialog(&host_, folder, "All Files (*.*)|*.*|", ".bmp", {})) {
      // The whole folder: a cut path would name another folder.
      value = std::string(FolderPart(folder.Path()).substr(0, kFolderCapacity));
    }
  }

  void CommitEdit() {
    if (editRow_ >= 0 && edit_.IsOpen()) {
      std::string text = edit_.Text();
      if (text.size() > kDialogValueCapacity) {
        text.resize(kDialogValueCapacity);
      }
      values_[static_cast<size_t>(editRow_)] = std::move(text);
    }
    edit_.Destroy();
    editRow_ = -1;
  }

  int Leave(int result) {
    CommitEdit();
    return result;
  }

  void Repaint() { Paint(g_, descriptions_, std::span<const std::string>(values_), title_); }

  std::string_view Description(int row) const { return descriptions_[static_cast<size_t>(row)]; }

  Window& host_;
  Geometry g_;
  std::span<const std::string> descriptions_;
  std::span<std::string> values_;
  std::string_view title_;
  EditControl edit_;
  int editRow_ = -1;
  bool dragging_ = false;
};

}  // namespace

FileSpec& DescribedDialogFolder() {
  static FileSpec folder{};
  return folder;
}

void PaintDescribedDialog(int x0, int y0, std::span<const std::string> descriptions,
                          std::span<const std::string> values, std::string_view title) {
  const size_t rows = std::min(descriptions.size(), values.size());
  Paint(Measure(x0, y0, descriptions.first(rows)), descriptions.first(rows), values.first(rows),
        title);
}

int RunDescribedDialog(Window& host, int x0, int y0, std::span<const std::string> descriptions,
                       std::span<std::string> values, std::string_view title) {
  const size_t rows = std::min(descriptions.size(), values.size());
  if (rows == 0 || !host.IsCreated()) {
    return 0;
  }
  DrawingScope scope(host);
  SelectFont(GetInterfaceFont(InterfaceFont::k10), std::nullopt, kTransparent);
  const Geometry geometry = Measure(x0, y0, descriptions.first(rows));
  DescribedDialog dialog(host, geometry, descriptions.first(rows), values.first(rows), title);
  const int result = dialog.Run();
  SelectFont(kNoFont);
  return result;
}

}  // namespace vantoril
