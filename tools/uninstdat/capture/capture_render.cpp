// capture's report as text and JSON; see capture_render.h.
#include "tools/uninstdat/capture/capture_render.h"
#include "tools/uninstdat/capture/capture_report_parts.h"

#include <map>

namespace uninstdat {
namespace {


const char* RecordName(CaptureRecord::Record record) {
  switch (record) {
    case CaptureRecord::kCaptured: return "captured";
    case CaptureRecord::kLeftOut: return "left-out";
    case CaptureRecord::kNote: return "note";
  }
  return "";
}

const char* HowName(InstallFolderChoice::How how) {
  switch (how) {
    case InstallFolderChoice::kGiven: return "given";
    case InstallFolderChoice::kUninstaller: return "uninstaller";
    case InstallFolderChoice::kProgramFiles: return "program-files";
    case InstallFolderChoice::kSeveral: return "several";
    case InstallFolderChoice::kNone: break;
  }
  return "none";
}

std::string Quoted(const std::string& text) { return "\"" + text + "\""; }

// "key "Name" (type)" or the path.
std::string ItemText(const CaptureRecord& record) {
  if (record.item != CaptureRecord::kValue) return record.path;
  std::string text = record.path + " " + (record.value.empty() ? std::string("@") : Quoted(record.value));
  return record.type.empty() ? text : text + " (" + record.type + ")";
}

// A content hash shortened for people: its first 12 digits name it well enough.
std::string Short(const std::string& data) {
  return data.compare(0, 7, "sha256:") == 0 && data.size() > 19 ? data.substr(0, 19) + "..." : data;
}

std::string Lines(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) text += (text.empty() ? "" : ", ") + Quoted(line);
  return text;
}

std::string InstallerText(const CaptureReport& report) {
  std::string kind = InstallerKindName(report.installer.kind);
  if (report.installer.kind != InstallerKind::kMsi && report.installer.kind != InstallerKind::kProgram)
    kind = "an " + kind + " installer";
  return report.installerName + ", " + kind + " (" + std::to_string(report.installer.bits) + "-bit)";
}

std::string FamilyText(const std::string& family) {
  return family == "98" ? "Windows 98/Me" : family == "95" ? "Windows 95" : "the Windows NT family";
}

}  // namespace

Json CaptureRecordJson(const CaptureRecord& record) {
  Json json{{"record", RecordName(record.record)}, {"kind", ItemName(record.item)}};
  if (record.item == CaptureRecord::kKey || record.item == CaptureRecord::kValue) {
    json["key"] = record.path;
    if (record.item == CaptureRecord::kValue) {
      json["value"] = record.value;
      json["type"] = record.type;
    }
  } else {
    json["path"] = record.path;
  }
  if (!record.stage.empty()) json["stage"] = record.stage;
  if (!record.reason.empty()) json["reason"] = record.reason;
  if (!record.why.empty()) json["why"] = record.why;
  if (!record.old.empty()) json["old"] = record.old;
  if (!record.now.empty()) json["now"] = record.now;
  if (!record.linesAdded.empty()) json["linesAdded"] = record.linesAdded;
  if (!record.linesRemoved.empty()) json["linesRemoved"] = record.linesRemoved;
  return json;
}

std::string CaptureReportJsonLines(const CaptureReport& report, int exit) {
  std::string out;
  auto line = [&](const Json& json) { out += json.dump() + "\n"; };
  line({{"record", "installer"},
        {"installer", report.installerName},
        {"kind", InstallerKindName(report.installer.kind)},
        {"bits", report.installer.bits},
        {"commandLine", report.commandLine},
        {"family", report.family},
        {"exit", report.installerExit}});
  for (const CaptureRecord& record : report.records) line(CaptureRecordJson(record));
  Json folder{{"record", "install-folder"}, {"how", HowName(report.installFolder.how)}};
  if (!report.installFolder.folder.empty()) folder["folder"] = report.installFolder.folder;
  if (!report.installFolder.candidates.empty()) folder["candidates"] = report.installFolder.candidates;
  if (!report.installFolderProblem.empty()) folder["problem"] = report.installFolderProblem;
  line(folder);
  line({{"record", "shortcuts"}, {"allUsers", report.allUsers}, {"otherUsers", report.otherUsersShortcuts}});
  if (report.restartAsked || !report.scheduled.empty())
    line({{"record", "restart"}, {"asked", report.restartAsked}, {"scheduled", report.scheduled}});
  if (report.timedOut) {
    Json timeout{{"record", "timeout"}, {"windows", report.windows}};
    if (report.silentSwitch) timeout["silentSwitch"] = report.silentSwitch;
    line(timeout);
  }
  for (const std::string& process : report.outlived) line({{"record", "outlived"}, {"process", process}});
  if (!report.cap.empty())
    line({{"record", "cap"}, {"cap", report.cap}, {"count", report.capCount}, {"limit", report.capLimit}});
  for (const std::string& what : report.fatal) line({{"record", "error"}, {"what", what}});
  Json summary{{"record", "summary"},
               {"captured", report.captured},
               {"leftOut", report.leftOut},
               {"notes", report.notes}};
  summary["stage"] = report.stage.empty() ? Json() : Json(report.stage);
  if (!report.scanCommand.empty()) summary["next"] = report.scanCommand;
  summary["exit"] = exit;
  line(summary);
  return out;
}

