// Lint's findings as SARIF: the rules are the lint table's rows, a result
// names its rule by id and index, a note is a note, an allowed finding is
// a suppressed one, and a finding points at its item's own line in a
// manifest and at its field and item in a data file.
#include "tools/uninstdat/lint/lint_sarif.h"

#include <gtest/gtest.h>

#include <sstream>

#include "tools/uninstdat/lint/lint.h"
#include "tools/uninstdat/manifest.h"
#include "tools/uninstdat/manifest_reader.h"

namespace uninstdat {
namespace {

TEST(LintSarifTest, ARulePerRowOfTheLintTable) {
  Json rules = SarifRules();
  ASSERT_EQ(rules.size(), LintRules().size());
  for (size_t i = 0; i < rules.size(); ++i) {
    const LintRule& rule = LintRules()[i];
    SCOPED_TRACE(rule.name);
    EXPECT_EQ(static_cast<size_t>(rule.code), i);  // results name their rule by this index
    EXPECT_EQ(rules[i]["id"], rule.name);
    EXPECT_EQ(rules[i]["shortDescription"]["text"], PlainSummary(rule));
    EXPECT_EQ(rules[i]["help"]["text"], std::string("Mend: ") + rule.mend + ".");
    EXPECT_EQ(rules[i]["defaultConfiguration"]["level"], rule.note ? "note" : "warning");
    EXPECT_EQ(rules[i]["fullDescription"]["markdown"].get<std::string>().rfind(rule.summary, 0), 0u);
  }
}

TEST(LintSarifTest, ArtifactUris) {
  struct Row {
    const char* path;
    const char* uri;
  };
  const Row rows[] = {
      {"examples/widget.json", "examples/widget.json"},
      {"my dir/100%.json", "my%20dir/100%25.json"},
      {"caf\xC3\xA9.json", "caf%C3%A9.json"},
      {"a:b.json", "a%3Ab.json"},  // no scheme "a"
      {"sub\\m.json", "sub/m.json"},
      {"C:\\Setup\\m.json", "file:///C:/Setup/m.json"},
      {"/tmp/m.json", "file:///tmp/m.json"},
      {"\\\\server\\setup\\m.json", "file://server/setup/m.json"},
      {"-", ""},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.path);
    EXPECT_EQ(ArtifactUri(row.path), row.uri);
  }
}

// Lints a manifest's text (or, with `manifest` false, the data file it
// builds) and renders the findings as SARIF.
Json SarifOf(const std::string& text, bool manifest = true, std::vector<std::string> allow = {},
             size_t keepPerCode = 0) {
  Result<Json> parsed = ParseManifestText(text);
  EXPECT_TRUE(parsed) << parsed.failure().message;
  TargetCodePage page(1252);
  Result<DataFileModel> model = ModelFromManifest(parsed ? *parsed : Json(), page);
  EXPECT_TRUE(model) << model.failure().message;
  std::vector<AllowRule> rules;
  for (const std::string& text : allow) {
    Result<AllowRule> rule = ParseAllowRule(text, page);
    EXPECT_TRUE(rule) << rule.failure().message;
    if (!rule) continue;
    rules.push_back(*rule);
    rules.back().by = "--allow " + text;
  }
  Result<std::vector<Target>> targets = MakeTargets({uninst::kOsNt}, nullptr, "C:\\Program Files\\Widget", page);
  EXPECT_TRUE(targets) << targets.failure().message;
  Findings findings(keepPerCode, rules);
  std::string bytes = model ? Encode(*model) : "";
  Lint(bytes, {}, page, targets ? *targets : std::vector<Target>(), &findings);
  ManifestPositions positions = ManifestPositions::Of(text);
  std::ostringstream out;
  WriteFindingsSarif(findings, {"m.json", manifest ? &positions : nullptr}, "9.8.7", out);
  std::string sarif = out.str();
  Json log = Json::parse(sarif);
  EXPECT_EQ(sarif, log.dump(2) + "\n");  // the results written one by one sit where the whole document puts them
  return log;
}

TEST(LintSarifTest, ResultsByRuleLevelSuppressionAndPlace) {
  const std::string lines =
      "{\n"                                  // 1
      "  \"messageCaption\": \"W\",\n"       // 2
      "  \"restartPrompt\": \"R?\",\n"       // 3
      "  \"removalEntries\": [\n"            // 4
      "    \"<Sys32>\\\\w.dll\",\n"          // 5
      "    \"<Sys32>\\\\w.dll\"\n"           // 6
      "  ],\n"                               // 7
      "  \"programGroup\": \"Acme\\\\W\",\n"  // 8
      "  \"trailing\": {\"registryList\": \"HKEY_USERS\\\\a;\"}\n"  // 9
      "}\n";
  struct Row {
    const char* name;
    std::string text;
    bool manifest;
    std::vector<std::string> allow;
    const char* code;
    size_t nth;             // the nth result of the code
    const char* level;
    int line, column;       // 0: no region
    const char* logical;    // "": none
    const char* suppressedBy = "";
    int byteOffset = -1, byteLength = 0;  // a data file's region, when there is one
  };
  const Row rows[] = {
      {"an entry listed twice: its first line", lines, true, {}, "shared-system-file", 0, "warning", 5, 5,
       "removalEntries[0]"},
      {"an entry listed twice: its second line", lines, true, {}, "shared-system-file", 1, "warning", 6, 5,
       "removalEntries[1]"},
      {"the repeat at the repeat's line", lines, true, {}, "listed-twice", 0, "warning", 6, 5, "removalEntries[1]"},
      {"a note about a whole text: at its key", lines, true, {}, "program-group-nested", 0, "note", 8, 3,
       "programGroup"},
      {"what follows a list's last item: at its trailing key", lines, true, {}, "registry-unterminated", 0, "warning",
       9, 16, "registryList"},
      {"a text the manifest leaves out: at its \"{\"", "{\"messageCaption\": \"W\"}", true, {}, "no-restart-prompt",
       0, "warning", 1, 1, "restartPrompt"},
      {"an allowed finding is suppressed, naming its rule", lines, true, {"shared-system-file=<Sys32>\\w.dll"},
       "shared-system-file", 1, "warning", 6, 5, "removalEntries[1]", "--allow shared-system-file=<Sys32>\\w.dll"},
      {"a data file: field and item, and the entry's bytes", lines, false, {}, "shared-system-file", 1, "warning", 0,
       0, "removalEntries[1]", "", 4 + 14, 13},  // after the word and "<Sys32>\w.dll|"
      {"a data file: what follows a list's last item, its bytes", lines, false, {}, "registry-unterminated", 0,
       "warning", 0, 0, "registryList", "", 4 + 28 + 1, 13},  // after the word, the entries and their NUL
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    Json log = SarifOf(row.text, row.manifest, row.allow);
    ASSERT_EQ(log["version"], "2.1.0");
    const Json& run = log["runs"][0];
    EXPECT_EQ(run["tool"]["driver"]["name"], "uninstdat");
    EXPECT_EQ(run["tool"]["driver"]["version"], "9.8.7");
    const Json* result = nullptr;
    size_t seen = 0;
    for (const Json& r : run["results"])
      if (r["ruleId"] == row.code && seen++ == row.nth) result = &r;
    ASSERT_TRUE(result) << run["results"].dump();
    const Json& rule = run["tool"]["driver"]["rules"][(*result)["ruleIndex"].get<size_t>()];
    EXPECT_EQ(rule["id"], row.code);
    EXPECT_EQ((*result)["level"], row.level);
    const Json& location = (*result)["locations"][0];
    EXPECT_EQ(location["physicalLocation"]["artifactLocation"]["uri"], "m.json");
    const Json& physical = location["physicalLocation"];
    if (row.line) {
      EXPECT_EQ(physical["region"]["startLine"], row.line);
      EXPECT_EQ(physical["region"]["startColumn"], row.column);
    } else if (row.byteOffset >= 0) {
      EXPECT_EQ(physical["region"], Json({{"byteOffset", row.byteOffset}, {"byteLength", row.byteLength}}));
    } else {
      EXPECT_FALSE(physical.contains("region"));
    }
    EXPECT_EQ(location["logicalLocations"][0]["fullyQualifiedName"], row.logical);
    if (*row.suppressedBy) {
      EXPECT_EQ((*result)["suppressions"][0]["kind"], "external");
      EXPECT_EQ((*result)["suppressions"][0]["justification"], std::string("acknowledged by ") + row.suppressedBy);
    } else {
      EXPECT_FALSE(result->contains("suppressions"));
    }
  }
}

// Findings beyond --max-per-code are counted in the run and told by the
// invocation, so that a log of 20 results never reads as all there is.
TEST(LintSarifTest, CountedButNotListedFindingsAreTold) {
  Json log = SarifOf("{\"messageCaption\": \"W\", \"restartPrompt\": \"R\", \"removalEntries\": [\"*\", \"?\", \"*\"]}",
                     true, {}, 1);
  const Json& run = log["runs"][0];
  size_t wild = 0;
  for (const Json& r : run["results"]) wild += r["ruleId"] == "wildcard-in-path";
  EXPECT_EQ(wild, 1u);
  bool told = false;
  for (const Json& o : run["properties"]["omitted"])
    told = told || (o["code"] == "wildcard-in-path" && o["count"] == 2 && o["allowed"] == false);
  EXPECT_TRUE(told) << run["properties"].dump();
  const Json& notes = run["invocations"][0]["toolExecutionNotifications"];
  bool noted = false;
  for (const Json& n : notes)
    noted = noted || (n["associatedRule"]["id"] == "wildcard-in-path" && n["level"] == "note");
  EXPECT_TRUE(noted) << notes.dump();
  EXPECT_TRUE(run["invocations"][0]["executionSuccessful"].get<bool>());
}

}  // namespace
}  // namespace uninstdat
