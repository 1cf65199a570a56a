// Whose a registry key is: the verdict on a whole-key entry, which lint,
// scan, diff and try all take, and the program groups everyone shares.
#include "tools/uninstdat/key_shape.h"

#include <gtest/gtest.h>

namespace uninstdat {
namespace {

// Each row: the key as an author writes it, the verdict, and the key of the
// owned shape that holds it (canonical), which scan and try compare.
TEST(KeyShapeTest, JudgesWholeKeys) {
  using K = KeyVerdict;
  const std::string cv = "HKEY_LOCAL_MACHINE\\SOFTWARE\\MICROSOFT\\WINDOWS\\CURRENTVERSION\\";
  const struct {
    const char* name;
    const char* key;
    K::Kind kind;
    std::string owner;
  } rows[] = {
      {"a product's uninstall key", "HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Widget",
       K::kProduct, cv + "UNINSTALL\\WIDGET"},
      {"a key below it", "HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Widget\\Parts",
       K::kProduct, cv + "UNINSTALL\\WIDGET"},
      {"a program's App Paths key", "HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\widget.exe",
       K::kProduct, cv + "APP PATHS\\WIDGET.EXE"},
      {"the Uninstall key itself", "HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall",
       K::kFreshMachine, cv + "UNINSTALL"},
      {"another key below CurrentVersion\\Explorer",
       "HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\WidgetState", K::kShared, ""},
      {"a key named like a program below Run", "HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Run\\Widget",
       K::kShared, ""},
      {"everyone's ODBC, which a fresh machine lacks", "HKEY_LOCAL_MACHINE\\Software\\ODBC\\ODBC.INI\\Widget", K::kShared,
       ""},
      {"a vendor's key", "HKEY_LOCAL_MACHINE\\Software\\Acme", K::kVendor, "HKEY_LOCAL_MACHINE\\SOFTWARE\\ACME"},
      {"a vendor's key of the user", "HKEY_CURRENT_USER\\Software\\Acme\\", K::kVendor, "HKEY_CURRENT_USER\\SOFTWARE\\ACME"},
      {"a vendor's key in the 32-bit view", "HKEY_LOCAL_MACHINE\\Software\\Wow6432Node\\Acme", K::kVendor,
       "HKEY_LOCAL_MACHINE\\SOFTWARE\\ACME"},
      {"a product below its vendor", "HKEY_LOCAL_MACHINE\\Software\\Acme\\Widget", K::kProduct,
       "HKEY_LOCAL_MACHINE\\SOFTWARE\\ACME"},
      {"a key the fresh machine has below an owned shape", "HKEY_LOCAL_MACHINE\\Software\\Wine\\Ports", K::kFreshMachine,
       "HKEY_LOCAL_MACHINE\\SOFTWARE\\WINE\\PORTS"},
      {"a new key below an owned shape the fresh machine has", "HKEY_LOCAL_MACHINE\\Software\\Wine\\WidgetSettings",
       K::kFreshMachine, "HKEY_LOCAL_MACHINE\\SOFTWARE\\WINE"},
      {"a class", "HKEY_CLASSES_ROOT\\CLSID\\{01234567-89ab-cdef-0123-456789ABCDEF}\\InprocServer32", K::kProduct,
       "HKEY_CLASSES_ROOT\\CLSID\\{01234567-89AB-CDEF-0123-456789ABCDEF}"},
      {"a class of the fresh machine, deeper than its list",
       "HKEY_CLASSES_ROOT\\CLSID\\{0000002F-0000-0000-C000-000000000046}\\InprocServer32", K::kFreshMachine,
       "HKEY_CLASSES_ROOT\\CLSID\\{0000002F-0000-0000-C000-000000000046}\\INPROCSERVER32"},
      {"a name below CLSID that is no GUID", "HKEY_CLASSES_ROOT\\CLSID\\Widget", K::kShared, ""},
      {"a ProgID", "HKEY_LOCAL_MACHINE\\Software\\Classes\\Acme.Widget.1", K::kProduct, "HKEY_CLASSES_ROOT\\ACME.WIDGET.1"},
      {"a ProgID of Microsoft's", "HKEY_CLASSES_ROOT\\Microsoft.Widget", K::kShared, ""},
      {"a service", "HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services\\WidgetSvc", K::kProduct,
       "HKEY_LOCAL_MACHINE\\SYSTEM\\CURRENTCONTROLSET\\SERVICES\\WIDGETSVC"},
      {"a short root", "HKLM\\Software\\Acme\\Widget", K::kShared, ""},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    KeyVerdict verdict = JudgeWholeKey(row.key);
    EXPECT_EQ(verdict.kind, row.kind);
    EXPECT_EQ(verdict.owner, row.owner);
  }
}

TEST(KeyShapeTest, SharedProgramGroups) {
  const struct {
    const char* group;
    bool shared;
  } rows[] = {{"STARTUP", true}, {"ACCESSORIES\\SYSTEM TOOLS", true}, {"ADMINISTRATIVE TOOLS", true},
              {"WIDGET", false}, {"ACME\\WIDGET", false},            {"STARTUP\\WIDGET", false}};
  for (const auto& row : rows) {
    SCOPED_TRACE(row.group);
    EXPECT_EQ(IsSharedProgramGroup(row.group), row.shared);
  }
}

}  // namespace
}  // namespace uninstdat
