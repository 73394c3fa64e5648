#pragma once
// Stand-in for the Windows registry under HKEY_LOCAL_MACHINE: one per-user text file in the
// registry-export format (${XDG_CONFIG_HOME:-$HOME/.config}/Harrow/Kestrel.reg). The calls keep
// the registry's shapes and results so the settings and history code reads like the original.
#include <cstdint>
#include <string>
#include <vector>

using LONG = long;
using DWORD = std::uint32_t;
using BYTE = unsigned char;

struct RegistryKey;  // opaque; one per open handle
using HKEY = RegistryKey*;

// The one predefined root. Never closed.
extern const HKEY HKEY_LOCAL_MACHINE;

// Results, as the registry reports them.
constexpr LONG ERROR_SUCCESS = 0;
constexpr LONG ERROR_FILE_NOT_FOUND = 2;
constexpr LONG ERROR_ACCESS_DENIED = 5;
constexpr LONG ERROR_INVALID_HANDLE = 6;
constexpr LONG ERROR_INVALID_PARAMETER = 87;
constexpr LONG ERROR_MORE_DATA = 234;

// Value types.
constexpr DWORD REG_NONE = 0;
constexpr DWORD REG_SZ = 1;
constexpr DWORD REG_EXPAND_SZ = 2;
constexpr DWORD REG_BINARY = 3;
constexpr DWORD REG_DWORD = 4;
constexpr DWORD REG_MULTI_SZ = 7;

// Access rights. KEY_ALL_ACCESS fails when the store cannot be written.
constexpr DWORD KEY_READ = 0x20019;
constexpr DWORD KEY_WRITE = 0x20006;
constexpr DWORD KEY_ALL_ACCESS = 0xF003F;

constexpr DWORD REG_OPTION_NON_VOLATILE = 0;
constexpr DWORD REG_CREATED_NEW_KEY = 1;
constexpr DWORD REG_OPENED_EXISTING_KEY = 2;

// Opens an existing key below parent (path parts separated by '\'; case-insensitive).
LONG RegOpenKeyEx(HKEY parent, const std::string& subKey, DWORD options, DWORD access, HKEY* result);
// Opens or creates a key, creating missing parents. disposition may be null.
LONG RegCreateKeyEx(HKEY parent, const std::string& subKey, DWORD reserved, const std::string& keyClass,
                    DWORD options, DWORD access, void* security, HKEY* result, DWORD* disposition);
// Reads a value. type and data may be null; *size is the buffer size in bytes on entry and the
// data size on return. Data larger than the buffer fails with ERROR_MORE_DATA. REG_SZ data carries
// its terminating NUL.
LONG RegQueryValueEx(HKEY key, const std::string& name, DWORD* reserved, DWORD* type, BYTE* data,
                     DWORD* size);
// Writes a value; the change is on disk when the call returns.
LONG RegSetValueEx(HKEY key, const std::string& name, DWORD reserved, DWORD type, const BYTE* data,
                   DWORD size);
LONG RegDeleteValue(HKEY key, const std::string& name);
// Creates subKey below key when missing (as RegCreateKeyEx) and sets, or deletes, several of its
// values, all in one write that is on disk when the call returns. The result is the first
// change's, as RegSetValueEx or RegDeleteValue would give it.
struct RegistryChange {
  std::string name;
  DWORD type = REG_NONE;
  std::vector<BYTE> data;
  bool remove = false;
};
LONG RegSetValues(HKEY key, const std::string& subKey, const std::vector<RegistryChange>& changes);
LONG RegCloseKey(HKEY key);

// The file behind the store. Tests may point it elsewhere; an empty path goes back to the default.
std::string RegistryFilePath();
void SetRegistryFilePath(const std::string& path);
