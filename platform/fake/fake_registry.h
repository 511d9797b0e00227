// An in-memory registry with Win32's rules for handles, rights and value
// queries, so the Registry module's tests fail where Windows would.
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

inline constexpr std::int32_t kErrorInvalidHandle = 6, kErrorInvalidParameter = 87, kErrorBadPathname = 161;
inline constexpr RegKey kHkeyClassesRoot =
    static_cast<RegKey>(static_cast<std::intptr_t>(static_cast<std::int32_t>(0x80000000u)));
inline constexpr RegKey kHkeyUsers =
    static_cast<RegKey>(static_cast<std::intptr_t>(static_cast<std::int32_t>(0x80000003u)));

struct StoredValue {
  std::uint32_t type;
  std::vector<std::uint8_t> bytes;
  friend bool operator==(const StoredValue&, const StoredValue&) = default;
};

class FakeRegistry final : public RegistryApi {
 public:
  enum class Op { kOpen, kQuery, kSet, kDelete, kClose };

  explicit FakeRegistry(CallLog* log = nullptr);
  void SetCallLog(CallLog* log) { log_ = log; }

  std::int32_t RegOpenKeyExA(RegKey root, std::wstring_view sub_key, std::uint32_t options, std::uint32_t access,
                             RegKey* result) override;
  std::int32_t RegQueryValueExA(RegKey key, std::wstring_view value_name, std::uint32_t* type, std::uint8_t* data,
                                std::uint32_t* byte_count) override;
  std::int32_t RegSetValueExA(RegKey key, std::wstring_view value_name, std::uint32_t type, const std::uint8_t* data,
                              std::uint32_t byte_count) override;
  std::int32_t RegDeleteValueA(RegKey key, std::wstring_view value_name) override;
  std::int32_t RegCloseKey(RegKey key) override;

  // The world outside the program: keys and values as another program or an
  // installer left them. Keys are created with all their parents.
  void CreateKey(RegKey root, std::wstring_view path);
  bool KeyExists(RegKey root, std::wstring_view path) const;
  void SetValue(RegKey root, std::wstring_view path, std::wstring_view name, std::uint32_t type,
                std::vector<std::uint8_t> bytes);
  // ANSI text as RegSetValueExA stores it; with_nul adds the terminator.
  void SetString(RegKey root, std::wstring_view path, std::wstring_view name, std::string_view ansi,
                 bool with_nul = true);
  void SetDword(RegKey root, std::wstring_view path, std::wstring_view name, std::uint32_t value);
  void RemoveValue(RegKey root, std::wstring_view path, std::wstring_view name);
  std::optional<StoredValue> GetValue(RegKey root, std::wstring_view path, std::wstring_view name) const;
  std::size_t ValueCount(RegKey root, std::wstring_view path) const;
  // Opens asking for KEY_SET_VALUE, KEY_CREATE_SUB_KEY or KEY_CREATE_LINK are denied.
  void SetReadOnly(RegKey root, std::wstring_view path, bool read_only = true);

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
    std::wstring path;  // folded, from the root's own name
    std::uint32_t access;
  };

  std::int32_t Open(RegKey root, std::wstring_view sub_key, std::uint32_t access, RegKey* result);
  std::int32_t Query(RegKey handle, std::wstring_view name, std::uint32_t* type, std::uint8_t* data,
                     std::uint32_t* byte_count);
  std::int32_t Set(RegKey handle, std::wstring_view name, std::uint32_t type, const std::uint8_t* data,
                   std::uint32_t byte_count);
  std::int32_t Delete(RegKey handle, std::wstring_view name);
  std::int32_t Close(RegKey handle);

  std::optional<std::wstring> KeyPath(RegKey root, std::wstring_view sub_key, std::int32_t* status) const;
  std::wstring FoldedPath(RegKey root, std::wstring_view path) const;
  // The key behind an open handle, or the status that refuses the call.
  Key* KeyFor(RegKey handle, std::uint32_t needed_right, std::int32_t* status);
  std::optional<std::int32_t> TakeFailure(Op op);
  void RunAfter(Op op);
  void Log(std::string what) const;
  std::string HandleName(RegKey handle) const;

  CallLog* log_;
  std::map<std::wstring, Key> keys_;
  std::map<RegKey, Handle> handles_;
  RegKey next_handle_ = 0x100;
  std::map<Op, std::deque<std::int32_t>> failures_;
  std::map<Op, std::deque<std::function<void()>>> after_;
};

}  // namespace np
