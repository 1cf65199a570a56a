// Lint's findings as SARIF; see lint_sarif.h.
#include "tools/uninstdat/lint/lint_sarif.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "tools/uninstdat/names.h"

namespace uninstdat {
namespace {

constexpr char kSarifSchema[] =
    "https://docs.oasis-open.org/sarif/sarif/v2.1.0/errata01/os/schemas/sarif-schema-2.1.0.json";

std::string PercentEncoded(const std::string& path) {
  static const char kKept[] = "-._~/!$&'()*+,;=@";
  std::string uri;
  for (char c : path) {
    unsigned char byte = static_cast<unsigned char>(c);
    if (IsAsciiLetter(c) || (byte >= '0' && byte <= '9') ||
        (byte && strchr(kKept, byte))) {
      uri += c;
    } else {
      char hex[4];
      snprintf(hex, sizeof hex, "%%%02X", byte);
      uri += hex;
    }
  }
  return uri;
}

// The texts a rule's findings are about, as the README's table names them
// (in backticks for Markdown).
std::string TextsOf(const LintFields& fields, const char* quote) {
  if (fields.file) return "the file as a whole";
  std::string texts = quote + std::string(uninst::Layout(fields.first).name) + quote;
  if (fields.last != fields.first) texts += std::string(" to ") + quote + uninst::Layout(fields.last).name + quote;
  return texts;
}

Json Text(const std::string& text) { return Json{{"text", text}}; }

// Where a finding at `place` stands in a manifest.
TextPosition ManifestPlace(const FindingPlace& place, const ManifestPositions& positions) {
  if (!place.field) return positions.Root();
  const uninst::DataTextLayout& layout = uninst::Layout(*place.field);
  if (place.item)
    if (auto at = positions.Item(layout.name, *place.item)) return *at;
  if (layout.terminator)  // what follows the list's last item
    if (auto at = positions.MemberKey("trailing", layout.name)) return *at;
  if (auto at = positions.Key(layout.name)) return *at;
  return positions.Root();
}

}  // namespace

std::string ArtifactUri(const std::string& path) {
  if (path == "-") return "";
  std::string slashed = path;
  for (char& c : slashed)
    if (c == '\\') c = '/';
  bool drive = slashed.size() >= 3 && IsAsciiLetter(slashed[0]) &&
               slashed[1] == ':' && slashed[2] == '/';
  if (drive) return "file:///" + slashed.substr(0, 2) + PercentEncoded(slashed.substr(2));
  if (slashed.compare(0, 2, "//") == 0) return "file:" + PercentEncoded(slashed);  // \\server\share\...
  if (!slashed.empty() && slashed[0] == '/') return "file://" + PercentEncoded(slashed);
  return PercentEncoded(slashed);
}

Json SarifRules() {
  Json rules = Json::array();
  for (const LintRule& rule : LintRules()) {
    std::string note = rule.note ? " A note: something worth knowing that is no fault; lint --strict passes it." : "";
    std::string text = PlainSummary(rule) + ". Its findings are about " + TextsOf(rule.fields, "") + "." + note;
    std::string markdown = rule.summary + std::string(". Its findings are about ") + TextsOf(rule.fields, "`") + "." +
                           note;
    rules.push_back({{"id", rule.name},
                     {"shortDescription", Text(PlainSummary(rule))},
                     {"fullDescription", {{"text", text}, {"markdown", markdown}}},
                     {"help", Text(std::string("Mend: ") + rule.mend + ".")},
                     {"defaultConfiguration", {{"level", rule.note ? "note" : "warning"}}}});
  }
  return rules;
}

Json SarifLocation(const Finding& finding, const SarifArtifact& artifact) {
  const FindingPlace& place = finding.place;
  Json physical = Json::object();
  physical["artifactLocation"] =
      artifact.uri.empty() ? Json{{"description", Text("standard input")}} : Json{{"uri", artifact.uri}};
  if (artifact.positions) {
    TextPosition at = ManifestPlace(place, *artifact.positions);
    physical["region"] = {{"startLine", at.line}, {"startColumn", at.column}};
  } else if (finding.bytes) {
    physical["region"] = {{"byteOffset", finding.bytes->offset}, {"byteLength", finding.bytes->length}};
  }
  Json location = {{"physicalLocation", physical}};
  if (place.field)
    location["logicalLocations"] = Json::array({{{"fullyQualifiedName", PlaceText(place)},
                                                 {"kind", place.item ? "value" : "property"}}});
  return location;
}

Json SarifResult(const Finding& f, const SarifArtifact& artifact) {
  std::string message = f.text ? "\"" + *f.text + "\": " : "";
  message += f.what + ". Mend: " + f.mend + ".";
  Json result = {{"ruleId", f.code()},
                 {"ruleIndex", static_cast<size_t>(f.rule->code)},
                 {"level", f.note() ? "note" : "warning"},
                 {"message", Text(message)},
                 {"locations", Json::array({SarifLocation(f, artifact)})}};
  if (f.allowed)
    result["suppressions"] =
        Json::array({{{"kind", "external"}, {"justification", "acknowledged by " + f.allowedBy}}});
  return result;
}

void WriteFindingsSarif(const Findings& findings, const SarifArtifact& artifact, const std::string& version,
                        std::ostream& out) {
  Json omitted = Json::array(), notifications = Json::array();
  for (const Findings::Omitted& o : findings.omitted()) {
    omitted.push_back({{"code", o.rule->name}, {"allowed", o.allowed}, {"count", o.count}});
    notifications.push_back(
        {{"level", "note"},
         {"message", Text(std::to_string(o.count) + (o.allowed ? " more allowed findings of " : " more findings of ") +
                          o.rule->name + " were counted, not listed (--max-per-code 0 lists all)")},
         {"associatedRule", {{"id", o.rule->name}, {"index", static_cast<size_t>(o.rule->code)}}}});
  }
  Json invocation = {{"executionSuccessful", true}};
  if (!notifications.empty()) invocation["toolExecutionNotifications"] = notifications;
  Json driver = {{"name", "uninstdat"}, {"version", version}, {"rules", SarifRules()}};
  Json run = {{"tool", {{"driver", driver}}},
              {"invocations", Json::array({invocation})},
              {"columnKind", "unicodeCodePoints"},
              {"properties",
               {{"findings", findings.total()},
                {"toMend", findings.toMend()},
                {"notes", findings.notes()},
                {"allowed", findings.allowed()},
                {"omitted", omitted}}},
              {"results", Json::array()}};
  // The results go where the empty list stands: the last member of the
  // last run, so that its text is the last of its kind in the log.
  std::string log = Json{{"$schema", kSarifSchema}, {"version", "2.1.0"}, {"runs", Json::array({run})}}.dump(2);
  const std::string empty = "\"results\": []";
  size_t at = log.rfind(empty);
  out << log.substr(0, at) << "\"results\": [";
  const char* indent = "\n        ";  // a result's depth: the log, runs, the run, results
  bool first = true;
  for (const Finding& f : findings.kept()) {
    out << (first ? "" : ",") << indent;
    first = false;
    std::string result = SarifResult(f, artifact).dump(2);
    for (size_t line = 0, end; line < result.size(); line = end + 1) {
      end = std::min(result.find('\n', line), result.size());
      out.write(result.data() + line, static_cast<std::streamsize>(end - line));
      if (end < result.size()) out << indent;
    }
  }
  out << (first ? "]" : "\n      ]") << log.substr(at + empty.size()) << "\n";
}

}  // namespace uninstdat
