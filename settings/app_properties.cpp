// The application properties EXEName and Path.
#include "settings/app_properties.h"

namespace np {

namespace {

std::wstring FolderOf(const std::wstring& file_name) {
  const std::size_t slash = file_name.find_last_of(L"\\/");
  if (slash == std::wstring::npos) return {};
  std::wstring folder = file_name.substr(0, slash);
  if (folder.size() == 2 && folder[1] == L':') folder += L'\\';  // a drive root keeps its backslash
  return folder;
}

std::wstring BaseNameOf(const std::wstring& file_name) {
  const std::size_t slash = file_name.find_last_of(L"\\/");
  std::wstring name = slash == std::wstring::npos ? file_name : file_name.substr(slash + 1);
  const std::size_t dot = name.rfind(L'.');
  if (dot != std::wstring::npos && dot != 0) name.erase(dot);
  return name;
}

}  // namespace

std::wstring AppPath(Application& app) { return FolderOf(app.ModuleFileName()); }

std::wstring AppExeName(Application& app) { return BaseNameOf(app.ModuleFileName()); }

}  // namespace np
