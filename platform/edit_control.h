#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "platform/drawing.h"

namespace vantoril {

class Window;

// A single-line edit over a window's client area: bordered, scrolling
// horizontally, shown and focused when created. It keeps every key it gets
// (Enter and Escape included) while it has the focus.
class EditControl {
 public:
  EditControl();
  ~EditControl();
  EditControl(const EditControl&) = delete;
  EditControl& operator=(const EditControl&) = delete;

  // At (x, y) of the parent's client area; the text is all selected.
  bool Create(Window& parent, int x, int y, int width, int height, int id, FontId font,
              std::string_view text, int maxLength);
  void Destroy();
  bool IsOpen() const;
  int Id() const;
  std::string Text() const;
  void SetText(std::string_view text);

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace vantoril
