// An in-memory registry with Win32's rules for handles, rights and value queries.
#include "platform/fake/fake_registry.h"

#include <algorithm>
#include <cstdio>
#include <stdexcept>
#include <utility>

namespace np {
namespace {

constexpr std::uint32_t kKeyQueryValue = 0x1, kKeySetValue = 0x2, kKeyCreateSubKey = 0x4, kKeyCreateLink = 0x20;
constexpr std::uint32_t kWriteRights = kKeySetValue | kKeyCreateSubKey | kKeyCreateLink;
constexpr std::int32_t kErrorNoAccess = 998;

const char* RootName(RegKey key) {
  if (key == kHkeyClassesRoot) return "HKCR";
  if (key == kHkeyCurrentUser) return "HKCU";
  if (key == kHkeyLocalMachine) return "HKLM";
  if (key == kHkeyUsers) return "HKU";
  return nullptr;
}

// Windows compares key and value names without regard to case.
std::wstring Fold(std::wstring_view text) {
  std::wstring out(text);
  for (wchar_t& c : out) {
    if (c >= L'A' && c <= L'Z') c = static_cast<wchar_t>(c - L'A' + L'a');
  }
  return out;
}

std::string Narrow(std::wstring_view text) {
  std::string out;
  for (wchar_t c : text) out.push_back(c >= 0x20 && c < 0x7F ? static_cast<char>(c) : '?');
  return out;
}

std::string Hex(std::uintmax_t value) {
  char text[24];
  std::snprintf(text, sizeof text, "0x%jx", value);
  return text;
}

}  // namespace

FakeRegistry::FakeRegistry(CallLog* log) : log_(log) {
  for (RegKey root : {kHkeyClassesRoot, kHkeyCurrentUser, kHkeyLocalMachine, kHkeyUsers}) {
    keys_[FoldedPath(root, L"")];
  }
}

std::int32_t FakeRegistry::RegOpenKeyExA(RegKey root, std::wstring_view sub_key, std::uint32_t options,
                                         std::uint32_t access, RegKey* result) {
  std::string line = "RegOpenKeyExA " + HandleName(root) + (sub_key.empty() ? "" : "\\" + Narrow(sub_key)) + " " +
                     std::to_string(options) + " " + Hex(access) + " -> ";
  std::int32_t status;
  if (auto scripted = TakeFailure(Op::kOpen)) {
    if (result) *result = 0;
    status = *scripted;
  } else {
    status = Open(root, sub_key, access, result);
  }
  Log(line + std::to_string(status) + (status == kErrorSuccess && result ? " " + Hex(*result) : ""));
  RunAfter(Op::kOpen);
  return status;
}

std::int32_t FakeRegistry::RegQueryValueExA(RegKey key, std::wstring_view value_name, std::uint32_t* type,
                                            std::uint8_t* data, std::uint32_t* byte_count) {
  std::string line = "RegQueryValueExA " + HandleName(key) + " " + Narrow(value_name) + " " +
                     (data ? "buf " : "null ") + (byte_count ? std::to_string(*byte_count) : "null") + " -> ";
  const auto scripted = TakeFailure(Op::kQuery);
  const std::int32_t status = scripted ? *scripted : Query(key, value_name, type, data, byte_count);
  Log(line + std::to_string(status));
  RunAfter(Op::kQuery);
  return status;
}

std::int32_t FakeRegistry::RegSetValueExA(RegKey key, std::wstring_view value_name, std::uint32_t type,
                                          const std::uint8_t* data, std::uint32_t byte_count) {
  std::string line = "RegSetValueExA " + HandleName(key) + " " + Narrow(value_name) + " " + std::to_string(type) + " " +
                     std::to_string(byte_count) + " -> ";
  const auto scripted = TakeFailure(Op::kSet);
  const std::int32_t status = scripted ? *scripted : Set(key, value_name, type, data, byte_count);
  Log(line + std::to_string(status));
  RunAfter(Op::kSet);
  return status;
}

std::int32_t FakeRegistry::RegDeleteValueA(RegKey key, std::wstring_view value_name) {
  std::string line = "RegDeleteValueA " + HandleName(key) + " " + Narrow(value_name) + " -> ";
  const auto scripted = TakeFailure(Op::kDelete);
  const std::int32_t status = scripted ? *scripted : Delete(key, value_name);
  Log(line + std::to_string(status));
  RunAfter(Op::kDelete);
  return status;
}

std::int32_t FakeRegistry::RegCloseKey(RegKey key) {
  std::string line = "RegCloseKey " + HandleName(key) + " -> ";
  std::int32_t status;
  if (auto scripted = TakeFailure(Op::kClose)) {
    handles_.erase(key);
    status = *scripted;
  } else {
    status = Close(key);
  }
  Log(line + std::to_string(status));
  RunAfter(Op::kClose);
  return status;
}

std::int32_t FakeRegistry::Open(RegKey root, std::wstring_view sub_key, std::uint32_t access, RegKey* result) {
  if (!result) return kErrorInvalidParameter;
  *result = 0;
  std::int32_t status = kErrorSuccess;
  const auto path = KeyPath(root, sub_key, &status);
  if (!path) return status;
  const auto key = keys_.find(*path);
  if (key == keys_.end()) return kErrorFileNotFound;
  if (key->second.read_only && (access & kWriteRights) != 0) return kErrorAccessDenied;
  *result = next_handle_;
  next_handle_ += 4;
  handles_[*result] = Handle{*path, access};
  return kErrorSuccess;
}

std::int32_t FakeRegistry::Query(RegKey handle, std::wstring_view name, std::uint32_t* type, std::uint8_t* data,
                                 std::uint32_t* byte_count) {
  std::int32_t status = kErrorSuccess;
  Key* key = KeyFor(handle, kKeyQueryValue, &status);
  if (!key) return status;
  if (data && !byte_count) return kErrorInvalidParameter;
  const auto value = key->values.find(Fold(name));
  if (value == key->values.end()) return kErrorFileNotFound;
  const auto size = static_cast<std::uint32_t>(value->second.bytes.size());
  if (type) *type = value->second.type;
  if (data && *byte_count < size) {
    *byte_count = size;  // nothing is copied: callers must not see a partial value
    return kErrorMoreData;
  }
  if (data) {
    std::copy(value->second.bytes.begin(), value->second.bytes.end(), data);
    // Windows terminates an unterminated string when the buffer has room to spare.
    const bool text = value->second.type == kRegSz || value->second.type == kRegExpandSz || value->second.type == 7;
    if (text && size != 0 && size < *byte_count && data[size - 1] != 0) data[size] = 0;
  }
  if (byte_count) *byte_count = size;
  return kErrorSuccess;
}

std::int32_t FakeRegistry::Set(RegKey handle, std::wstring_view name, std::uint32_t type, const std::uint8_t* data,
                               std::uint32_t byte_count) {
  std::int32_t status = kErrorSuccess;
  Key* key = KeyFor(handle, kKeySetValue, &status);
  if (!key) return status;
  if (!data && byte_count != 0) return kErrorNoAccess;
  std::vector<std::uint8_t> bytes(data, data + (data ? byte_count : 0));
  key->values[Fold(name)] = StoredValue{type, std::move(bytes)};
  return kErrorSuccess;
}

std::int32_t FakeRegistry::Delete(RegKey handle, std::wstring_view name) {
  std::int32_t status = kErrorSuccess;
  Key* key = KeyFor(handle, kKeySetValue, &status);
  if (!key) return status;
  return key->values.erase(Fold(name)) == 1 ? kErrorSuccess : kErrorFileNotFound;
}

std::int32_t FakeRegistry::Close(RegKey handle) {
  if (RootName(handle)) return kErrorSuccess;  // predefined roots are never really closed
  return handles_.erase(handle) == 1 ? kErrorSuccess : kErrorInvalidHandle;
}

std::optional<std::wstring> FakeRegistry::KeyPath(RegKey root, std::wstring_view sub_key, std::int32_t* status) const {
  std::wstring path;
  if (const char* name = RootName(root)) {
    path = Fold(std::wstring(name, name + std::char_traits<char>::length(name)));
  } else if (const auto handle = handles_.find(root); handle != handles_.end()) {
    path = handle->second.path;
  } else {
    *status = kErrorInvalidHandle;
    return std::nullopt;
  }
  // A trailing backslash is accepted; a leading or doubled one is not.
  std::size_t start = 0;
  while (start < sub_key.size()) {
    std::size_t end = std::min(sub_key.find(L'\\', start), sub_key.size());
    if (end == start) {
      *status = kErrorBadPathname;
      return std::nullopt;
    }
    path += L'\\' + Fold(sub_key.substr(start, end - start));
    start = end + 1;
  }
  return path;
}

std::wstring FakeRegistry::FoldedPath(RegKey root, std::wstring_view path) const {
  std::int32_t status = kErrorSuccess;
  auto folded = KeyPath(root, path, &status);
  if (!folded) throw std::invalid_argument("FakeRegistry: bad root or key path");
  return *folded;
}

FakeRegistry::Key* FakeRegistry::KeyFor(RegKey handle, std::uint32_t needed_right, std::int32_t* status) {
  std::wstring path;
  if (RootName(handle)) {
    path = FoldedPath(handle, L"");
  } else if (const auto open = handles_.find(handle); open != handles_.end()) {
    if ((open->second.access & needed_right) == 0) {
      *status = kErrorAccessDenied;
      return nullptr;
    }
    path = open->second.path;
  } else {
    *status = kErrorInvalidHandle;
    return nullptr;
  }
  return &keys_.at(path);
}

std::optional<std::int32_t> FakeRegistry::TakeFailure(Op op) {
  auto& queue = failures_[op];
  if (queue.empty()) return std::nullopt;
  const std::int32_t status = queue.front();
  queue.pop_front();
  return status;
}

void FakeRegistry::RunAfter(Op op) {
  auto& queue = after_[op];
  if (queue.empty()) return;
  auto action = std::move(queue.front());
  queue.pop_front();
  action();
}

void FakeRegistry::Log(std::string what) const {
  if (log_) log_->Add(std::move(what));
}

std::string FakeRegistry::HandleName(RegKey handle) const {
  const char* name = RootName(handle);
  return name ? name : Hex(handle);
}

// --- The outside world's view -------------------------------------------------

void FakeRegistry::CreateKey(RegKey root, std::wstring_view path) {
  const std::wstring folded = FoldedPath(root, path);
  for (std::size_t cut = folded.find(L'\\'); cut != std::wstring::npos; cut = folded.find(L'\\', cut + 1)) {
    keys_[folded.substr(0, cut)];
  }
  keys_[folded];
}

bool FakeRegistry::KeyExists(RegKey root, std::wstring_view path) const {
  return keys_.count(FoldedPath(root, path)) == 1;
}

void FakeRegistry::SetValue(RegKey root, std::wstring_view path, std::wstring_view name, std::uint32_t type,
                            std::vector<std::uint8_t> bytes) {
  CreateKey(root, path);
  keys_.at(FoldedPath(root, path)).values[Fold(name)] = StoredValue{type, std::move(bytes)};
}

void FakeRegistry::SetString(RegKey root, std::wstring_view path, std::wstring_view name, std::string_view ansi,
                             bool with_nul) {
  std::vector<std::uint8_t> bytes(ansi.begin(), ansi.end());
  if (with_nul) bytes.push_back(0);
  SetValue(root, path, name, kRegSz, std::move(bytes));
}

void FakeRegistry::SetDword(RegKey root, std::wstring_view path, std::wstring_view name, std::uint32_t value) {
  SetValue(root, path, name, kRegDword,
           {static_cast<std::uint8_t>(value), static_cast<std::uint8_t>(value >> 8),
            static_cast<std::uint8_t>(value >> 16), static_cast<std::uint8_t>(value >> 24)});
}

void FakeRegistry::RemoveValue(RegKey root, std::wstring_view path, std::wstring_view name) {
  const auto key = keys_.find(FoldedPath(root, path));
  if (key != keys_.end()) key->second.values.erase(Fold(name));
}

std::optional<StoredValue> FakeRegistry::GetValue(RegKey root, std::wstring_view path, std::wstring_view name) const {
  const auto key = keys_.find(FoldedPath(root, path));
  if (key == keys_.end()) return std::nullopt;
  const auto value = key->second.values.find(Fold(name));
  if (value == key->second.values.end()) return std::nullopt;
  return value->second;
}

std::size_t FakeRegistry::ValueCount(RegKey root, std::wstring_view path) const {
  const auto key = keys_.find(FoldedPath(root, path));
  return key == keys_.end() ? 0 : key->second.values.size();
}

void FakeRegistry::SetReadOnly(RegKey root, std::wstring_view path, bool read_only) {
  CreateKey(root, path);
  keys_.at(FoldedPath(root, path)).read_only = read_only;
}

}  // namespace np
