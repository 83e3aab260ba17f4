// The simulated registry: four roots of case-insensitive keys holding typed
// values, reached through numbered key handles.
#include <string.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "sim/sim_control.h"
#include "sim/sim_file_system.h"
#include "sim/sim_internal.h"

namespace {

// Win32 codes that the program never names, so the API header leaves out.
const LONG kErrorBadPathname = 161;
const LONG kErrorNoAccess = 998;

// Key handles live apart from the file and console handles, and are never
// handed out twice, so that a stale handle is caught rather than reused.
const uintptr_t kFirstKeyHandle = 0x10000000;

struct Value {
  std::string name;
  DWORD type;
  std::string data;
};

struct Key {
  std::string name;
  std::vector<Value> values;  // in creation order
  // By upper-cased name, which also gives the case-insensitive order.
  std::map<std::string, std::shared_ptr<Key>> subkeys;
  std::weak_ptr<Key> parent;  // none for a root
  bool deleted = false;
  // Its access list lets this user read it but not change it (NT line).
  bool readOnlyForUser = false;
};

struct OpenKey {
  std::shared_ptr<Key> key;
  REGSAM access;
};

// A hive loaded under HKEY_USERS, by the system at a logon or by the program.
struct LoadedHive {
  std::shared_ptr<Key> key;
  std::string file;  // its full long path
  bool byProgram;
};

struct RegistryState {
  std::shared_ptr<Key> classesRoot;
  std::shared_ptr<Key> currentUser;
  std::shared_ptr<Key> localMachine;
  // The profiles loaded on the machine; the current user's is one of them,
  // the very key that HKEY_CURRENT_USER shows.
  std::shared_ptr<Key> users;
  std::map<uintptr_t, OpenKey> handles;
  // By upper-cased name below HKEY_USERS.
  std::map<std::string, LoadedHive> hives;
  // What hive files hold: a file's contents are "regf#" and the index of its
  // image here. Anything else is a damaged file.
  std::vector<std::shared_ptr<Key>> hiveImages;
  // Keys that another program holds open.
  std::vector<std::shared_ptr<Key>> heldKeys;
};

RegistryState g_registry;
uintptr_t g_nextKeyHandle = kFirstKeyHandle;

struct RootName {
  HKEY root;
  const char* name;
};

const RootName kRootNames[] = {
    {HKEY_CLASSES_ROOT, "HKEY_CLASSES_ROOT"},
    {HKEY_CURRENT_USER, "HKEY_CURRENT_USER"},
    {HKEY_LOCAL_MACHINE, "HKEY_LOCAL_MACHINE"},
    {HKEY_USERS, "HKEY_USERS"},
};

std::shared_ptr<Key> RootKey(HKEY root) {
  if (root == HKEY_CLASSES_ROOT) return g_registry.classesRoot;
  if (root == HKEY_CURRENT_USER) return g_registry.currentUser;
  if (root == HKEY_LOCAL_MACHINE) return g_registry.localMachine;
  if (root == HKEY_USERS) return g_registry.users;
  return std::shared_ptr<Key>();
}

bool IsRootHandle(HKEY key) { return RootKey(key) != NULL; }

// Resolves a handle to its open key; the roots are always open with every
// right. Returns the error for an unknown handle or a deleted key.
LONG Resolve(HKEY handle, OpenKey* open) {
  std::shared_ptr<Key> root = RootKey(handle);
  if (root) {
    *open = OpenKey{root, KEY_ALL_ACCESS};
    return ERROR_SUCCESS;
  }
  std::map<uintptr_t, OpenKey>::const_iterator found =
      g_registry.handles.find(reinterpret_cast<uintptr_t>(handle));
  if (found == g_registry.handles.end()) return ERROR_INVALID_HANDLE;
  if (found->second.key->deleted) return ERROR_KEY_DELETED;
  *open = found->second;
  return ERROR_SUCCESS;
}

// The 9x line has no security on the registry; NT checks each operation
// against the rights the handle was opened with.
bool Grants(const OpenKey& open, REGSAM needed) {
  if (!sim::internal::IsNt()) return true;
  return (open.access & needed) == needed;
}

// The root a key lies below (the key itself for a root), and the key of the
// root's first level on the way (NULL for a root).
const Key* TopOf(const Key& key, const Key** firstLevel) {
  const Key* top = &key;
  *firstLevel = NULL;
  for (std::shared_ptr<Key> up = key.parent.lock(); up;
       up = up->parent.lock()) {
    *firstLevel = top;
    top = up.get();
  }
  return top;
}

// Administrators may change every key of the machine; Power Users those of
// HKEY_LOCAL_MACHINE\Software and the file types of HKEY_CLASSES_ROOT;
// other users may read the machine's keys but change none of them.
bool AccountMayChange(const Key& key) {
  const Key* firstLevel = NULL;
  const Key* top = TopOf(key, &firstLevel);
  bool machineKey = top == g_registry.localMachine.get() ||
                    top == g_registry.classesRoot.get();
  switch (sim::internal::CurrentAccount()) {
    case sim::Account::Administrator:
      return true;
    case sim::Account::PowerUser:
      return top != g_registry.localMachine.get() ||
             (firstLevel != NULL &&
              sim::internal::UpperAscii(firstLevel->name) == "SOFTWARE");
    case sim::Account::User:
      return !machineKey;
  }
  return false;
}

// The NT line checks a key's access list; the 9x line has none.
bool ReadOnlyForUser(const Key& key) {
  return sim::internal::IsNt() &&
         (key.readOnlyForUser || !AccountMayChange(key));
}

// On NT a key whose access list does not let the user change it cannot be
// opened for writing at all, even by a caller that only means to read.
bool AccessListAllows(const Key& key, REGSAM access) {
  const REGSAM changes = KEY_SET_VALUE | KEY_CREATE_SUB_KEY | KEY_CREATE_LINK;
  return !(ReadOnlyForUser(key) && (access & changes) != 0);
}

HKEY NewHandle(const std::shared_ptr<Key>& key, REGSAM access) {
  uintptr_t handle = g_nextKeyHandle;
  g_nextKeyHandle += 4;
  g_registry.handles[handle] = OpenKey{key, access};
  return reinterpret_cast<HKEY>(handle);
}

// The names of a backslash-separated path below a key; empty names between
// backslashes do not count, so "" names the key itself.
std::vector<std::string> PathNames(const std::string& path) {
  std::vector<std::string> names;
  size_t start = 0;
  while (start <= path.size()) {
    size_t end = path.find('\\', start);
    if (end == std::string::npos) end = path.size();
    if (end > start) names.push_back(path.substr(start, end - start));
    start = end + 1;
  }
  return names;
}

// A path as the API takes it: NULL is the key itself, and a path below a key
// must not start with a backslash.
LONG SplitPath(LPCSTR path, std::vector<std::string>* names) {
  names->clear();
  if (path == NULL) return ERROR_SUCCESS;
  if (path[0] == '\\') return kErrorBadPathname;
  *names = PathNames(path);
  return ERROR_SUCCESS;
}

// What opening and creating a key begin with: an armed failure, the result
// pointer (cleared), the parent handle, then the path below it. Returns false
// when the call ends there, with what it returns in *error.
bool StartKeyOpen(const char* function, HKEY key, LPCSTR subKey, PHKEY result,
                  OpenKey* parent, std::vector<std::string>* names,
                  LONG* error) {
  DWORD injected = 0;
  if (sim::internal::InjectedFailure(function, &injected)) {
    if (result != NULL) *result = NULL;
    *error = static_cast<LONG>(injected);
    return false;
  }
  if (result == NULL) {
    *error = ERROR_INVALID_PARAMETER;
    return false;
  }
  *result = NULL;
  *error = Resolve(key, parent);
  if (*error != ERROR_SUCCESS) return false;
  *error = SplitPath(subKey, names);
  return *error == ERROR_SUCCESS;
}

std::shared_ptr<Key> FindSubkey(const Key& key, const std::string& name) {
  std::map<std::string, std::shared_ptr<Key>>::const_iterator found =
      key.subkeys.find(sim::internal::UpperAscii(name));
  return found == key.subkeys.end() ? std::shared_ptr<Key>() : found->second;
}

std::shared_ptr<Key> FindPath(std::shared_ptr<Key> key,
                              const std::vector<std::string>& names) {
  for (size_t i = 0; key && i < names.size(); ++i) {
    key = FindSubkey(*key, names[i]);
  }
  return key;
}

// Walks down the path, creating what is missing; tells whether anything was.
std::shared_ptr<Key> CreatePath(std::shared_ptr<Key> key,
                                const std::vector<std::string>& names,
                                bool* created) {
  *created = false;
  for (size_t i = 0; i < names.size(); ++i) {
    std::shared_ptr<Key>& slot =
        key->subkeys[sim::internal::UpperAscii(names[i])];
    if (!slot) {
      slot = std::make_shared<Key>();
      slot->name = names[i];
      slot->parent = key;
      *created = true;
    }
    key = slot;
  }
  return key;
}

Value* FindValue(Key* key, LPCSTR name) {
  std::string upper = sim::internal::UpperAscii(name == NULL ? "" : name);
  for (size_t i = 0; i < key->values.size(); ++i) {
    if (sim::internal::UpperAscii(key->values[i].name) == upper) {
      return &key->values[i];
    }
  }
  return NULL;
}

void MarkDeleted(Key* key) {
  key->deleted = true;
  key->parent.reset();
  for (auto& subkey : key->subkeys) MarkDeleted(subkey.second.get());
  key->subkeys.clear();
}

// The 9x line stores a text value up to its first NUL whatever size it is
// given (the NT line stores the size given). Where the data holds no NUL,
// 9x would read on past the caller's buffer; the NUL it finds there is added
// instead.
std::string StoredBytes(DWORD type, const BYTE* data, DWORD size) {
  std::string bytes;
  if (size > 0) bytes.assign(reinterpret_cast<const char*>(data), size);
  if (type != REG_SZ || sim::internal::IsNt()) return bytes;
  size_t nul = bytes.find('\0');
  if (nul == std::string::npos) return bytes + std::string(1, '\0');
  return bytes.substr(0, nul + 1);
}

void StoreValue(Key* key, const std::string& name, DWORD type,
                const std::string& data) {
  Value* value = FindValue(key, name.c_str());
  if (value == NULL) {
    key->values.push_back(Value{name, type, data});
  } else {
    value->type = type;
    value->data = data;
  }
}

// Hands out value data the way RegQueryValueExA and RegEnumValueA do: the
// size alone when there is no buffer, ERROR_MORE_DATA with the size needed
// when the buffer is too small, the bytes exactly as stored otherwise.
LONG CopyData(const Value& value, LPDWORD type, LPBYTE data, LPDWORD dataSize) {
  if (data != NULL && dataSize == NULL) return ERROR_INVALID_PARAMETER;
  if (type != NULL) *type = value.type;
  DWORD needed = static_cast<DWORD>(value.data.size());
  if (data != NULL && *dataSize < needed) {
    *dataSize = needed;
    return ERROR_MORE_DATA;
  }
  if (data != NULL && needed > 0) memcpy(data, value.data.data(), needed);
  if (dataSize != NULL) *dataSize = needed;
  return ERROR_SUCCESS;
}

// Copies a name with its NUL into a buffer of `capacity` characters.
bool CopyName(const std::string& name, LPSTR buffer, DWORD capacity) {
  if (name.size() >= capacity) return false;
  memcpy(buffer, name.c_str(), name.size() + 1);
  return true;
}

const char* TypeName(DWORD type) {
  switch (type) {
    case REG_NONE:
      return "REG_NONE";
    case REG_SZ:
      return "REG_SZ";
    case REG_EXPAND_SZ:
      return "REG_EXPAND_SZ";
    case REG_BINARY:
      return "REG_BINARY";
    case REG_DWORD:
      return "REG_DWORD";
    case REG_MULTI_SZ:
      return "REG_MULTI_SZ";
    default:
      return NULL;
  }
}

// Printable ASCII as it is, everything else (NULs included) as \xNN, so that
// every byte of the data shows.
std::string QuotedBytes(const std::string& bytes) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string quoted = "\"";
  for (unsigned char c : bytes) {
    if (c >= 0x20 && c < 0x7F && c != '"' && c != '\\') {
      quoted += static_cast<char>(c);
    } else {
      quoted += "\\x";
      quoted += kHex[c >> 4];
      quoted += kHex[c & 0x0F];
    }
  }
  quoted += "\"";
  return quoted;
}

