// Drives the Registry module from the command line, through the same Win32
// backend the product uses, so the Wine tests can check it against `reg`.
//   np_reg_tool write  <HKLM|HKCU> <subkey> <name> sz <text> | i2 <n> | i4 <n> | r8 <x> | bool | empty
//   np_reg_tool read   <HKLM|HKCU> <subkey> <name>
//   np_reg_tool delete <HKLM|HKCU> <subkey> <name>
//   np_reg_tool setraw <HKLM|HKCU> <subkey> <name> <registry type> <hex bytes>
// Prints "status <s>" and, for a read, "type <vt> length <n> value <text>".
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/win32/win32_registry.h"
#include "platform/win32/win32_text_codec.h"
#include "settings/registry.h"

namespace {

using np::Variant;

// A read never produces a double, so this marks varData as untouched.
constexpr double kUntouched = 2.5;

bool ParseRoot(const std::string& name, np::RegKey* root) {
  if (name == "HKLM")
    *root = np::kHkeyLocalMachine;
  else if (name == "HKCU")
    *root = np::kHkeyCurrentUser;
  else
    return false;
  return true;
}

bool ParseData(int argc, char** argv, Variant* data) {
  const std::string kind = argv[0];
  if (kind == "bool" && argc == 1)
    *data = Variant::Bool(true);
  else if (kind == "empty" && argc == 1)
    *data = Variant();
  else if (argc != 2)
    return false;
  else if (kind == "sz")
    *data = Variant::Str(np::FromAnsiCp(argv[1]));
  else if (kind == "i2")
    *data = Variant::I2(static_cast<std::int16_t>(std::strtol(argv[1], nullptr, 0)));
  else if (kind == "i4")
    *data = Variant::I4(static_cast<std::int32_t>(std::strtoll(argv[1], nullptr, 0)));
  else if (kind == "r8")
    *data = Variant::R8(std::strtod(argv[1], nullptr));
  else
    return false;
  return true;
}

// NULs, spaces and backslashes made visible, so trailing filler can be counted.
std::string Visible(const std::wstring& text) {
  std::string out;
  for (wchar_t c : text) {
    if (c == L'\0') {
      out += "\\0";
    } else if (c == L' ') {
      out += "\\s";
    } else if (c == L'\\') {
      out += "\\\\";
    } else if (c > 0x20 && c < 0x7F) {
      out += static_cast<char>(c);
    } else {
      char hex[12];
      std::snprintf(hex, sizeof hex, "\\u%04x", static_cast<unsigned>(c));
      out += hex;
    }
  }
  return out;
}

void PrintVariant(const Variant& data) {
  std::printf("type %u ", static_cast<unsigned>(data.Type()));
  if (data.Type() == np::vt::kBstr) {
    std::printf("length %zu value %s\n", data.String().size(), Visible(data.String()).c_str());
  } else if (data.Type() == np::vt::kR8) {
    std::printf("value %g\n", data.Double());
  } else {
    std::printf("value %ld\n", static_cast<long>(data.Long()));
  }
}

// Test set-up only: stores bytes exactly as given, for value shapes that
// neither the module nor `reg add` produce (no NUL, oversize numbers).
std::int32_t SetRaw(np::RegistryApi& api, np::RegKey root, const std::wstring& sub_key, const std::wstring& name,
                    const char* type, const std::string& hex) {
  std::vector<std::uint8_t> bytes;
  for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
    bytes.push_back(static_cast<std::uint8_t>(std::stoul(hex.substr(i, 2), nullptr, 16)));
  }
  const auto byte_count = static_cast<std::uint32_t>(bytes.size());
  // The ANSI call adds a terminator the caller "forgot" when the byte past the
  // data is a NUL; a non-NUL there keeps the value exactly as given.
  bytes.push_back(0xFF);
  np::RegKey key = 0;
  std::int32_t status = api.RegOpenKeyExA(root, sub_key, 0, np::kAccessWrite, &key);
  if (status != 0) return status;
  status = api.RegSetValueExA(key, name, static_cast<std::uint32_t>(std::strtoul(type, nullptr, 0)), bytes.data(),
                              byte_count);
  api.RegCloseKey(key);
  return status;
}

int Usage() {
  std::fprintf(stderr, "usage: np_reg_tool write|read|delete|setraw <HKLM|HKCU> <subkey> <name> [kind value]\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  np::RegKey root = 0;
  if (argc < 5 || !ParseRoot(argv[2], &root)) return Usage();
  np::Win32Registry api;
  np::Win32TextCodec codec;
  const np::RegistryContext reg{api, codec};
  const std::string command = argv[1];
  const std::wstring sub_key = np::FromAnsiCp(argv[3]);
  const std::wstring name = np::FromAnsiCp(argv[4]);
  if (command == "write" && argc >= 6) {
    Variant data;
    if (!ParseData(argc - 5, argv + 5, &data)) return Usage();
    std::printf("status %ld\n", static_cast<long>(np::RegWriteValueEntry(reg, root, sub_key, name, data)));
  } else if (command == "read" && argc == 5) {
    Variant data = Variant::R8(kUntouched);
    std::printf("status %ld\n", static_cast<long>(np::RegReadValueEntry(reg, root, sub_key, name, data)));
    PrintVariant(data);
  } else if (command == "setraw" && argc == 7) {
    std::printf("status %ld\n", static_cast<long>(SetRaw(api, root, sub_key, name, argv[5], argv[6])));
  } else if (command == "delete" && argc == 5) {
    std::printf("status %ld\n", static_cast<long>(np::RegDeleteValueEntry(reg, root, sub_key, name)));
  } else {
    return Usage();
  }
  return 0;
}
