#include "platform/file_dialogs.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QStringList>

#include "engine/message_sink.h"
#include "platform/message_boxes.h"
#include "platform/text_helpers.h"
#include "platform/window.h"
#include "platform/window_impl.h"

namespace vantoril {

std::vector<FileFilter> ParseFileFilter(std::string_view filter) {
  std::vector<std::string> parts = SplitText(filter, '|');
  std::vector<FileFilter> filters;
  for (size_t i = 0; i + 1 < parts.size(); i += 2) {
    if (parts[i].empty() && parts[i + 1].empty()) {
      break;
    }
    FileFilter entry;
    entry.description = parts[i];
    for (std::string& pattern : SplitText(parts[i + 1], ';')) {
      if (!pattern.empty()) {
        entry.patterns.push_back(std::move(pattern));
      }
    }
    filters.push_back(std::move(entry));
  }
  return filters;
}

std::vector<std::string> DialogNameFilters(std::string_view filter) {
  std::vector<std::string> names;
  for (const FileFilter& entry : ParseFileFilter(filter)) {
    std::string patterns;
    const auto add = [&patterns](const std::string& pattern) {
      if (!patterns.empty()) {
        patterns += ' ';
      }
      patterns += pattern;
    };
    for (const std::string& pattern : entry.patterns) {
      if (pattern == "*.*" || pattern == "*") {
        add("*");
        continue;
      }
      add(pattern);
      std::string upper = pattern;
      UpperCase(upper);
      if (upper != pattern) {
        add(upper);
      }
    }
    names.push_back(entry.description + " (" + patterns + ")");
  }
  return names;
}

namespace {

QString ToQString(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// A dialog set up as the program's dialogs are: never the desktop's own
// (which tests could not drive and which would differ between desktops).
void Prepare(QFileDialog& dialog, std::string_view filter, std::string_view defaultExtension,
             std::string_view startingFolder, std::string_view currentName) {
  dialog.setOption(QFileDialog::DontUseNativeDialog, true);
  dialog.setOption(QFileDialog::HideNameFilterDetails, true);
  QStringList names;
  for (const std::string& name : DialogNameFilters(filter)) {
    names << QString::fromStdString(name);
  }
  if (!names.isEmpty()) {
    dialog.setNameFilters(names);
  }
  std::string_view extension = defaultExtension;
  if (!extension.empty() && extension.front() == '.') {
    extension.remove_prefix(1);
  }
  dialog.setDefaultSuffix(ToQString(extension));
  std::string name(currentName);
  while (!name.empty() && (name.back() == '\\' || name.back() == '/')) {
    name.pop_back();
  }
  if (name.size() < 4) {
    name.clear();
  }
  QString folder = ToQString(startingFolder);
  const QFileInfo nameInfo(ToQString(name));
  if (!name.empty() && nameInfo.isDir()) {
    folder = nameInfo.absoluteFilePath();
    name.clear();
  }
  if (!folder.isEmpty() && QFileInfo(folder).isDir()) {
    dialog.setDirectory(folder);
  } else if (!name.empty() && nameInfo.absoluteDir().exists()) {
    dialog.setDirectory(nameInfo.absolutePath());
  }
  if (!name.empty()) {
    dialog.selectFile(nameInfo.fileName());
  }
}

bool ToFileSpec(const QString& path, FileSpec& fileRef) {
  const std::string text = path.toStdString();
  FileSpec chosen;
  if (!chosen.SetPath(text)) {
    ShowErrorBox(kPathTooLongMessage, MessageSink::kNoCode);
    return false;
  }
  fileRef = chosen;
  return true;
}

QWidget* OwnerWidget(Window* owner) {
  return owner != nullptr ? FrameOf(*owner) : nullptr;
}

}  // namespace

bool OpenFileDialog(Window* owner, FileSpec& fileRef, std::string_view filter,
                    std::string_view defaultExtension, std::string_view startingFolder) {
  QFileDialog dialog(OwnerWidget(owner));
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setFileMode(QFileDialog::ExistingFile);
  Prepare(dialog, filter, defaultExtension, startingFolder, fileRef.Path());
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
    return false;
  }
  return ToFileSpec(dialog.selectedFiles().front(), fileRef);
}

bool OpenFilesDialog(Window* owner, std::vector<FileSpec>& chosen, std::string_view filter,
                     std::string_view defaultExtension, std::string_view startingFolder) {
  QFileDialog dialog(OwnerWidget(owner));
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setFileMode(QFileDialog::ExistingFiles);
  Prepare(dialog, filter, defaultExtension, startingFolder, {});
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
    return false;
  }
  std::vector<FileSpec> specs;
  for (const QString& path : dialog.selectedFiles()) {
    FileSpec fileRef;
    if (!ToFileSpec(path, fileRef)) {
      return false;
    }
    specs.push_back(fileRef);
  }
  chosen = std::move(specs);
  return true;
}

bool SaveFileDialog(Window* owner, FileSpec& fileRef, std::string_view filter,
                    std::string_view defaultExtension, std::string_view startingFolder) {
  QFileDialog dialog(OwnerWidget(owner));
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setFileMode(QFileDialog::AnyFile);
  dialog.setOption(QFileDialog::DontConfirmOverwrite, false);
  Prepare(dialog, filter, defaultExtension, startingFolder, fileRef.Path());
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
    return false;
  }
  return ToFileSpec(dialog.selectedFiles().front(), fileRef);
}

}  // namespace vantoril