// The current user's profile is one key with two names; its contents are
// listed once, under HKEY_CURRENT_USER, so that a change shows up once.
void DumpKey(const Key& key, const std::string& path, std::string* dump) {
  *dump += path + "\n";
  if (&key == g_registry.currentUser.get() && path != "HKEY_CURRENT_USER") {
    return;
  }
  std::map<std::string, const Value*> sortedValues;
  for (const Value& value : key.values) {
    sortedValues[sim::internal::UpperAscii(value.name)] = &value;
  }
  for (const auto& entry : sortedValues) {
    const Value& value = *entry.second;
    const char* typeName = TypeName(value.type);
    *dump += path + " : " + QuotedBytes(value.name) + " = " +
             (typeName != NULL ? std::string(typeName)
                               : "type " + std::to_string(value.type)) +
             " " + QuotedBytes(value.data) + "\n";
  }
  for (const auto& subkey : key.subkeys) {
    DumpKey(*subkey.second, path + "\\" + subkey.second->name, dump);
  }
}

std::shared_ptr<Key> ControlKey(HKEY root, const std::string& path) {
  std::shared_ptr<Key> rootKey = RootKey(root);
  if (!rootKey) return rootKey;
  return FindPath(rootKey, PathNames(path));
}

std::shared_ptr<Key> ControlCreate(HKEY root, const std::string& path) {
  std::shared_ptr<Key> rootKey = RootKey(root);
  if (!rootKey) return rootKey;
  bool created = false;
  return CreatePath(rootKey, PathNames(path), &created);
}

}  // namespace

