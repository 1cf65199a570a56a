// try's report rendered; see try_render.h.
#include "tools/uninstdat/try/try_render.h"

#include <sstream>

#include "tools/uninstdat/families.h"

namespace uninstdat {
namespace {

const char* RecordName(TryRecord::Kind kind) {
  switch (kind) {
    case TryRecord::kBox: return "box";
    case TryRecord::kError: return "error";
    case TryRecord::kLeft: return "left";
    case TryRecord::kUninstallerLeft: return "uninstaller-left";
    case TryRecord::kLeftEmpty: return "left-empty";
    case TryRecord::kNote: return "note";
    case TryRecord::kCanaries: return "canaries";
    case TryRecord::kUnmatched: return "unmatched";
    case TryRecord::kRestart: return "restart";
    case TryRecord::kRemovedUnstaged: return "removed-unstaged";
  }
  return "";
}

const char* ItemName(TryItem item) {
  switch (item) {
    case TryItem::kFile: return "file";
    case TryItem::kFolder: return "folder";
    case TryItem::kLink: return "link";
    case TryItem::kKey: return "key";
    case TryItem::kValue: return "value";
  }
  return "";
}

bool IsItem(TryRecord::Kind kind) {
  return kind == TryRecord::kLeft || kind == TryRecord::kUninstallerLeft || kind == TryRecord::kLeftEmpty ||
         kind == TryRecord::kNote || kind == TryRecord::kRemovedUnstaged;
}

// "the Windows NT family", "Windows 98/Me" or "Windows 95".
const char* FamilyHeading(uninst::OsFamilyValue family) {
  return family == uninst::kOsNt ? "the Windows NT family" : FamilyLongName(family);
}

// What a canary kind stands for, for people.
std::string CanaryText(const std::string& kind) {
  if (kind == "vendor") return "another product of the vendor";
  if (kind == "value") return "another program's value or key";
  if (kind == "file") return "another program's file";
  if (kind == "shortcut") return "another program's shortcut";
  if (kind == "user") return "a second user's shortcut";
  return kind;
}

// An item as a line: its kind, its path, a value's name, what replaced it.
std::string ItemText(const TryRecord& r) {
  std::string text = std::string(ItemName(r.item)) + " " + r.path;
  if (r.value) text += " value \"" + *r.value + "\"";
  if (r.now) text += " (now a " + std::string(ItemName(*r.now)) + ")";
  if (r.laidBy) text += *r.laidBy == "--also" ? " (of --also" : " (a canary: " + CanaryText(*r.laidBy);
  if (r.laidBy) text += r.takenBy ? "; taken by " + *r.takenBy + ")" : "; no entry names it)";
  if (r.kind == TryRecord::kNote && r.note) text += ": " + *r.note;
  return text;
}

std::vector<const TryRecord*> Of(const FamilyReport& report, TryRecord::Kind kind) {
  std::vector<const TryRecord*> found;
  for (const TryRecord& r : report.records)
    if (r.kind == kind) found.push_back(&r);
  return found;
}

std::string ListText(const FamilyReport& report, const char* title, TryRecord::Kind kind) {
  std::vector<const TryRecord*> found = Of(report, kind);
  std::string text = std::string(title) + ": " + (found.empty() ? "none" : std::to_string(found.size())) + "\n";
  for (const TryRecord* r : found) text += "  " + ItemText(*r) + "\n";
  return text;
}

std::string RestartText(const TryRecord& restart) {
  if (!restart.asked) return "Restart question: not asked\n";
  std::string text = "Restart question: asked; deferred: " + std::to_string(restart.deferred.size()) + "\n";
  for (const std::string& path : restart.deferred) text += "  " + path + "\n";
  if (restart.note) text += "  (" + *restart.note + ")\n";
  return text;
}

std::string XmlEscaped(const std::string& text) {
  std::string out;
  for (unsigned char c : text) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      default:
        if (c < 0x20 && c != '\t' && c != '\n' && c != '\r') out += "?";  // XML 1.0 cannot carry it
        else out += static_cast<char>(c);
    }
  }
  return out;
}

// A finding as one line for people; empty for a record that is none.
std::string FindingText(const TryRecord& r) {
  std::string path = r.path;
  if (r.value) path += " value \"" + *r.value + "\"";
  switch (r.kind) {
    case TryRecord::kLeft: return "staged and still there: " + std::string(ItemName(r.item)) + " " + path;
    case TryRecord::kUninstallerLeft: return "the uninstaller's own " + std::string(ItemName(r.item)) + " is still there: " + path;
    case TryRecord::kLeftEmpty: return "key left empty: " + path;
    case TryRecord::kRemovedUnstaged:
      return "removed though nobody staged it: " + std::string(ItemName(r.item)) + " " + path +
             (r.laidBy ? " (" + (*r.laidBy == "--also" ? std::string("of --also") : "a canary: " + CanaryText(*r.laidBy)) +
                             (r.takenBy ? "; taken by " + *r.takenBy : std::string()) + ")"
                       : std::string());
    case TryRecord::kError: return "the run did not end well: " + r.text;
    case TryRecord::kRestart: return r.asked ? "the restart question was asked" : "";
    default: return "";
  }
}

}  // namespace

