// A file dialog as the windows' cores describe it; the views show it with the toolkit's dialogs.
#pragma once

#include <string>

namespace vex {

// `InitialDir` and `FileName` come in as the dialog starts; when a file is chosen `FileName`
// (or the caller's result) holds it.
struct TFileDialog {
  std::string Title;
  std::string Filter;      // "Model Files (*.eem)|*.eem|All Files (*.*)|*.*"
  std::string DefaultExt;  // "eem"
  std::string InitialDir;
  std::string FileName;
};

}  // namespace vex
