#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace vantoril {

class Window;

// Item flags.
inline constexpr uint32_t kMenuChecked = 1;
inline constexpr uint32_t kMenuGreyed = 2;
inline constexpr uint32_t kMenuDisabled = 4;
inline constexpr int kMenuSeparator = -1;

// "Load Picture/L" is shown as "Load Picture", a TAB and "Ctrl+L". The text
// only shows the key: keys go through the program's own key tables.
std::string MenuItemText(std::string_view text);

// The menu bar of an overlapped window. A chosen item posts kWmCommand with
// its id to the owner window.
class MenuBar {
 public:
  explicit MenuBar(Window& owner);
  ~MenuBar();
  MenuBar(const MenuBar&) = delete;
  MenuBar& operator=(const MenuBar&) = delete;

  // Items added afterwards go into this submenu.
  void AddSubmenu(std::string_view text, bool greyed = false);
  // kMenuSeparator as the id adds a separator.
  void AddItem(int id, std::string_view text, uint32_t flags = 0);
  // Sets checked, greyed and disabled together; the text stays.
  void SetItemFlags(int id, uint32_t flags);
  void CheckItem(int id, bool checked);

  uint32_t ItemFlags(int id) const;
  std::string ItemText(int id) const;
  int SubmenuCount() const;
  std::string SubmenuText(int index) const;
  // As if the user chose the item: posts the command when it is enabled and
  // commands are not held.
  bool ChooseItem(int id);

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace vantoril
