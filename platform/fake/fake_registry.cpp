// An in-memory registry with Win32's rules for handles, rights and value queries.
#include "platform/fake/fake_registry.h"

#include <algorithm>
#include <cstdio>
#include <utility>

namespace np {
namespace {

constexpr std::uint32_t kKeyQueryValue = 0x1, kKeySetValue = 0x2, kKeyCreateSubKey = 0x4, kKeyCreateLink = 0x20;
constexpr std::uint32_t kWriteRights = kKeySetValue | kKeyCreateSubKey | kKeyCreateLink;
constexpr std::int32_t kErrorInvalidHandle = 6;

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

std::string HandleName(RegKey key) {
  return key == kHkeyLocalMachine ? "HKLM" : key == kHkeyCurrentUser ? "HKCU" : Hex(key);
}

}  // namespace

std::wstring FakeRegistry::Fold(std::wstring_view name) {
  std::wstring out(name);
  for (wchar_t& c : out) {
    if (c >= L'A' && c <= L'Z') c = static_cast<wchar_t>(c - L'A' + L'a');
  }
  return out;
}

std::wstring FakeRegistry::Path(RegKey root, std::wstring_view path) {
  return (root == kHkeyLocalMachine ? L"hklm\\" : L"hkcu\\") + Fold(path);
}

std::int32_t FakeRegistry::Serve(Op op, const std::string& what, const std::function<std::int32_t(std::string&)>& serve) {
  auto& scripted = failures_[op];
  std::int32_t status;
  std::string result;
  if (scripted.empty()) {
    status = serve(result);
  } else {
    status = scripted.front();
    scripted.pop_front();
  }
  if (log_) log_->Add(what + " -> " + std::to_string(status) + result);
  if (auto& after = after_[op]; !after.empty()) {
    const auto action = std::move(after.front());
    after.pop_front();
    action();
  }
  return status;
}

std::int32_t FakeRegistry::RegOpenKeyExA(RegKey root, std::wstring_view sub_key, std::uint32_t options,
                                         std::uint32_t access, RegKey* result) {
  *result = 0;
  const std::string what = "RegOpenKeyExA " + HandleName(root) + "\\" + Narrow(sub_key) + " " +
                           std::to_string(options) + " " + Hex(access);
  return Serve(Op::kOpen, what, [&](std::string& handle) {
    const std::int32_t status = Open(root, sub_key, access, result);
    if (status == kErrorSuccess) handle = " " + Hex(*result);  // logged, so later calls can be told apart
    return status;
  });
}

std::int32_t FakeRegistry::RegQueryValueExA(RegKey key, std::wstring_view value_name, std::uint32_t* type,
                                            std::uint8_t* data, std::uint32_t* byte_count) {
  const std::string what = "RegQueryValueExA " + HandleName(key) + " " + Narrow(value_name) + " " +
                           (data ? "buf " : "null ") + std::to_string(*byte_count);
  return Serve(Op::kQuery, what, [&](std::string&) { return Query(key, value_name, type, data, byte_count); });
}

std::int32_t FakeRegistry::RegSetValueExA(RegKey key, std::wstring_view value_name, std::uint32_t type,
                                          const std::uint8_t* data, std::uint32_t byte_count) {
  const std::string what = "RegSetValueExA " + HandleName(key) + " " + Narrow(value_name) + " " +
                           std::to_string(type) + " " + std::to_string(byte_count);
  return Serve(Op::kSet, what, [&](std::string&) {
    std::int32_t status = kErrorSuccess;
    Key* k = KeyFor(key, kKeySetValue, &status);
    if (k) k->values[Fold(value_name)] = StoredValue{type, std::vector<std::uint8_t>(data, data + byte_count)};
    return status;
  });
}

std::int32_t FakeRegistry::RegDeleteValueA(RegKey key, std::wstring_view value_name) {
  return Serve(Op::kDelete, "RegDeleteValueA " + HandleName(key) + " " + Narrow(value_name), [&](std::string&) {
    std::int32_t status = kErrorSuccess;
    Key* k = KeyFor(key, kKeySetValue, &status);
    if (!k) return status;
    return k->values.erase(Fold(value_name)) == 1 ? kErrorSuccess : kErrorFileNotFound;
  });
}

std::int32_t FakeRegistry::RegCloseKey(RegKey key) {
  const bool open = handles_.erase(key) == 1;  // a scripted failure still gives the handle back
  return Serve(Op::kClose, "RegCloseKey " + HandleName(key),
               [open](std::string&) { return open ? kErrorSuccess : kErrorInvalidHandle; });
}

std::int32_t FakeRegistry::Open(RegKey root, std::wstring_view sub_key, std::uint32_t access, RegKey* result) {
  const std::wstring path = Path(root, sub_key);
  const auto key = keys_.find(path);
  if (key == keys_.end()) return kErrorFileNotFound;
  if (key->second.read_only && (access & kWriteRights) != 0) return kErrorAccessDenied;
  *result = next_handle_;
  next_handle_ += 4;
  handles_[*result] = Handle{path, access};
  return kErrorSuccess;
}

std::int32_t FakeRegistry::Query(RegKey handle, std::wstring_view name, std::uint32_t* type, std::uint8_t* data,
                                 std::uint32_t* byte_count) {
  std::int32_t status = kErrorSuccess;
  Key* key = KeyFor(handle, kKeyQueryValue, &status);
  if (!key) return status;
  const auto value = key->values.find(Fold(name));
  if (value == key->values.end()) return kErrorFileNotFound;
  const std::vector<std::uint8_t>& bytes = value->second.bytes;
  const auto size = static_cast<std::uint32_t>(bytes.size());
  *type = value->second.type;
  if (data && *byte_count < size) {
    *byte_count = size;  // nothing is copied: callers must not see a partial value
    return kErrorMoreData;
  }
  if (data) {
    std::copy(bytes.begin(), bytes.end(), data);
    // Windows terminates an unterminated string when the buffer has room to spare.
    const bool text = *type == kRegSz || *type == kRegExpandSz || *type == 7;
    if (text && size != 0 && size < *byte_count && data[size - 1] != 0) data[size] = 0;
  }
  *byte_count = size;
  return kErrorSuccess;
}

FakeRegistry::Key* FakeRegistry::KeyFor(RegKey handle, std::uint32_t needed_right, std::int32_t* status) {
  const auto open = handles_.find(handle);
  if (open == handles_.end()) {
    *status = kErrorInvalidHandle;
    return nullptr;
  }
  if ((open->second.access & needed_right) == 0) {
    *status = kErrorAccessDenied;
    return nullptr;
  }
  return &keys_.at(open->second.path);
}

void FakeRegistry::SetValue(RegKey root, std::wstring_view path, std::wstring_view name, std::uint32_t type,
                            std::vector<std::uint8_t> bytes) {
  keys_[Path(root, path)].values[Fold(name)] = StoredValue{type, std::move(bytes)};
}

void FakeRegistry::RemoveValue(RegKey root, std::wstring_view path, std::wstring_view name) {
  const auto key = keys_.find(Path(root, path));
  if (key != keys_.end()) key->second.values.erase(Fold(name));
}

std::optional<StoredValue> FakeRegistry::GetValue(RegKey root, std::wstring_view path, std::wstring_view name) const {
  const auto key = keys_.find(Path(root, path));
  if (key == keys_.end()) return std::nullopt;
  const auto value = key->second.values.find(Fold(name));
  if (value == key->second.values.end()) return std::nullopt;
  return value->second;
}

}  // namespace np