namespace sim {
namespace internal {

void ResetRegistry() {
  g_registry = RegistryState();
  g_registry.classesRoot = std::make_shared<Key>();
  g_registry.currentUser = std::make_shared<Key>();
  g_registry.localMachine = std::make_shared<Key>();
  g_registry.users = std::make_shared<Key>();
  // No parent: like the root it also is, the profile cannot be deleted.
  g_registry.currentUser->name = sim::kCurrentUserProfile;
  g_registry.users
      ->subkeys[sim::internal::UpperAscii(sim::kCurrentUserProfile)] =
      g_registry.currentUser;
}

void RemoveValue(HKEY root, const std::string& path, const std::string& name) {
  std::shared_ptr<Key> key = ControlKey(root, path);
  if (!key) return;
  std::vector<Value>& values = key->values;
  for (size_t i = 0; i < values.size(); ++i) {
    if (UpperAscii(values[i].name) == UpperAscii(name)) {
      values.erase(values.begin() + static_cast<std::ptrdiff_t>(i));
      return;
    }
  }
}

}  // namespace internal

const char kCurrentUserProfile[] = "S-1-5-21-0-0-0-1000";

void CreateKey(HKEY root, const std::string& path) {
  ControlCreate(root, path);
}

void SetStringValue(HKEY root, const std::string& path, const std::string& name,
                    const std::string& text) {
  std::shared_ptr<Key> key = ControlCreate(root, path);
  if (key) StoreValue(key.get(), name, REG_SZ, text + std::string(1, '\0'));
}

void SetRawValue(HKEY root, const std::string& path, const std::string& name,
                 DWORD type, const std::string& data) {
  std::shared_ptr<Key> key = ControlCreate(root, path);
  if (key) StoreValue(key.get(), name, type, data);
}

void MakeKeyReadOnlyForUser(HKEY root, const std::string& path) {
  CreateKey(root, path);
  ControlKey(root, path)->readOnlyForUser = true;
}

bool KeyExists(HKEY root, const std::string& path) {
  return ControlKey(root, path) != NULL;
}

bool ValueExists(HKEY root, const std::string& path, const std::string& name) {
  std::shared_ptr<Key> key = ControlKey(root, path);
  return key && FindValue(key.get(), name.c_str()) != NULL;
}

std::string ValueData(HKEY root, const std::string& path,
                      const std::string& name) {
  std::shared_ptr<Key> key = ControlKey(root, path);
  if (!key) return std::string();
  const Value* value = FindValue(key.get(), name.c_str());
  return value == NULL ? std::string() : value->data;
}

std::string RegistryDump() {
  std::string dump;
  for (const RootName& root : kRootNames) {
    DumpKey(*RootKey(root.root), root.name, &dump);
  }
  return dump;
}

int OpenKeyCount() { return static_cast<int>(g_registry.handles.size()); }

}  // namespace sim