Json TryRecordJson(const TryRecord& r, uninst::OsFamilyValue family) {
  Json record = {{"record", RecordName(r.kind)}};
  if (r.kind == TryRecord::kBox) record["box"] = r.text;
  if (r.kind == TryRecord::kError) record["what"] = r.text;
  if (IsItem(r.kind)) record["kind"] = ItemName(r.item);
  if (r.kind == TryRecord::kUnmatched) record["entry"] = r.entry;
  if (IsItem(r.kind) || r.kind == TryRecord::kUnmatched) record["path"] = r.path;
  if (r.value) record["value"] = *r.value;
  if (r.now) record["now"] = ItemName(*r.now);
  if (r.kind == TryRecord::kRestart) {
    record["asked"] = r.asked;
    record["deferred"] = r.deferred;
    if (r.note) record["note"] = *r.note;
  }
  if (r.kind == TryRecord::kNote && r.note) record["why"] = *r.note;
  if (r.laidBy) record["laidBy"] = *r.laidBy;
  if (r.takenBy) record["takenBy"] = *r.takenBy;
  if (r.kind == TryRecord::kCanaries)
    for (size_t k = 0; k < kCanaryKinds; ++k) record[CanaryKindName(static_cast<CanaryKind>(k))] = r.canaries[k];
  record["family"] = FamilyName(family);
  return record;
}

Json TrySummaryJson(const FamilyReport& report, int exit) {
  return {{"record", "summary"},
          {"left", report.left},
          {"uninstallerLeft", report.uninstallerLeft},
          {"leftEmpty", report.leftEmpty},
          {"unmatched", report.unmatched},
          {"restartAsked", report.restartAsked},
          {"removedUnstaged", report.removedUnstaged},
          {"notes", report.notes},
          {"errors", report.errors},
          {"exit", exit},
          {"family", FamilyName(report.family)}};
}

std::string TryReportJsonLines(const FamilyReport& report, int exit) {
  std::string lines;
  for (const TryRecord& record : report.records) lines += TryRecordJson(record, report.family).dump() + "\n";
  return lines + TrySummaryJson(report, exit).dump() + "\n";
}

std::string TryReportText(const FamilyReport& report, int exit) {
  std::string text = std::string("== ") + FamilyHeading(report.family) + "\nBoxes:\n";
  for (const TryRecord* r : Of(report, TryRecord::kBox)) text += "  " + r->text + "\n";
  for (const TryRecord* r : Of(report, TryRecord::kError)) text += "The run did not end well: " + r->text + "\n";
  std::vector<const TryRecord*> canaries = Of(report, TryRecord::kCanaries);
  if (canaries.empty()) {
    text += "Canaries: none (--fresh)\n";
  } else {
    const auto& n = canaries[0]->canaries;
    auto count = [&](CanaryKind kind) { return std::to_string(n[static_cast<size_t>(kind)]); };
    text += "Canaries (what the machine holds beside the product, which must stay): " + count(CanaryKind::kVendor) +
            " of another product of the vendor, " + count(CanaryKind::kValue) + " values or keys of another program, " +
            count(CanaryKind::kFile) + " files of another program, " + count(CanaryKind::kShortcut) +
            " shortcuts of another program, " + count(CanaryKind::kUser) + " shortcuts of a second user\n";
  }
  text += ListText(report, "Staged and still there", TryRecord::kLeft);
  text += ListText(report, "The uninstaller left", TryRecord::kUninstallerLeft);
  text += ListText(report, "Keys left empty", TryRecord::kLeftEmpty);
  text += ListText(report, "Notes (no fault: what a data file cannot remove)", TryRecord::kNote);
  std::vector<const TryRecord*> unmatched = Of(report, TryRecord::kUnmatched);
  text += "Removal entries that matched nothing staged (informational: a program may make them at run time): " +
          (unmatched.empty() ? std::string("none") : std::to_string(unmatched.size())) + "\n";
  for (const TryRecord* r : unmatched) text += "  entry " + std::to_string(r->entry) + ": " + r->path + "\n";
  text += RestartText(*Of(report, TryRecord::kRestart)[0]);
  text += ListText(report, "Removed though nobody staged it (the safety report)", TryRecord::kRemovedUnstaged);
  return text + "Result: " + (report.Clean() ? "clean" : "something to mend") + " (exit " + std::to_string(exit) + ")\n";
}

std::string JUnitXml(const std::vector<FamilyReport>& reports) {
  size_t failures = 0;
  std::ostringstream cases;
  for (const FamilyReport& report : reports) {
    cases << "  <testcase classname=\"uninstdat.try\" name=\"" << XmlEscaped(FamilyName(report.family)) << "\">\n";
    for (const TryRecord& r : report.records) {
      std::string text = FindingText(r);
      if (text.empty()) continue;
      ++failures;
      cases << "    <failure type=\"" << XmlEscaped(RecordName(r.kind)) << "\" message=\"" << XmlEscaped(text)
            << "\"/>\n";
    }
    cases << "  </testcase>\n";
  }
  std::ostringstream out;
  out << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<testsuites>\n <testsuite name=\"uninstdat try\" tests=\""
      << reports.size() << "\" failures=\"" << failures << "\">\n"
      << cases.str() << " </testsuite>\n</testsuites>\n";
  return out.str();
}

}  // namespace uninstdat
