// What the three parts of the simulated file system share: the tree of
// drives, directories and files, the open handles, the boot-time move list,
// and the path and handle helpers that the API calls of every part use. Not
// for tests (they use sim_control.h) and not for the program.
#ifndef WORMSWEEP_SIM_SIM_FILE_SYSTEM_H_
#define WORMSWEEP_SIM_SIM_FILE_SYSTEM_H_

#include <stdint.h>

#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "sim/sim_internal.h"
#include "sim/sim_windows.h"

namespace sim {
namespace files {

const DWORD kErrorNegativeSeek = 131;
const DWORD kErrorNotSameDevice = 17;
const DWORD kErrorInvalidName = 123;
const DWORD kErrorFilenameTooLong = 206;
const DWORD kErrorDirectory = 267;
const DWORD kErrorDiskFull = 112;
const DWORD kErrorNoAccess = 998;

// Files stay in memory; a write or seek beyond this is a full disk rather
// than an attempt to allocate gigabytes.
const uint64_t kLargestFile = 64u * 1024u * 1024u;

// The attributes a file or directory can carry besides
// FILE_ATTRIBUTE_DIRECTORY.
const DWORD kSettableAttributes =
    FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
    FILE_ATTRIBUTE_ARCHIVE;

// File and search handles live between 0x40000 and the console's 0x70000.
const uintptr_t kFirstFileHandle = 0x40000;
const uintptr_t kLastFileHandle = 0x6FFFC;

struct Node {
  std::string name;
  std::string shortName;  // empty when the name itself is a valid 8.3 name
  bool isDirectory = false;
  // Made private (sim::MakePrivate): on the NT line the running account may
  // not look below it.
  bool isPrivate = false;
  DWORD attributes = 0;
  std::string contents;
  std::vector<std::shared_ptr<Node>> children;
  Node* parent = NULL;
};

struct OpenFile {
  std::shared_ptr<Node> node;
  DWORD access;
  DWORD shareMode;
  uint64_t position;
};

struct FileState {
  std::map<char, std::shared_ptr<Node>> drives;
  std::map<uintptr_t, OpenFile> files;
  std::set<uintptr_t> searches;
  std::set<uintptr_t> consoles;
  uintptr_t nextHandle = kFirstFileHandle;
  // Set by ShortenNextWrite: the next write stops after this many bytes.
  bool shortenNextWrite = false;
  DWORD nextWriteLimit = 0;
  // Set by SetReportedFileSize, by upper-case full path.
  std::map<std::string, uint64_t> reportedSizes;
  // While Restart() carries out the boot-time schedule, which runs as the
  // system, before any account logs on.
  bool restarting = false;
};

extern FileState g_files;

struct ParsedPath {
  char drive = 0;
  std::vector<std::string> components;
};

// A full path ("C:\dir\file", either separator), a path on the current drive
// ("\dir\file") or one relative to the current directory, which is the root
// of C:. Returns 0 or the error that Windows reports for the text itself.
// The API's ANSI calls take at most MAX_PATH - 1 characters; the control
// functions may set up deeper paths.
enum class Caller { Api, Control };

// Where a path leads: its directory (NULL when that is missing, with error
// ERROR_PATH_NOT_FOUND) and the entry itself (NULL when missing; error
// ERROR_FILE_NOT_FOUND). A path that names a root has the root as its entry
// and no directory.
struct Location {
  DWORD error = 0;
  Node* directory = NULL;
  Node* entry = NULL;
  std::string leaf;
  ParsedPath parsed;
};

using sim::internal::Fails;
using sim::internal::FailWith;

std::string Upper(const std::string& text);

bool SameName(const std::string& a, const std::string& b);

bool IsSeparator(char c);

bool IsValidShortName(const std::string& name);

std::string ShortOrLong(const Node& node);

DWORD ParsePath(LPCSTR text, bool wildcardsInLast, Caller caller,
                ParsedPath* parsed);

Node* FindChild(const Node& directory, const std::string& name);

std::shared_ptr<Node> Owning(Node* node);

Location Locate(LPCSTR path, bool wildcardsInLast = false,
                Caller caller = Caller::Api);

bool IsWithin(const Node* node, const Node* ancestor);

Node* AddChild(Node* directory, const std::string& name, bool isDirectory);

std::shared_ptr<Node> Detach(Node* node);

void Attach(const std::shared_ptr<Node>& node, Node* directory,
            const std::string& name);

[[noreturn]] void SetupError(const char* what, const std::string& path);

Node* MakeDirectories(const std::string& path);

std::string FullPath(const Node* node);

std::vector<const Node*> SortedChildren(const Node& directory);

// Whether a new opening with `access` and `shareMode` can coexist with every
// handle already open on `node`, both ways.
bool SharingAllows(const Node* node, DWORD access, DWORD shareMode);

// Deleting or renaming needs every open handle to share deletion.
bool DeletionShared(const Node* node);

bool HasOpenFileWithin(const Node* directory);

// Whether the account may delete, rename or write the file at `location`: a
// Power User of the NT line may read the files of the Windows and the system
// directory but not change them.
bool AccountMayChange(const Location& location);

// ERROR_ACCESS_DENIED when the account may not rename the existing file
// `existing` to `target`, or delete it (`target` the same path), else 0.
DWORD AccountError(LPCSTR existing, LPCSTR target);

DWORD RemoveFile(const Location& location, bool honourReadOnly);

DWORD Move(LPCSTR existing, LPCSTR target, bool replaceExisting);

}  // namespace files
}  // namespace sim

#endif  // WORMSWEEP_SIM_SIM_FILE_SYSTEM_H_