LONG WINAPI RegOpenKeyExA(HKEY key, LPCSTR subKey, DWORD options, REGSAM access,
                          PHKEY result) {
  (void)options;
  OpenKey parent;
  std::vector<std::string> names;
  LONG error = ERROR_SUCCESS;
  if (!StartKeyOpen("RegOpenKeyExA", key, subKey, result, &parent, &names,
                    &error)) {
    return error;
  }
  std::shared_ptr<Key> found = FindPath(parent.key, names);
  if (!found) return ERROR_FILE_NOT_FOUND;
  if (!AccessListAllows(*found, access)) return ERROR_ACCESS_DENIED;
  *result = NewHandle(found, access);
  return ERROR_SUCCESS;
}

LONG WINAPI RegCreateKeyExA(HKEY key, LPCSTR subKey, DWORD reserved,
                            LPSTR keyClass, DWORD options, REGSAM access,
                            LPSECURITY_ATTRIBUTES security, PHKEY result,
                            LPDWORD disposition) {
  (void)reserved;
  (void)keyClass;
  (void)options;
  (void)security;
  OpenKey parent;
  std::vector<std::string> names;
  LONG error = ERROR_SUCCESS;
  if (!StartKeyOpen("RegCreateKeyExA", key, subKey, result, &parent, &names,
                    &error)) {
    return error;
  }
  bool created = false;
  std::shared_ptr<Key> opened = CreatePath(parent.key, names, &created);
  if (!AccessListAllows(*opened, access)) return ERROR_ACCESS_DENIED;
  *result = NewHandle(opened, access);
  if (disposition != NULL) {
    *disposition = created ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
  }
  return ERROR_SUCCESS;
}

LONG WINAPI RegCloseKey(HKEY key) {
  DWORD injected = 0;
  if (sim::internal::InjectedFailure("RegCloseKey", &injected)) {
    return static_cast<LONG>(injected);
  }
  if (IsRootHandle(key)) return ERROR_SUCCESS;
  if (g_registry.handles.erase(reinterpret_cast<uintptr_t>(key)) == 0) {
    return ERROR_INVALID_HANDLE;
  }
  return ERROR_SUCCESS;
}

