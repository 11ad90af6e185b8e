#include "platform/app_window_list.h"

#include <algorithm>
#include <vector>

namespace vantoril {

namespace {

std::vector<WindowHandle>& List() {
  static std::vector<WindowHandle> list;
  return list;
}

}  // namespace

void AppWindowList::Clear() {
  List().clear();
}

bool AppWindowList::Add(WindowHandle window) {
  if (List().size() >= kCapacity) {
    return false;
  }
  List().push_back(window);
  return true;
}

void AppWindowList::Remove(WindowHandle window) {
  auto& list = List();
  if (const auto found = std::find(list.begin(), list.end(), window); found != list.end()) {
    list.erase(found);
  }
}

bool AppWindowList::Contains(WindowHandle window) {
  const auto& list = List();
  return window != 0 && std::find(list.begin(), list.end(), window) != list.end();
}

size_t AppWindowList::Count() {
  return List().size();
}

}  // namespace vantoril
