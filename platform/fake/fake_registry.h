// An in-memory registry with Win32's rules for handles, rights and value
// queries, as far as the Registry module meets them, so that its tests fail
// where Windows would.
#pragma once
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/api/registry_api.h"
#include "platform/fake/call_log.h"

namespace np {

inline constexpr RegKey kHkeyCurrentUser =
    static_cast<RegKey>(static_cast<std::intptr_t>(static_cast<std::int32_t>(0x80000001u)));
inline constexpr std::uint32_t kRegExpandSz = 2, kRegBinary = 3;
inline constexpr std::int32_t kErrorFileNotFound = 2, kErrorAccessDenied = 5, kErrorMoreData = 234;

struct StoredValue {
  std::uint32_t type;
  std::vector<std::uint8_t> bytes;
  friend bool operator==(const StoredValue&, const StoredValue&) = default;
};

class FakeRegistry final : public RegistryApi {
 public:
  enum class Op { kOpen, kQuery, kSet, kDelete, kClose };

  explicit FakeRegistry(CallLog* log = nullptr) : log_(log) {}
  void SetCallLog(CallLog* log) { log_ = log; }

  std::int32_t RegOpenKeyExA(RegKey root, std::wstring_view sub_key, std::uint32_t options, std::uint32_t access,
                             RegKey* result) override;
  std::int32_t RegQueryValueExA(RegKey key, std::wstring_view value_name, std::uint32_t* type, std::uint8_t* data,
                                std::uint32_t* byte_count) override;
  std::int32_t RegSetValueExA(RegKey key, std::wstring_view value_name, std::uint32_t type, const std::uint8_t* data,
                              std::uint32_t byte_count) override;
  std::int32_t RegDeleteValueA(RegKey key, std::wstring_view value_name) override;
  std::int32_t RegCloseKey(RegKey key) override;

  // The world outside the program: keys (below HKLM or HKCU) and values as
  // another program or an installer left them.
  void CreateKey(RegKey root, std::wstring_view path) { keys_[Path(root, path)]; }
  // Creates the key if needed.
  void SetValue(RegKey root, std::wstring_view path, std::wstring_view name, std::uint32_t type,
                std::vector<std::uint8_t> bytes);
  void RemoveValue(RegKey root, std::wstring_view path, std::wstring_view name);
  std::optional<StoredValue> GetValue(RegKey root, std::wstring_view path, std::wstring_view name) const;
  // Opens asking for KEY_SET_VALUE, KEY_CREATE_SUB_KEY or KEY_CREATE_LINK are denied.
  void SetReadOnly(RegKey root, std::wstring_view path, bool read_only) { keys_[Path(root, path)].read_only = read_only; }

  std::size_t OpenHandleCount() const { return handles_.size(); }
  // The next call of that kind does nothing but return status; a scripted
  // close still gives the handle back, so leak checks read the same on every path.
  void FailNext(Op op, std::int32_t status) { failures_[op].push_back(status); }
  // Runs once, right after the next call of that kind has been served.
  void AfterNext(Op op, std::function<void()> action) { after_[op].push_back(std::move(action)); }

 private:
  struct Key {
    std::map<std::wstring, StoredValue> values;  // by folded name
    bool read_only = false;
  };
  struct Handle {
    std::wstring path;
    std::uint32_t access;
  };

  // Windows compares key and value names without regard to case.
  static std::wstring Fold(std::wstring_view name);
  static std::wstring Path(RegKey root, std::wstring_view path);
  std::int32_t Open(RegKey root, std::wstring_view sub_key, std::uint32_t access, RegKey* result);
  std::int32_t Query(RegKey handle, std::wstring_view name, std::uint32_t* type, std::uint8_t* data,
                     std::uint32_t* byte_count);
  // The key behind an open handle, or null with the status that refuses the call.
  Key* KeyFor(RegKey handle, std::uint32_t needed_right, std::int32_t* status);
  // A scripted failure of the call, or else what `serve` answers; logged with
  // the call's description and whatever `serve` puts in `result`.
  std::int32_t Serve(Op op, const std::string& what, const std::function<std::int32_t(std::string& result)>& serve);

  CallLog* log_;
  std::map<std::wstring, Key> keys_;
  std::map<RegKey, Handle> handles_;
  RegKey next_handle_ = 0x100;
  std::map<Op, std::deque<std::int32_t>> failures_;
  std::map<Op, std::deque<std::function<void()>>> after_;
};

}  // namespace np