LONG WINAPI RegDeleteKeyA(HKEY key, LPCSTR subKey) {
  DWORD injected = 0;
  if (sim::internal::InjectedFailure("RegDeleteKeyA", &injected)) {
    return static_cast<LONG>(injected);
  }
  OpenKey parent;
  LONG error = Resolve(key, &parent);
  if (error != ERROR_SUCCESS) return error;
  if (subKey == NULL) return ERROR_INVALID_PARAMETER;
  std::vector<std::string> names;
  error = SplitPath(subKey, &names);
  if (error != ERROR_SUCCESS) return error;
  // An empty path deletes the key of the handle itself.
  std::shared_ptr<Key> target = FindPath(parent.key, names);
  if (!target) return ERROR_FILE_NOT_FOUND;
  std::shared_ptr<Key> container = target->parent.lock();
  if (!container) return ERROR_ACCESS_DENIED;  // a root stays
  if (ReadOnlyForUser(*target)) return ERROR_ACCESS_DENIED;
  if (sim::internal::IsNt() && !target->subkeys.empty()) {
    return ERROR_ACCESS_DENIED;
  }
  container->subkeys.erase(sim::internal::UpperAscii(target->name));
  MarkDeleted(target.get());
  return ERROR_SUCCESS;
}

LONG WINAPI RegDeleteValueA(HKEY key, LPCSTR valueName) {
  DWORD injected = 0;
  if (sim::internal::InjectedFailure("RegDeleteValueA", &injected)) {
    return static_cast<LONG>(injected);
  }
  OpenKey open;
  LONG error = Resolve(key, &open);
  if (error != ERROR_SUCCESS) return error;
  if (!Grants(open, KEY_SET_VALUE)) return ERROR_ACCESS_DENIED;
  Value* value = FindValue(open.key.get(), valueName);
  if (value == NULL) return ERROR_FILE_NOT_FOUND;
  open.key->values.erase(open.key->values.begin() +
                         (value - open.key->values.data()));
  return ERROR_SUCCESS;
}

LONG WINAPI RegQueryValueExA(HKEY key, LPCSTR valueName, LPDWORD reserved,
                             LPDWORD type, LPBYTE data, LPDWORD dataSize) {
  DWORD injected = 0;
  if (sim::internal::InjectedFailure("RegQueryValueExA", &injected)) {
    return static_cast<LONG>(injected);
  }
  OpenKey open;
  LONG error = Resolve(key, &open);
  if (error != ERROR_SUCCESS) return error;
  if (reserved != NULL) return ERROR_INVALID_PARAMETER;
  if (!Grants(open, KEY_QUERY_VALUE)) return ERROR_ACCESS_DENIED;
  const Value* value = FindValue(open.key.get(), valueName);
  if (value == NULL) return ERROR_FILE_NOT_FOUND;
  return CopyData(*value, type, data, dataSize);
}

LONG WINAPI RegSetValueExA(HKEY key, LPCSTR valueName, DWORD reserved,
                           DWORD type, const BYTE* data, DWORD dataSize) {
  (void)reserved;
  DWORD injected = 0;
  if (sim::internal::InjectedFailure("RegSetValueExA", &injected)) {
    return static_cast<LONG>(injected);
  }
  OpenKey open;
  LONG error = Resolve(key, &open);
  if (error != ERROR_SUCCESS) return error;
  if (!Grants(open, KEY_SET_VALUE)) return ERROR_ACCESS_DENIED;
  if (data == NULL && dataSize > 0) return kErrorNoAccess;
  StoreValue(open.key.get(), valueName == NULL ? "" : valueName, type,
             StoredBytes(type, data, dataSize));
  return ERROR_SUCCESS;
}

LONG WINAPI RegQueryInfoKeyA(HKEY key, LPSTR keyClass, LPDWORD classLength,
                             LPDWORD reserved, LPDWORD subKeys,
                             LPDWORD maxSubKeyLength, LPDWORD maxClassLength,
                             LPDWORD values, LPDWORD maxValueNameLength,
                             LPDWORD maxValueLength, LPDWORD securityDescriptor,
                             PFILETIME lastWriteTime) {
  DWORD injected = 0;
  if (sim::internal::InjectedFailure("RegQueryInfoKeyA", &injected)) {
    return static_cast<LONG>(injected);
  }
  OpenKey open;
  LONG error = Resolve(key, &open);
  if (error != ERROR_SUCCESS) return error;
  if (reserved != NULL) return ERROR_INVALID_PARAMETER;
  if (keyClass != NULL && classLength == NULL) return ERROR_INVALID_PARAMETER;
  if (!Grants(open, KEY_QUERY_VALUE)) return ERROR_ACCESS_DENIED;
  const Key& queried = *open.key;
  // No key here has a class.
  if (keyClass != NULL && *classLength > 0) keyClass[0] = '\0';
  if (classLength != NULL) *classLength = 0;
  if (maxClassLength != NULL) *maxClassLength = 0;
  DWORD longestSubkey = 0;
  for (const auto& subkey : queried.subkeys) {
    if (subkey.second->name.size() > longestSubkey) {
      longestSubkey = static_cast<DWORD>(subkey.second->name.size());
    }
  }
  DWORD longestName = 0;
  DWORD longestData = 0;
  for (const Value& value : queried.values) {
    if (value.name.size() > longestName) {
      longestName = static_cast<DWORD>(value.name.size());
    }
    if (value.data.size() > longestData) {
      longestData = static_cast<DWORD>(value.data.size());
    }
  }
  if (subKeys != NULL) *subKeys = static_cast<DWORD>(queried.subkeys.size());
  if (maxSubKeyLength != NULL) *maxSubKeyLength = longestSubkey;
  if (values != NULL) *values = static_cast<DWORD>(queried.values.size());
  if (maxValueNameLength != NULL) *maxValueNameLength = longestName;
  if (maxValueLength != NULL) *maxValueLength = longestData;
  if (securityDescriptor != NULL) *securityDescriptor = 0;
  if (lastWriteTime != NULL) {
    lastWriteTime->dwLowDateTime = 0;
    lastWriteTime->dwHighDateTime = 0;
  }
  return ERROR_SUCCESS;
}

