// Whose a registry key is. The uninstaller deletes a whole key with all its
// subkeys, so a whole-key entry is sound only for a key that one product
// owns; that is told by the key's shape, and a key that a fresh machine
// already has belongs to Windows whatever its shape.
#pragma once

#include <string>
#include <string_view>

namespace uninstdat {

// The long name of a registry root written by its long or short name (HKLM
// for HKEY_LOCAL_MACHINE), in any letter case; with `shortOnly`, only by its
// short name. Null for anything else.
const char* LongRootName(std::string_view root, bool shortOnly = false);

// The key as a program sees it, for comparing: ROOT\subkey with the root's
// long name, HKEY_LOCAL_MACHINE or HKEY_CURRENT_USER "Software\Classes" and
// HKEY_CLASSES_ROOT "Wow6432Node" folded into HKEY_CLASSES_ROOT, and
// HKEY_LOCAL_MACHINE "Software\Wow6432Node" (the 32-bit view) into
// "Software"; a-z in upper case, no backslash at the end. Empty when `key`
// (UTF-8) does not begin with a long root name.
std::string CanonicalKey(std::string_view key);

struct KeyVerdict {
  enum Kind {
    kProduct,       // a shape one product owns, and a fresh machine lacks it
    kFreshMachine,  // a fresh machine has the key, or the product-owned key it lies in
    kShared,        // no shape that one product owns
    kVendor,        // Software\<Vendor> itself: every product of that vendor keeps its keys below it
  } kind;
  // kProduct and kFreshMachine: the key of the owned shape that holds `key`
  // (such as HKEY_CLASSES_ROOT\CLSID\{...} for a key below it), or the key
  // itself where no shape holds it; canonical.
  std::string owner;
};

// Judges `key` (ROOT\subkey, UTF-8, any letter case) as a whole-key entry.
// Owned shapes: HKLM or HKCU Software\<Vendor>\<Product>[\...] for a vendor
// that is not Windows' or everyone's (Microsoft, Classes, Policies, Clients,
// ...); Software\<Vendor> itself (either registry view) is kVendor, since
// another product of the same vendor keeps its keys beside the product's;
// ...\CurrentVersion\Uninstall\<Product> and ...\App Paths\<Program>;
// HKCR CLSID, Interface, TypeLib and AppID \{GUID}; a ProgID
// HKCR\<Vendor>.<Name>[.<n>]; HKLM\SYSTEM\CurrentControlSet\Services\<Name>;
// each with any keys below it.
KeyVerdict JudgeWholeKey(std::string_view key);

// Whether `upperGroup` (a program group, a-z in upper case, no backslash at
// its ends) names a folder of the Programs menu that Windows or every
// product shares, such as ACCESSORIES or STARTUP.
bool IsSharedProgramGroup(std::string_view upperGroup);

}  // namespace uninstdat
