#include "app/timeline_adapter.h"

#include "app/main_window.h"

namespace vantoril {

std::unique_ptr<TimelineAdapter> TimelineAdapter::Create(MainWindow& main, ShowDocument& document,
                                                         const SettingsStore& settings) {
  auto adapter = std::make_unique<TimelineAdapter>(main, document, settings);
  if (!adapter->window_.Create(&main)) return nullptr;
  return adapter;
}

TimelineAdapter::TimelineAdapter(MainWindow& main, ShowDocument& document,
                                 const SettingsStore& settings)
    : owner_(main), window_(document, settings, owner_), main_(main) {}

void TimelineAdapter::Repaint() {
  window_.UpdateCurrentKey();
  window_.Repaint();
  main_.UpdateEditMenu();
}

}  // namespace vantoril