LONG WINAPI RegEnumValueA(HKEY key, DWORD index, LPSTR valueName,
                          LPDWORD valueNameLength, LPDWORD reserved,
                          LPDWORD type, LPBYTE data, LPDWORD dataSize) {
  DWORD injected = 0;
  if (sim::internal::InjectedFailure("RegEnumValueA", &injected)) {
    return static_cast<LONG>(injected);
  }
  OpenKey open;
  LONG error = Resolve(key, &open);
  if (error != ERROR_SUCCESS) return error;
  if (valueName == NULL || valueNameLength == NULL || reserved != NULL) {
    return ERROR_INVALID_PARAMETER;
  }
  if (!Grants(open, KEY_QUERY_VALUE)) return ERROR_ACCESS_DENIED;
  if (index >= open.key->values.size()) return ERROR_NO_MORE_ITEMS;
  const Value& value = open.key->values[index];
  if (!CopyName(value.name, valueName, *valueNameLength)) {
    return ERROR_MORE_DATA;
  }
  *valueNameLength = static_cast<DWORD>(value.name.size());
  return CopyData(value, type, data, dataSize);
}

LONG WINAPI RegEnumKeyA(HKEY key, DWORD index, LPSTR name, DWORD nameSize) {
  DWORD injected = 0;
  if (sim::internal::InjectedFailure("RegEnumKeyA", &injected)) {
    return static_cast<LONG>(injected);
  }
  OpenKey open;
  LONG error = Resolve(key, &open);
  if (error != ERROR_SUCCESS) return error;
  if (name == NULL) return ERROR_INVALID_PARAMETER;
  if (!Grants(open, KEY_ENUMERATE_SUB_KEYS)) return ERROR_ACCESS_DENIED;
  if (index >= open.key->subkeys.size()) return ERROR_NO_MORE_ITEMS;
  std::map<std::string, std::shared_ptr<Key>>::const_iterator subkey =
      open.key->subkeys.begin();
  for (DWORD i = 0; i < index; ++i) ++subkey;
  if (!CopyName(subkey->second->name, name, nameSize)) return ERROR_MORE_DATA;
  return ERROR_SUCCESS;
}