std::string CaptureReportText(const CaptureReport& report, int exit) {
  std::string out = "Installer: " + InstallerText(report) + ", run as " + report.commandLine + " on " +
                    FamilyText(report.family);
  out += report.installerExit >= 0 ? "; it ended with exit code " + std::to_string(report.installerExit) + "\n"
                                   : "; it did not end by itself\n";
  auto section = [&](CaptureRecord::Record kind, const char* heading) {
    size_t count = 0;
    for (const CaptureRecord& record : report.records)
      if (record.record == kind) ++count;
    if (!count) return;
    out += std::string(heading) + " (" + std::to_string(count) + "):\n";
    // What is left out for the same reason as a folder or key above it is
    // counted on that one's line (the JSON records name every item):
    // Windows Installer's records are many, and one reason.
    std::map<std::pair<std::string, std::string>, size_t> containers;  // reason and path to the count below
    std::vector<const CaptureRecord*> shown;
    for (const CaptureRecord& record : report.records) {
      if (record.record != kind) continue;
      bool covered = false;
      if (kind != CaptureRecord::kCaptured) {
        std::string path = record.item == CaptureRecord::kValue ? record.path + "\\" : record.path;
        for (size_t slash = path.find('\\'); slash != std::string::npos && !covered; slash = path.find('\\', slash + 1)) {
          auto found = containers.find({record.reason, path.substr(0, slash)});
          if (found != containers.end()) {
            ++found->second;
            covered = true;
          }
        }
      }
      if (covered) continue;
      if (record.item == CaptureRecord::kFolder || record.item == CaptureRecord::kKey)
        containers.emplace(std::make_pair(record.reason, record.path), 0);
      shown.push_back(&record);
    }
    for (const CaptureRecord* shownRecord : shown) {
      const CaptureRecord& record = *shownRecord;
      std::string line = "  " + std::string(ItemName(record.item)) + std::string(8 - std::string(ItemName(record.item)).size(), ' ') +
                         ItemText(record);
      if (kind == CaptureRecord::kCaptured) {
        line += record.stage == "registry.reg" ? "" : " -> " + record.stage;
      } else {
        line += ": " + record.reason + ": " + record.why;
        if (!record.linesAdded.empty()) line += "; lines added: " + Lines(record.linesAdded);
        if (!record.linesRemoved.empty()) line += "; lines removed: " + Lines(record.linesRemoved);
        if (record.linesAdded.empty() && record.linesRemoved.empty() && (!record.old.empty() || !record.now.empty()))
          line += "; was " + (record.old.empty() ? "a file" : Short(record.old)) +
                  (record.now.empty() ? "" : ", now " + Short(record.now));
      }
      auto below = containers.find({record.reason, record.path});
      if (kind != CaptureRecord::kCaptured && below != containers.end() && below->second)
        line += " (and " + std::to_string(below->second) + " below it, for the same reason)";
      out += line + "\n";
    }
  };
  section(CaptureRecord::kCaptured, "Captured");
  section(CaptureRecord::kLeftOut, "Left out, to read");
  section(CaptureRecord::kNote, "Left out, as they must be");
  const InstallFolderChoice& folder = report.installFolder;
  out += "Install folder: ";
  if (folder.how == InstallFolderChoice::kSeveral) {
    out += "none chosen: several qualify (" + Lines(folder.candidates) + "); give --install-folder\n";
  } else if (folder.folder.empty()) {
    out += "none qualifies; give --install-folder\n";
  } else {
    out += folder.folder + " (" + InstallFolderHowText(folder.how) + ")";
    out += report.installFolderProblem.empty() ? "\n" : ", which cannot be the install folder: " + report.installFolderProblem + "\n";
  }
  out += std::string("Shortcuts: ") + (report.allUsers ? "all users'" : "the user's own") + " (allUsers " +
         (report.allUsers ? "true" : "false") + ")";
  if (!report.otherUsersShortcuts.empty())
    out += "; the data file's one allUsers word cannot also name these, which went to the " +
           std::string(report.allUsers ? "user's own" : "all users'") + " folders: " + Lines(report.otherUsersShortcuts);
  out += "\n";
  if (report.restartAsked) out += "Restart: the installer asked for one; it was refused, never carried out\n";
  if (!report.scheduled.empty()) out += "Scheduled for a restart, and not carried out: " + Lines(report.scheduled) + "\n";
  if (report.timedOut) {
    out += "Timeout: the installer still ran and was ended; its open windows: " +
           (report.windows.empty() ? std::string("none") : Lines(report.windows)) + "\n";
    out += report.silentSwitch ? "  " + std::string(InstallerKindName(report.installer.kind)) +
                                     "'s usual silent switch: --args '" + report.silentSwitch + "'\n"
                               : "  its kind is not known; give --args with its silent switch\n";
  }
  for (const std::string& process : report.outlived)
    out += "Outlived the installer and was ended: " + process + "\n";
  if (!report.cap.empty())
    out += "Cap: more " + report.cap + " than a capture writes (" + std::to_string(report.capCount) + ", at most " +
           std::to_string(report.capLimit) + ")\n";
  for (const std::string& what : report.fatal) out += "error: " + what + "\n";
  if (!report.stage.empty()) {
    out += "Stage: " + report.stage + "\n";
    if (!report.scanCommand.empty()) out += "Next: " + report.scanCommand + "\n";
  } else {
    out += "No stage was written: " +
           std::string(!report.fatal.empty() ? "what the run left cannot be trusted"
                       : report.timedOut     ? "the installer did not finish"
                       : !report.cap.empty() ? "a cap stopped the capture"
                                             : "it could not be written (the reason follows)") +
           "\n";
  }
  out += "Result: " + std::to_string(report.captured) + " captured, " + std::to_string(report.leftOut) +
         " left out to read, " + std::to_string(report.notes) + " left out as they must be; exit " +
         std::to_string(exit) + "\n";
  return out;
}

}  // namespace uninstdat