namespace {

const char kHiveSignature[] = "regf#";
const char kNtProfileList[] =
    "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\ProfileList";
const char k9xProfileList[] =
    "Software\\Microsoft\\Windows\\CurrentVersion\\ProfileList";
const char kNtUserHive[] = "NTUSER.DAT";
const char kClassesHive[] = "AppData\\Local\\Microsoft\\Windows\\UsrClass.dat";
const char k9xUserHive[] = "USER.DAT";
const char kClassesSuffix[] = "_Classes";

std::shared_ptr<Key> CopyKey(const Key& key, std::shared_ptr<Key> parent) {
  std::shared_ptr<Key> copy = std::make_shared<Key>();
  copy->name = key.name;
  copy->values = key.values;
  copy->readOnlyForUser = key.readOnlyForUser;
  copy->parent = parent;
  for (const auto& subkey : key.subkeys) {
    copy->subkeys[subkey.first] = CopyKey(*subkey.second, copy);
  }
  return copy;
}

std::string StoreImage(const std::shared_ptr<Key>& image) {
  g_registry.hiveImages.push_back(image);
  return kHiveSignature + std::to_string(g_registry.hiveImages.size() - 1);
}

// The image a hive file holds; none for a damaged file.
std::shared_ptr<Key> ImageOf(const std::string& contents) {
  const size_t signature = sizeof kHiveSignature - 1;
  if (contents.compare(0, signature, kHiveSignature) != 0 ||
      contents.size() == signature ||
      contents.find_first_not_of("0123456789", signature) !=
          std::string::npos) {
    return std::shared_ptr<Key>();
  }
  size_t index = std::stoul(contents.substr(signature));
  if (index >= g_registry.hiveImages.size()) return std::shared_ptr<Key>();
  return g_registry.hiveImages[index];
}

// Whether a handle, the program's or another's, is open on `key` or below.
bool OpenBelow(const Key* key) {
  std::vector<const Key*> open;
  for (const auto& handle : g_registry.handles) {
    open.push_back(handle.second.key.get());
  }
  for (const std::shared_ptr<Key>& held : g_registry.heldKeys) {
    open.push_back(held.get());
  }
  for (const Key* at : open) {
    for (const Key* up = at; up != NULL; up = up->parent.lock().get()) {
      if (up == key) return true;
    }
  }
  return false;
}

// Both privileges, enabled, on the NT line; the 9x line checks none.
bool MayLoadHives() {
  return !sim::internal::IsNt() ||
         (sim::internal::PrivilegeEnabled(sim::internal::kBackupPrivilege) &&
          sim::internal::PrivilegeEnabled(sim::internal::kRestorePrivilege));
}

// Windows 95's RegLoadKey takes no long file names.
bool NamesOnly8Dot3(const std::string& path) {
  sim::files::ParsedPath parsed;
  if (sim::files::ParsePath(path.c_str(), false, sim::files::Caller::Control,
                            &parsed) != 0) {
    return false;
  }
  for (const std::string& component : parsed.components) {
    if (!sim::files::IsValidShortName(component)) return false;
  }
  return true;
}

LONG LoadHive(const std::string& name, LPCSTR file, bool byProgram) {
  if (name.empty() || name.find('\\') != std::string::npos) {
    return ERROR_INVALID_PARAMETER;
  }
  if (FindSubkey(*g_registry.users, name)) return ERROR_ALREADY_EXISTS;
  if (!sim::internal::IsNt() && !NamesOnly8Dot3(file)) {
    return ERROR_FILE_NOT_FOUND;
  }
  sim::files::Location location = sim::files::Locate(file);
  if (location.error == ERROR_FILE_NOT_FOUND) {
    // As documented: a file that does not exist is created, empty.
    sim::PutFile(file, StoreImage(std::make_shared<Key>()));
    location = sim::files::Locate(file);
  }
  if (location.error != 0) return static_cast<LONG>(location.error);
  if (location.entry->isDirectory) return ERROR_ACCESS_DENIED;
  std::string path = sim::files::FullPath(location.entry);
  for (const auto& hive : g_registry.hives) {
    if (sim::files::SameName(hive.second.file, path)) {
      return ERROR_SHARING_VIOLATION;
    }
  }
  for (const auto& open : sim::files::g_files.files) {
    if (open.second.node.get() == location.entry) {
      return ERROR_SHARING_VIOLATION;
    }
  }
  std::shared_ptr<Key> image = ImageOf(location.entry->contents);
  if (!image) return ERROR_BADDB;
  std::shared_ptr<Key> key = CopyKey(*image, g_registry.users);
  key->name = name;
  g_registry.users->subkeys[sim::internal::UpperAscii(name)] = key;
  g_registry.hives[sim::internal::UpperAscii(name)] =
      LoadedHive{key, path, byProgram};
  return ERROR_SUCCESS;
}

LONG UnloadHive(const std::string& name, bool evenIfOpen = false) {
  std::map<std::string, LoadedHive>::iterator hive =
      g_registry.hives.find(sim::internal::UpperAscii(name));
  if (hive == g_registry.hives.end()) return ERROR_INVALID_PARAMETER;
  if (!evenIfOpen && OpenBelow(hive->second.key.get())) {
    return ERROR_ACCESS_DENIED;
  }
  std::shared_ptr<Key> key = hive->second.key;
  sim::PutFile(hive->second.file, StoreImage(CopyKey(*key, nullptr)));
  g_registry.users->subkeys.erase(sim::internal::UpperAscii(name));
  MarkDeleted(key.get());
  g_registry.hives.erase(hive);
  return ERROR_SUCCESS;
}

std::string ProfileListKey() {
  return sim::internal::IsNt() ? kNtProfileList : k9xProfileList;
}

std::string InFolder(const std::string& folder, const std::string& name) {
  std::string path = sim::ExpandEnvironment(folder);
  if (!path.empty() && path.back() != '\\') path += '\\';
  return path + name;
}

// Turns the live key into a hive file without loading it first.
void SaveKey(const std::string& name, const std::string& file) {
  std::shared_ptr<Key> key = FindSubkey(*g_registry.users, name);
  if (!key) return;
  if (key == g_registry.currentUser) {
    sim::files::SetupError("the current user's profile cannot be unloaded",
                           name);
  }
  g_registry.hives.erase(sim::internal::UpperAscii(name));
  sim::PutFile(file, StoreImage(CopyKey(*key, nullptr)));
  g_registry.users->subkeys.erase(sim::internal::UpperAscii(name));
  MarkDeleted(key.get());
}

}  // namespace

namespace sim {

void UnloadProfile(const std::string& name, const std::string& folder) {
  if (internal::IsNt()) {
    SaveKey(name, InFolder(folder, kNtUserHive));
    SaveKey(name + kClassesSuffix, InFolder(folder, kClassesHive));
    SetRawValue(HKEY_LOCAL_MACHINE, ProfileListKey() + "\\" + name,
                "ProfileImagePath", REG_EXPAND_SZ,
                folder + std::string(1, '\0'));
  } else {
    SaveKey(name, InFolder(folder, k9xUserHive));
    SetStringValue(HKEY_LOCAL_MACHINE, ProfileListKey() + "\\" + name,
                   "ProfileImagePath", folder);
  }
}

bool LoadProfile(const std::string& name) {
  std::string folder = ValueData(
      HKEY_LOCAL_MACHINE, ProfileListKey() + "\\" + name, "ProfileImagePath");
  folder = folder.substr(0, folder.find('\0'));
  if (folder.empty()) return false;
  if (!internal::IsNt()) {
    return LoadHive(name, InFolder(folder, k9xUserHive).c_str(), false) ==
           ERROR_SUCCESS;
  }
  if (LoadHive(name, InFolder(folder, kNtUserHive).c_str(), false) !=
      ERROR_SUCCESS) {
    return false;
  }
  std::string classes = InFolder(folder, kClassesHive);
  return !FileExists(classes) ||
         LoadHive(name + kClassesSuffix, classes.c_str(), false) ==
             ERROR_SUCCESS;
}

std::vector<std::string> LoadedHives() {
  return internal::ProgramLoadedHives();
}

void HoldKeyOpen(HKEY root, const std::string& path) {
  std::shared_ptr<Key> key = ControlKey(root, path);
  if (!key) sim::files::SetupError("no key to hold open", path);
  g_registry.heldKeys.push_back(key);
}

void ReleaseHeldKeys() { g_registry.heldKeys.clear(); }

void ReleaseLoadedHives() {
  for (const std::string& name : internal::ProgramLoadedHives()) {
    UnloadHive(name, true);
  }
}

namespace internal {

std::vector<std::string> ProgramLoadedHives() {
  std::vector<std::string> names;
  for (const auto& hive : g_registry.hives) {
    if (hive.second.byProgram) names.push_back(hive.second.key->name);
  }
  return names;
}

void UnloadProgramHives() {
  g_registry.handles.clear();
  g_registry.heldKeys.clear();
  for (const std::string& name : ProgramLoadedHives()) UnloadHive(name);
}

}  // namespace internal
}  // namespace sim

// As documented: HKEY_USERS or HKEY_LOCAL_MACHINE only; on NT the caller
// needs SE_BACKUP_NAME and SE_RESTORE_NAME enabled; a file that does not
// exist is created. A file loaded already, or open, is in use.
LONG WINAPI RegLoadKeyA(HKEY key, LPCSTR subKey, LPCSTR file) {
  DWORD injected = 0;
  if (sim::internal::InjectedFailure("RegLoadKeyA", &injected)) {
    return static_cast<LONG>(injected);
  }
  if (key != HKEY_USERS) return ERROR_INVALID_PARAMETER;
  if (subKey == NULL || file == NULL) return ERROR_INVALID_PARAMETER;
  if (!MayLoadHives()) return ERROR_PRIVILEGE_NOT_HELD;
  return LoadHive(subKey, file, true);
}

// Fails while any handle is open on the hive's keys, another program's
// included.
LONG WINAPI RegUnLoadKeyA(HKEY key, LPCSTR subKey) {
  DWORD injected = 0;
  if (sim::internal::InjectedFailure("RegUnLoadKeyA", &injected)) {
    return static_cast<LONG>(injected);
  }
  if (key != HKEY_USERS || subKey == NULL) return ERROR_INVALID_PARAMETER;
  if (!MayLoadHives()) return ERROR_PRIVILEGE_NOT_HELD;
  return UnloadHive(subKey);
}

// As documented: the file must not exist yet; on NT the caller needs
// SE_BACKUP_NAME enabled.
LONG WINAPI RegSaveKeyA(HKEY key, LPCSTR file, LPSECURITY_ATTRIBUTES security) {
  (void)security;
  DWORD injected = 0;
  if (sim::internal::InjectedFailure("RegSaveKeyA", &injected)) {
    return static_cast<LONG>(injected);
  }
  OpenKey open;
  LONG error = Resolve(key, &open);
  if (error != ERROR_SUCCESS) return error;
  if (file == NULL) return ERROR_INVALID_PARAMETER;
  if (sim::internal::IsNt() &&
      !sim::internal::PrivilegeEnabled(sim::internal::kBackupPrivilege)) {
    return ERROR_PRIVILEGE_NOT_HELD;
  }
  sim::files::Location location = sim::files::Locate(file);
  if (location.error == 0) return ERROR_ALREADY_EXISTS;
  if (location.error != ERROR_FILE_NOT_FOUND) {
    return static_cast<LONG>(location.error);
  }
  sim::PutFile(file, StoreImage(CopyKey(*open.key, nullptr)));
  return ERROR_SUCCESS;
}
